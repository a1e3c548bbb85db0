#include "audio/NoteLine.h"

#include "format/ContainerHeader.h"
#include "platform/ConfinedFiles.h"
#include "platform/NativePath.h"

#include <cstring>

namespace tessa {
namespace {

constexpr size_t kAreaSize = ContainerHeader::kTextAreaSize;
// A line longer than this is cut, and a line that long is never taken as the note.
constexpr qsizetype kMaxLine = 64;
// Only the first two CR LF-terminated lines are looked at; the bookmark element comes after them.
constexpr int kMaxCompletedLines = 2;
constexpr qsizetype kFillerBlanks = 20;
constexpr char kBookmarkLead[] = "Bookmark at:  ";
constexpr qsizetype kBookmarkMinLength = 22;

bool isNote(const QByteArray& line) {
    if (line.isEmpty())
        return false;
    if (line.size() == kFillerBlanks && line.count(' ') == kFillerBlanks)
        return false;
    if (line.size() >= kBookmarkMinLength && line.startsWith(kBookmarkLead))
        return false;
    return true;
}

} // namespace

std::optional<QByteArray> findNoteLine(const uint8_t* area, size_t length) {
    const size_t limit = std::min(length, kAreaSize);
    const auto at = [&](size_t i) -> uint8_t { return i < limit ? area[i] : 0; };

    QByteArray line;
    qsizetype lineLength = 0; // characters seen, including those past the cut
    int completed = 0;
    for (size_t i = 0; i < kAreaSize; ++i) {
        const uint8_t c = at(i);
        if (c == 0) {
            if (lineLength > 0 && lineLength < kMaxLine && isNote(line))
                return line;
            return std::nullopt;
        }
        if (c == '\r' && i + 1 < kAreaSize && at(i + 1) == '\n') {
            if (completed == kMaxCompletedLines)
                return std::nullopt;
            ++completed;
            if (lineLength < kMaxLine && isNote(line))
                return line;
            line.clear();
            lineLength = 0;
            ++i; // the LF
            continue;
        }
        if (lineLength < kMaxLine)
            line.append(char(c));
        ++lineLength;
    }
    return std::nullopt;
}

std::optional<QByteArray> readNoteLine(const QString& programPath, platform::Area area) {
    const QString native = platform::nativePath(programPath);
    if (native.isEmpty())
        return std::nullopt;
    QByteArray text;
    if (platform::readFilePart(native, area, qint64(ContainerHeader::kTextAreaOffset), qint64(kAreaSize),
                               &text) != platform::FileError::None)
        return std::nullopt;
    return findNoteLine(reinterpret_cast<const uint8_t*>(text.constData()), size_t(text.size()));
}

} // namespace tessa
