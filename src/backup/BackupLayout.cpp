#include "backup/BackupLayout.h"

#include "store/CallLogFile.h"

namespace tessa {
namespace {

constexpr qsizetype kStampLength = 14;
constexpr qsizetype kShortPathUnits = 63;

bool isSeparator(QChar c) {
    return c == QLatin1Char('\\') || c == QLatin1Char('/');
}

QString padded(int value, int width) {
    return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

} // namespace

QString backupModelRoot(const QString& root, int modelCode) {
    return root + backupModelFolder(modelCode) + QLatin1Char('\\');
}

QString backupCallLogFolder(const QString& modelRoot) {
    return modelRoot + QStringLiteral("CallLog\\");
}

std::optional<BackupPlacement> placeRecording(const QString& modelRoot, const QString& shortPath,
                                              PlacementProblem* problem) {
    auto fail = [problem](PlacementProblem why) -> std::optional<BackupPlacement> {
        if (problem)
            *problem = why;
        return std::nullopt;
    };
    if (problem)
        *problem = PlacementProblem::None;
    const qsizetype dash = shortPath.indexOf(QLatin1Char('-'));
    if (dash < 0)
        return fail(PlacementProblem::NoDash);
    qsizetype nameStart = dash;
    while (nameStart > 0 && !isSeparator(shortPath[nameStart - 1]))
        --nameStart;
    if (dash - nameStart < kStampLength)
        return fail(PlacementProblem::ShortStamp);

    BackupPlacement p;
    const qsizetype stampStart = dash - kStampLength;
    p.stamp = shortPath.mid(stampStart, kStampLength);
    for (const QChar c : p.stamp)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return fail(PlacementProblem::StampNotDigits);
    // The loader names a month log by the month as a number; a leading zero would not survive that.
    if (p.stamp[0] == QLatin1Char('0'))
        return fail(PlacementProblem::StampNotDigits);
    p.name = shortPath.mid(stampStart);
    for (const QChar c : p.name)
        if (isSeparator(c))
            return fail(PlacementProblem::NameHasFolder);

    const QString month = p.stamp.left(6);
    p.month = month.toUInt();
    p.monthFolder = modelRoot + month + QLatin1Char('\\');
    p.dayFolder = p.monthFolder + p.stamp.left(8) + QLatin1Char('\\');
    p.destination = p.dayFolder + p.name;
    p.monthLog = backupCallLogFolder(modelRoot) + month + kMonthLogSuffix;
    if (p.destination.size() > kMaxLoggedPath)
        return fail(PlacementProblem::PathTooLong);
    return p;
}

QString placeholderPath(const QString& destination) {
    return destination + QStringLiteral(".tmp");
}

QString completionTag(uint32_t callType) {
    switch (callType) {
    case CallIncoming:
    case CallMissed:
    case CallAnswering:
        return QStringLiteral("I");
    case CallNote:
    case CallNote2:
        return QStringLiteral("NOTE");
    case CallTriggered:
        return QStringLiteral("TRIG");
    default:
        return QStringLiteral("O");
    }
}

QString completedCardPath(const CallRecord& record) {
    const RecordTime& t = record.time;
    QString path = record.shortPath.text();
    path += padded(t.year.get(), 4) + padded(t.month.get(), 2) + QLatin1Char('\\');
    path += padded(t.year.get(), 4) + padded(t.month.get(), 2) + padded(t.day.get(), 2) +
            padded(t.hour.get(), 2) + padded(t.minute.get(), 2) + padded(t.second.get(), 2);
    path += QLatin1Char('-') + completionTag(record.callType.get());
    if (!record.number.empty())
        path += QLatin1Char('-') + record.number.text();
    path += QStringLiteral(".wav");
    return path;
}

void completeRecordName(CallRecord& record) {
    const QString path = completedCardPath(record);
    record.fullPath.setText(path);
    record.shortPath.setText(path, kShortPathUnits);
}

std::optional<CallRecord> monthLogCopy(const CallRecord& record, const QString& pcPath) {
    if (pcPath.size() > kMaxLoggedPath)
        return std::nullopt;
    CallRecord copy = record;
    copy.fullPath.setText(pcPath);
    return copy;
}

QString placementProblemText(PlacementProblem problem) {
    switch (problem) {
    case PlacementProblem::None:
        return {};
    case PlacementProblem::NoDash:
        return QStringLiteral("the card path names no recording");
    case PlacementProblem::ShortStamp:
        return QStringLiteral("the recording name has fewer than 14 stamp characters");
    case PlacementProblem::StampNotDigits:
        return QStringLiteral("the recording name does not begin with a recording stamp");
    case PlacementProblem::NameHasFolder:
        return QStringLiteral("the recording name leads into another folder");
    case PlacementProblem::PathTooLong:
        return QStringLiteral("the backup path is too long for the month log");
    }
    return {};
}

} // namespace tessa
