#include "store/Remark.h"

#include "platform/CodePage.h"

#include <cstring>

namespace tessa {

QString remarkText(const uint8_t* bytes, size_t maxBytes) {
    size_t n = 0;
    while (n < maxBytes && bytes[n] != 0)
        ++n;
    bool plain = true;
    for (size_t i = 0; i < n && plain; ++i) {
        const QChar unit(bytes[i]);
        plain = unit == QLatin1Char(' ') || unit.isLetterOrNumber();
    }
    const auto& page = plain ? platform::systemCodePage() : platform::codePageNumber(936);
    return page.decode(reinterpret_cast<const char*>(bytes), n).left(64);
}

QString cardRemark(const CallRecord& record) {
    if (std::memcmp(record.cardBytes + 5, "RM:", 3) != 0)
        return {};
    return remarkText(record.cardBytes + 8, 32);
}

} // namespace tessa
