#include "store/RecordingFiles.h"

#include "audio/CodecTable.h"
#include "format/CardRecord.h"
#include "format/ContainerHeader.h"
#include "phonebook/ContactList.h"
#include "platform/ConfinedFiles.h"
#include "platform/NativePath.h"
#include "store/CardRecordCodec.h"

#include <cstring>

namespace tessa {
namespace {

constexpr qsizetype kStampLength = 14;
constexpr qsizetype kMinNameLength = 21;
constexpr qsizetype kMaxNameLength = 45;
constexpr qsizetype kMaxTagLength = 4;
constexpr qsizetype kMaxNumberLength = 30;

// A decimal number as the C library's atoi reads it: leading blanks, an optional sign, then digits.
int leadingInt(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        negative = text[i++] == QLatin1Char('-');
    int value = 0;
    for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i)
        value = value * 10 + (text[i].unicode() - '0');
    return negative ? -value : value;
}

int field(const QString& name, qsizetype at, qsizetype width) {
    return leadingInt(name.mid(at, width));
}

// Reads the stamp; the caller decides which ranges it insists on.
RecordingName readStamp(const QString& name) {
    RecordingName r;
    r.second = uint16_t(field(name, 12, 2));
    r.minute = uint16_t(field(name, 10, 2));
    r.hour = uint16_t(field(name, 8, 2));
    r.day = uint16_t(field(name, 6, 2));
    r.month = uint16_t(field(name, 4, 2));
    r.year = uint16_t(field(name, 0, 4));
    return r;
}

bool clockValid(const QString& name) {
    const int day = field(name, 6, 2), hour = field(name, 8, 2), minute = field(name, 10, 2),
              second = field(name, 12, 2);
    return day >= 1 && day <= 31 && hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 &&
           second <= 59;
}

bool dateValid(const QString& name) {
    const int year = field(name, 0, 4), month = field(name, 4, 2);
    return year >= 2000 && year <= 2999 && month >= 1 && month <= 12;
}

QString fileNameOf(const QString& path) {
    const qsizetype cut = std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
    return path.mid(cut + 1);
}

// Lengths of a recording file; zeros when it cannot be opened (a FIFO or device never is).
RecordingLengths measureFile(const QString& path, platform::Area area) {
    const QString native = platform::nativePath(path);
    if (native.isEmpty())
        return {};
    platform::ConfinedFile file;
    if (file.open(native, area, platform::ConfinedFile::Mode::Read) != platform::FileError::None)
        return {};
    uint8_t head[ContainerHeader::kSize] = {};
    size_t got = 0;
    if (file.readAt(0, head, sizeof head, &got) != platform::FileError::None)
        return {};
    return measureRecording(path, file.size(), head, got);
}

} // namespace

uint32_t callTypeOfTag(const QString& tag) {
    if (tag == QLatin1String("I"))
        return CallIncoming;
    if (tag == QLatin1String("O"))
        return CallOutgoing;
    if (tag == QLatin1String("NOTE"))
        return CallNote;
    if (tag == QLatin1String("TRIG"))
        return CallTriggered;
    if (tag == QLatin1String("N"))
        return CallNote;
    return 0;
}

std::optional<RecordingName> parseRecordingName(const QString& name) {
    if (name.size() < kMinNameLength || name.size() > kMaxNameLength ||
        name[kStampLength] != QLatin1Char('-'))
        return std::nullopt;
    const qsizetype dash = name.lastIndexOf(QLatin1Char('-'));
    if (dash < kStampLength + 1)
        return std::nullopt;
    const QString tag = name.mid(kStampLength + 1, dash - kStampLength - 1);
    if (tag.size() > kMaxTagLength)
        return std::nullopt;
    const uint32_t type = callTypeOfTag(tag);
    if (type == 0 || !dateValid(name) || !clockValid(name))
        return std::nullopt;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= dash)
        return std::nullopt;
    RecordingName r = readStamp(name);
    r.callType = type;
    r.number = name.mid(dash + 1, dot - dash - 1);
    if (r.number.size() > kMaxNumberLength)
        return std::nullopt;
    return r;
}

std::optional<RecordingName> parseImportName(const QString& name) {
    // The backup names a recording without a number "stamp-TAG.wav", which is 20 characters with a
    // one-letter tag: such a name is imported too.
    if (name.size() < kMinNameLength - 1 || name.size() > kMaxNameLength ||
        name[kStampLength] != QLatin1Char('-'))
        return std::nullopt;
    qsizetype tagEnd = name.lastIndexOf(QLatin1Char('-'));
    bool hasNumber = tagEnd >= kStampLength + 1;
    if (hasNumber && name.size() < kMinNameLength)
        return std::nullopt;
    if (!hasNumber) {
        tagEnd = name.lastIndexOf(QLatin1Char('.'));
        if (tagEnd < kStampLength + 1)
            return std::nullopt;
    }
    const QString tag = name.mid(kStampLength + 1, tagEnd - kStampLength - 1);
    if (tag.size() > kMaxTagLength)
        return std::nullopt;
    const uint32_t type = callTypeOfTag(tag);
    if (type == 0 || !clockValid(name))
        return std::nullopt;
    RecordingName r = readStamp(name);
    r.callType = type;
    if (hasNumber) {
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        if (dot <= tagEnd)
            return std::nullopt;
        r.number = name.mid(tagEnd + 1, dot - tagEnd - 1);
        if (r.number.size() > kMaxNumberLength)
            return std::nullopt;
    }
    return r;
}

uint32_t monthFolderValue(const QString& folderName) {
    if (folderName.size() != 6)
        return 0;
    const int month = field(folderName, 4, 2), year = field(folderName, 0, 4);
    if (year < 2000 || year > 2999 || month < 1 || month > 12)
        return 0;
    return uint32_t(leadingInt(folderName));
}

QString monthFolderPath(char driveLetter, int modelCode, uint32_t month) {
    const QString drive = QChar(uint8_t(driveLetter)) + QStringLiteral(":\\");
    return modelCode == ModelVX5 ? drive + QStringLiteral("RECORD\\%1\\*.*").arg(month)
                                 : drive + QStringLiteral("%1\\*.*").arg(month);
}

std::vector<uint32_t> listCardMonthFolders(char driveLetter, int modelCode, const std::atomic<bool>* quit) {
    std::vector<uint32_t> months;
    const QString drive = QChar(uint8_t(driveLetter)) + QStringLiteral(":\\");
    const QString root =
        platform::nativePath(modelCode == ModelVX5 ? drive + QStringLiteral("RECORD") : drive);
    if (root.isEmpty())
        return months;
    std::vector<platform::FolderEntry> entries;
    if (platform::listFolder(root, platform::Area::Card, &entries) != platform::FileError::None)
        return months;
    for (const platform::FolderEntry& entry : entries) {
        if (quit && quit->load())
            break;
        // A link to a folder counts as its folder would; where it leads is confined when it is listed.
        if (entry.kind != platform::EntryKind::Folder && entry.kind != platform::EntryKind::Link)
            continue;
        if (const uint32_t month = monthFolderValue(entry.name))
            months.push_back(month);
    }
    return months;
}

bool isRecordingFileName(const QString& name) {
    return name.contains(QStringLiteral(".wav")) || name.contains(QStringLiteral(".xtr"));
}

// Stored durations count 4096 bytes a second of WAV and round container lengths up; displayed lengths drop
// remainders and count 4055 bytes a second of IMA ADPCM (the codec table's two measures). Files are
// opened for reading only, so that a write-protected card or folder still gives its recordings their
// length.
RecordingLengths measureRecording(const QString& path, qint64 size, const uint8_t* head, size_t headLength) {
    RecordingLengths lengths;
    if (size <= 0 || size > (qint64(1) << 48))
        return lengths;
    ContainerHeader header{};
    std::memcpy(&header, head, std::min(headLength, sizeof header));
    const RecordingLayout layout = recordingLayout(path, header);
    const qint64 dataOffset = layout.dataOffset;
    const qint64 stored = layout.codec->storedBytesPerSecond;
    const qint64 displayed = layout.codec->durationBytesPerSecond;
    if (!layout.container) {
        // Only whole seconds count, and a recording of less than one is none.
        lengths.stored = size < dataOffset + stored ? 0 : uint32_t((size - dataOffset) / stored);
        lengths.displayed = size < dataOffset ? 0 : uint32_t((size - dataOffset) / displayed);
        return lengths;
    }
    if (size > 3089 && dataOffset <= size)
        lengths.stored = uint32_t((size - dataOffset + stored - 1) / stored);
    if (size >= dataOffset)
        lengths.displayed = uint32_t((size - dataOffset) / displayed);
    return lengths;
}

uint32_t storedDuration(const QString& programPath, platform::Area area) {
    return measureFile(programPath, area).stored;
}

uint32_t displayLength(const QString& programPath, platform::Area area) {
    return measureFile(programPath, area).displayed;
}

std::optional<CallRecord> buildRecordFromFile(const QString& path, const ContactList* contacts) {
    const auto parsed = parseImportName(fileNameOf(path));
    if (!parsed)
        return std::nullopt;
    CallRecord record{};
    record.valid = 1;
    record.callType = parsed->callType;
    record.auxFlag = 1;
    record.time.year = parsed->year;
    record.time.month = parsed->month;
    record.time.day = parsed->day;
    record.time.hour = parsed->hour;
    record.time.minute = parsed->minute;
    record.time.second = parsed->second;
    record.number.setText(parsed->number);
    const uint32_t duration = storedDuration(path, platform::Area::User);
    record.callDuration = duration;
    record.recordingDuration = duration;
    record.shortPath.setText(path);
    record.fullPath.setText(path);
    resolveName(record, contacts, false);
    return record;
}

} // namespace tessa
