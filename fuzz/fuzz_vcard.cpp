// vCard text: any bytes, parsed whole and again fed through a file in the chunks the reader uses, with
// the blocks checked for terminated fields and whole characters.
#include "platform/VCardContactSource.h"

#include <QFile>
#include <QTemporaryFile>

using namespace tessa;
using namespace tessa::platform;

namespace {

template <size_t N>
void checkField(const Utf16Field<N>& field) {
    const size_t n = field.length();
    if (n > N - 1)
        __builtin_trap();
    // A cut never leaves the first half of a surrogate pair at the end.
    if (n > 0 && QChar::isHighSurrogate(field.units[n - 1].get()))
        __builtin_trap();
}

bool check(const ContactBlock& block) {
    if (block.name.empty())
        __builtin_trap(); // nameless cards are not delivered
    checkField(block.name);
    bool gap = false;
    for (const auto& number : block.numbers) {
        checkField(number);
        if (!number.empty() && gap)
            __builtin_trap(); // numbers fill the slots from the first
        gap = gap || number.empty();
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const ContactReadResult whole = readVCardData(bytes, check);

    static QTemporaryFile file;
    static const bool opened = file.open();
    if (!opened)
        return 0;
    file.resize(0);
    file.seek(0);
    file.write(bytes);
    file.flush();
    const ContactReadResult read = readVCardFile(file.fileName(), check);
    if (read.delivered != whole.delivered)
        __builtin_trap();

    // Stopping after the first contact delivers exactly one.
    size_t calls = 0;
    readVCardData(bytes, [&](const ContactBlock&) { return ++calls > 1; });
    if (calls != std::min<size_t>(whole.delivered, 1))
        __builtin_trap();
    return 0;
}
