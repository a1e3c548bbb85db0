#include "audio/Bookmark.h"

#include "format/ContainerHeader.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace tessa {

// Named rather than anonymous: the library is built in unity batches, where anonymous namespaces of
// different files merge.
namespace bookmark_internal {

constexpr std::string_view kBookmarkTag = "<bookmark>";
constexpr std::string_view kStartOpen = "<bstart>";
constexpr std::string_view kStartClose = "</bstart>";
constexpr std::string_view kEndOpen = "<bend>";
constexpr std::string_view kEndClose = "</bend>";
constexpr size_t kMaxTimeBytes = 8;
constexpr size_t kMaxElementGap = 1024;

// The bytes enclosed by the first `open` tag and the first `close` tag after it, when they are 1 to 8.
std::optional<std::string_view> enclosedTime(std::string_view text, std::string_view open,
                                             std::string_view close) {
    const size_t openAt = text.find(open);
    if (openAt == std::string_view::npos)
        return std::nullopt;
    const size_t from = openAt + open.size();
    const size_t closeAt = text.find(close, from);
    if (closeAt == std::string_view::npos)
        return std::nullopt;
    const size_t length = closeAt - from;
    if (length < 1 || length > kMaxTimeBytes)
        return std::nullopt;
    return text.substr(from, length);
}

// Leading decimal digits of a field of at most two bytes; a field with none reads as 0. Neither blanks
// nor signs are skipped, so a time can never come out negative.
uint32_t leadingDigits(const uint8_t* text, size_t length, size_t first) {
    uint32_t value = 0;
    for (size_t i = first; i < std::min(first + 2, length); ++i) {
        if (text[i] < '0' || text[i] > '9')
            break;
        value = value * 10 + uint32_t(text[i] - '0');
    }
    return value;
}

} // namespace bookmark_internal

uint32_t bookmarkClockSeconds(const uint8_t* text, size_t length) {
    using namespace bookmark_internal;
    length = std::min(length, kMaxTimeBytes);
    return leadingDigits(text, length, 0) * 3600 + leadingDigits(text, length, 3) * 60 +
           leadingDigits(text, length, 6);
}

std::optional<BookmarkSpan> parseBookmark(const uint8_t* area, size_t length) {
    using namespace bookmark_internal;
    length = std::min(length, ContainerHeader::kTextAreaSize);
    const auto* end = static_cast<const uint8_t*>(std::memchr(area, 0, length));
    const std::string_view text(reinterpret_cast<const char*>(area), end ? size_t(end - area) : length);

    const size_t first = text.find(kBookmarkTag);
    if (first == std::string_view::npos)
        return std::nullopt;
    const size_t afterFirst = first + kBookmarkTag.size();
    const size_t second = text.find(kBookmarkTag, afterFirst);
    if (second == std::string_view::npos || second - afterFirst < 1 || second - afterFirst > kMaxElementGap)
        return std::nullopt;

    // The time tags are looked for from the start of the area, not inside the element.
    const auto start = enclosedTime(text, kStartOpen, kStartClose);
    const auto stop = enclosedTime(text, kEndOpen, kEndClose);
    if (!start || !stop)
        return std::nullopt;
    const auto seconds = [](std::string_view time) {
        return bookmarkClockSeconds(reinterpret_cast<const uint8_t*>(time.data()), time.size());
    };
    BookmarkSpan span{seconds(*start), seconds(*stop)};
    if (span.startSecond >= span.endSecond)
        return std::nullopt;
    return span;
}

} // namespace tessa
