#include "store/CardRecordCodec.h"

#include "phonebook/ContactList.h"
#include "platform/CodePage.h"
#include "platform/ConfinedFiles.h"
#include "platform/NativePath.h"
#include "store/RecordingFiles.h"

#include <cstring>

namespace tessa {
namespace {

constexpr char16_t kDigitChars[16] = {u'0', u'1', u'2', u'3', u'4', u'5', u'6', u'7',
                                      u'8', u'9', u'*', u'#', u'A', u'B', u'C', u'D'};

// Bytes taken as characters, each widened to one UTF-16 unit.
QString widenBytes(const uint8_t* bytes, size_t count) {
    QString s(qsizetype(count), Qt::Uninitialized);
    for (size_t i = 0; i < count; ++i)
        s[qsizetype(i)] = QChar(bytes[i]);
    return s;
}

// "X:\" and the card path, as the record's path fields hold it.
QString cardPathWithDrive(char driveLetter, const QString& cardPath) {
    return QChar(uint8_t(driveLetter)) + QStringLiteral(":\\") + cardPath;
}

void setPathFields(CallRecord& record, char driveLetter, const QString& cardPath) {
    const QString path = cardPathWithDrive(driveLetter, cardPath);
    record.shortPath.setText(path);
    record.fullPath.setText(path);
}

void setTime(CallRecord& record, unsigned year, unsigned month, unsigned day, unsigned hour,
             unsigned minute) {
    record.time.year = uint16_t(year);
    record.time.month = uint16_t(month);
    record.time.day = uint16_t(day);
    record.time.hour = uint16_t(hour);
    record.time.minute = uint16_t(minute);
    record.time.second = 0;
}

// A group of the stamp read as decimal digits without checking that they are digits, in 16-bit
// arithmetic; characters past the end of the text read as code 0, as the zero-filled field does.
uint16_t stampGroup(const QString& text, qsizetype start, int width) {
    uint16_t value = 0;
    for (int i = 0; i < width; ++i) {
        const qsizetype at = start + i;
        const uint16_t code = at < text.size() ? text[at].unicode() : 0;
        value = uint16_t(value * 10 + uint16_t(code - 48));
    }
    return value;
}

void replaceIfSet(LeU16& field, uint16_t value) {
    if (value != 0 && value != field.get())
        field = value;
}

bool decode128(const uint8_t* card, CallRecord& record, char driveLetter, const ContactList* contacts) {
    CardRecord128 r;
    std::memcpy(&r, card, sizeof r);
    std::memcpy(record.cardBytes, card, CardRecord128::kSize);
    record.valid = r.valid != 0 ? 1 : 0;
    record.callType = r.callType;
    record.auxFlag = r.auxFlag;
    record.marked = r.marked;
    setTime(record, r.year + 2000u, r.month, r.day, r.hour, r.minute);

    const size_t numberLength = std::min<size_t>(r.numberLength, sizeof r.number);
    QString number;
    if (isNoteType(r.callType)) {
        number = widenBytes(r.number, numberLength);
    } else {
        number.resize(qsizetype(numberLength));
        for (size_t i = 0; i < numberLength; ++i)
            number[qsizetype(i)] = digitCodeToChar(r.number[i]);
    }
    record.number.setText(number);
    record.name.setText(widenBytes(r.name, std::min<size_t>(r.nameLength, sizeof r.name)));

    record.callDuration = r.callDuration.total();
    record.recordingDuration = r.recordingDuration.total();
    setPathFields(
        record, driveLetter,
        platform::systemCodePage().decode(reinterpret_cast<const char*>(r.cardPath), sizeof r.cardPath));
    correctDateFromPath(record, CardRecord128::kSize);
    resolveName(record, contacts, true);
    return true;
}

bool decode256(const uint8_t* card, CallRecord& record, char driveLetter, const ContactList* contacts) {
    CardRecord256 r;
    std::memcpy(&r, card, sizeof r);
    std::memset(record.cardBytes, 0, sizeof record.cardBytes);
    std::memcpy(record.cardBytes, card, CardRecord256::kHeadSize);
    if (r.remark[0] != 0)
        setRemark(record, r.remark);
    record.valid = r.valid != 0 ? 1 : 0;
    record.callType = r.callType;
    record.auxFlag = r.auxFlag;
    record.marked = r.marked;
    setTime(record, r.year + 2000u, r.month, r.day, r.hour, r.minute);
    record.number.setText(widenBytes(r.number, std::min<size_t>(r.numberLength, sizeof r.number)));
    record.callDuration = r.callDuration.total();
    record.recordingDuration = r.recordingDuration.total();
    setPathFields(
        record, driveLetter,
        platform::systemCodePage().decode(reinterpret_cast<const char*>(r.cardPath), sizeof r.cardPath));
    correctDateFromPath(record, CardRecord256::kSize);
    resolveName(record, contacts, false);
    return true;
}

template <typename Record>
void putCommonFields(Record& r, const CardRecordFields& f) {
    r.valid = f.valid ? 1 : 0;
    r.callType = uint8_t(f.callType);
    r.auxFlag = 1;
    r.marked = f.marked ? 1 : 0;
    r.year = uint8_t(f.year - 2000);
    r.month = f.month;
    r.day = f.day;
    r.hour = f.hour;
    r.minute = f.minute;
    r.callDuration.set(f.callSeconds);
    r.recordingDuration.set(f.recordingSeconds);
    std::memcpy(r.cardPath, f.cardPath.constData(), size_t(f.cardPath.size()));
}

template <size_t N>
uint8_t putLatin1(uint8_t (&field)[N], const QString& text) {
    const QByteArray bytes = text.toLatin1().left(qsizetype(N));
    std::memcpy(field, bytes.constData(), size_t(bytes.size()));
    return uint8_t(bytes.size());
}

} // namespace

QChar digitCodeToChar(uint8_t code) {
    return QChar(code < 16 ? kDigitChars[code] : u'*');
}

uint8_t charToDigitCode(QChar ch) {
    const char16_t c = ch.unicode();
    if (c >= u'0' && c <= u'9')
        return uint8_t(c - u'0');
    if (c == u'#')
        return 11;
    if (c >= u'A' && c <= u'D')
        return uint8_t(12 + (c - u'A'));
    if (c >= u'a' && c <= u'd')
        return uint8_t(12 + (c - u'a'));
    return 10;
}

bool decodeCardRecord(const uint8_t* card, CallRecord& record, char driveLetter, int modelCode,
                      const ContactList* contacts) {
    if (!card || !cardRecordInUse(card))
        return false;
    return modelCode == ModelVX5 ? decode256(card, record, driveLetter, contacts)
                                 : decode128(card, record, driveLetter, contacts);
}

void correctDateFromPath(CallRecord& record, size_t recordSize) {
    // A short path ("X:\" and the card path) no longer than this holds no stamp to read.
    constexpr qsizetype kShortestWidePath = 28, kShortestPath = 24;
    // Where the stamp begins in the card path: after "RECORD\YYYYMM\" (VX5), after "YYYYMM\" (VX7),
    // or after "YYYYMM/DD/" when a VX7 path has slashes at 6 and 9.
    constexpr qsizetype kWideStampAt = 14, kStampAt = 7, kDayFolderStampAt = 10;
    constexpr qsizetype kMonthSlashAt = 6, kDaySlashAt = 9;
    const bool wide = recordSize == CardRecord256::kSize;
    const QString shortText = record.shortPath.text();
    if (shortText.size() <= (wide ? kShortestWidePath : kShortestPath))
        return;
    const QString cardPath = record.fullPath.text().mid(3); // after "X:\"
    qsizetype s = wide ? kWideStampAt : kStampAt;
    if (!wide && cardPath.size() > kDaySlashAt && cardPath[kMonthSlashAt] == QLatin1Char('/') &&
        cardPath[kDaySlashAt] == QLatin1Char('/'))
        s = kDayFolderStampAt;
    replaceIfSet(record.time.year, stampGroup(cardPath, s, 4));
    replaceIfSet(record.time.month, stampGroup(cardPath, s + 4, 2));
    replaceIfSet(record.time.day, stampGroup(cardPath, s + 6, 2));
    replaceIfSet(record.time.hour, stampGroup(cardPath, s + 8, 2));
    replaceIfSet(record.time.minute, stampGroup(cardPath, s + 10, 2));
    replaceIfSet(record.time.second, stampGroup(cardPath, s + 12, 2));
}

void resolveName(CallRecord& record, const ContactList* contacts, bool stripTrailingKey) {
    if (!contacts || !record.name.empty() || record.number.empty())
        return;
    // The work number is read in place: resolving a whole log must not allocate per record.
    char16_t work[64];
    size_t length = record.number.length();
    for (size_t i = 0; i < length; ++i)
        work[i] = record.number.units[i].get();
    if (stripTrailingKey && length > 0 && (work[length - 1] == u'*' || work[length - 1] == u'#'))
        --length;
    const QString name = contacts->resolve(QStringView(work, qsizetype(length)));
    if (!name.isEmpty())
        record.name.setText(name);
}

std::optional<std::array<uint8_t, 256>> encodeCardFields(const CardRecordFields& fields, int modelCode) {
    std::array<uint8_t, 256> out{};
    if (modelCode == ModelVX5) {
        CardRecord256 r{};
        if (size_t(fields.cardPath.size()) > sizeof r.cardPath)
            return std::nullopt;
        putCommonFields(r, fields);
        r.numberLength = putLatin1(r.number, fields.number);
        putLatin1(r.remark, fields.remark);
        std::memcpy(out.data(), &r, sizeof r);
    } else {
        CardRecord128 r{};
        if (size_t(fields.cardPath.size()) > sizeof r.cardPath)
            return std::nullopt;
        putCommonFields(r, fields);
        // Notes keep their characters, calls store digit codes.
        const QString number = fields.number.left(qsizetype(sizeof r.number));
        const QByteArray latin1 = number.toLatin1();
        r.numberLength = uint8_t(number.size());
        for (qsizetype i = 0; i < number.size(); ++i)
            r.number[i] = isNoteType(fields.callType) ? uint8_t(latin1[i]) : charToDigitCode(number[i]);
        r.nameLength = putLatin1(r.name, fields.name);
        std::memcpy(out.data(), &r, sizeof r);
    }
    return out;
}

std::optional<std::array<uint8_t, 256>> buildCardRecord(char driveLetter, const QString& recordingName,
                                                        int modelCode, uint32_t durationSeconds) {
    Q_UNUSED(driveLetter);
    const auto parsed = parseRecordingName(recordingName);
    if (!parsed)
        return std::nullopt;
    const QString month = recordingName.left(6);
    const QString cardPath = modelCode == ModelVX5
                                 ? QStringLiteral("RECORD\\%1\\%2").arg(month, recordingName)
                                 : month + QLatin1Char('\\') + recordingName;
    CardRecordFields fields;
    fields.callType = parsed->callType;
    fields.year = parsed->year;
    fields.month = uint8_t(parsed->month);
    fields.day = uint8_t(parsed->day);
    fields.hour = uint8_t(parsed->hour);
    fields.minute = uint8_t(parsed->minute);
    fields.number = parsed->number;
    fields.callSeconds = durationSeconds;
    fields.recordingSeconds = durationSeconds;
    fields.cardPath = platform::systemCodePage().encode(cardPath);
    return encodeCardFields(fields, modelCode);
}

EncodeOutcome encodeCardRecord(char driveLetter, const QString& recordingName, int modelCode) {
    EncodeOutcome outcome;
    const QString month = recordingName.left(6);
    const QString drive = QChar(uint8_t(driveLetter)) + QStringLiteral(":\\");
    const QString fullPath = modelCode == ModelVX5
                                 ? drive + QStringLiteral("RECORD\\%1\\%2").arg(month, recordingName)
                                 : drive + month + QLatin1Char('\\') + recordingName;
    const auto record = parseRecordingName(recordingName)
                            ? buildCardRecord(driveLetter, recordingName, modelCode,
                                              storedDuration(fullPath, platform::Area::Card))
                            : std::nullopt;
    if (!record) {
        outcome.nameRejected = true;
        return outcome;
    }
    const QString logPath = platform::nativePath(drive + QStringLiteral("CallLog.dat"));
    if (logPath.isEmpty()) {
        outcome.written = platform::FileError::Vanished;
        return outcome;
    }
    const qint64 size = qint64(cardRecordSize(modelCode));
    // A log whose length is not a whole number of records (a torn write) would shift every appended
    // record off its slot and make it unreadable: the new record starts on the next boundary instead.
    platform::AppendOptions options;
    options.create = true;
    options.alignTo = size;
    outcome.written =
        platform::appendToFile(logPath, platform::Area::Card,
                               QByteArrayView(reinterpret_cast<const char*>(record->data()), size), options);
    return outcome;
}

} // namespace tessa
