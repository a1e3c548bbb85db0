#include "store/Remark.h"

#include "platform/CodePage.h"

namespace tessa {

const platform::CodePage& remarkCodePage(const uint8_t* bytes, size_t judgedBytes) {
    for (size_t i = 0; i < judgedBytes; ++i) {
        const QChar unit(bytes[i]);
        if (unit != QLatin1Char(' ') && !unit.isLetterOrNumber())
            return platform::codePageNumber(936);
    }
    return platform::systemCodePage();
}

QString remarkText(const uint8_t* bytes, size_t maxBytes) {
    size_t n = 0;
    while (n < maxBytes && bytes[n] != 0)
        ++n;
    return remarkCodePage(bytes, n)
        .decode(reinterpret_cast<const char*>(bytes), n)
        .left(kMaxRemarkCharacters);
}

QString cardRemark(const CallRecord& record) {
    if (!hasRemark(record))
        return {};
    return remarkText(remarkBytes(record), RemarkLayout::kTextSize);
}

} // namespace tessa
