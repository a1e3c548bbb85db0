// Both recording-name grammars and the month-folder rule.
#include "store/RecordingFiles.h"

using namespace tessa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString name = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const auto r = parseRecordingName(name)) {
        if (r->number.size() > 30 || r->month < 1 || r->month > 12 || r->hour > 23)
            __builtin_trap();
    }
    if (const auto r = parseImportName(name)) {
        if (r->number.size() > 30 || r->day < 1 || r->day > 31)
            __builtin_trap();
    }
    (void)monthFolderValue(name);
    return 0;
}
