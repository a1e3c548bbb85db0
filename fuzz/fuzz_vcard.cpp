// vCard text: any bytes, parsed whole and again fed in small chunks (as a file is read), with the blocks
// checked for terminated fields and whole characters.
#include "platform/VCardParser.h"

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

    // Where the chunks end must not matter: a line, a folded line or a byte-order mark may be split.
    const qsizetype chunk = size > 0 ? 1 + data[0] % 13 : 1;
    VCardParser parser(check);
    for (qsizetype at = 0; at < bytes.size(); at += chunk)
        parser.feed(bytes.constData() + at, std::min(chunk, bytes.size() - at));
    if (parser.finish().delivered != whole.delivered)
        __builtin_trap();

    // Stopping after the first contact delivers exactly one.
    size_t calls = 0;
    readVCardData(bytes, [&](const ContactBlock&) { return ++calls > 1; });
    if (calls != std::min<size_t>(whole.delivered, 1))
        __builtin_trap();
    return 0;
}
