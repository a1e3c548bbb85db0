// Month-log files: any bytes, read the way the loader reads them.
#include "store/CallLogFile.h"
#include "store/Remark.h"

#include <QFile>
#include <QTemporaryFile>

using namespace tessa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryFile file;
    static const bool opened = file.open();
    if (!opened)
        return 0;
    file.resize(0);
    file.seek(0);
    file.write(reinterpret_cast<const char*>(data), qint64(size));
    file.flush();
    LogReadHandlers handlers;
    handlers.record = [](uint32_t, uint32_t, CallRecord* r) {
        if (!r)
            return;
        if (r->number.length() > 31 || r->name.length() > 36 || r->shortPath.length() > 45 ||
            r->fullPath.length() > 259)
            __builtin_trap();
        (void)cardRemark(*r);
        (void)r->fullPath.text();
    };
    readMonthLog(file.fileName(), tessa::platform::Area::User, nullptr, handlers);
    return 0;
}
