#include "backup/CardRepair.h"

#include "backup/FileFinder.h"
#include "format/CardRecord.h"
#include "format/ContainerHeader.h"
#include "platform/CodePage.h"
#include "platform/ConfinedFiles.h"
#include "store/AppState.h"
#include "store/CardRecordCodec.h"
#include "store/RecordingFiles.h"

#include <algorithm>
#include <cstring>
#include <QSet>

namespace tessa {
namespace {

using platform::Area;
using platform::EntryKind;
using platform::FileError;

// The longest full path the repair compares and encodes.
constexpr qsizetype kMaxRepairPathLength = 259;

QString driveText(char driveLetter) {
    return QChar(uint8_t(driveLetter)) + QStringLiteral(":\\");
}

bool inside(const QString& real, const QString& rootReal) {
    const QString prefix = rootReal.endsWith(QLatin1Char('/')) ? rootReal : rootReal + QLatin1Char('/');
    return real.startsWith(prefix);
}

// The card file at name in the root is absent, or a regular file whose real path stays on the card.
bool safeCardFile(const QString& native, const QString& rootReal, bool* exists) {
    const platform::FileStatus status = platform::statFile(native, Area::User);
    *exists = status.error == FileError::None;
    if (status.error == FileError::NotFound)
        return true;
    return status.error == FileError::None && status.kind == EntryKind::File &&
           inside(status.realPath, rootReal);
}

// Full paths the old log names, with "/" and "\" unified so that either spelling matches a found file.
QSet<QString> namedPaths(const QByteArray& log, char driveLetter, int modelCode) {
    QSet<QString> paths;
    const size_t recordSize = cardRecordSize(modelCode);
    const size_t count = size_t(log.size()) / recordSize;
    const size_t pathOffset =
        modelCode == ModelVX5 ? offsetof(CardRecord256, cardPath) : offsetof(CardRecord128, cardPath);
    const size_t pathField =
        modelCode == ModelVX5 ? sizeof(CardRecord256::cardPath) : sizeof(CardRecord128::cardPath);
    for (size_t i = 0; i < count; ++i) {
        const char* record = log.constData() + i * recordSize;
        if (uint8_t(record[0]) != 1)
            continue;
        const char* path = record + pathOffset;
        const size_t length = strnlen(path, pathField);
        QString full = driveText(driveLetter) + platform::systemCodePage().decode(path, length);
        full.replace(QLatin1Char('/'), QLatin1Char('\\'));
        paths.insert(full);
    }
    return paths;
}

QString monthPathOf(const QString& name, int modelCode, QChar separator) {
    const QString month = name.left(6);
    return modelCode == ModelVX5 ? QStringLiteral("RECORD") + separator + month + separator + name
                                 : month + separator + name;
}

// Stored duration of the recording at the native path; 0 when it is not a regular file on the card.
uint32_t measuredSeconds(const QString& native) {
    const platform::FileStatus status = platform::statFile(native, Area::User);
    if (status.error != FileError::None || status.kind != EntryKind::File)
        return 0;
    QByteArray head;
    if (platform::readFilePart(native, Area::User, 0, qint64(ContainerHeader::kSize), &head) !=
        FileError::None)
        return 0;
    return measureRecording(native, status.size, reinterpret_cast<const uint8_t*>(head.constData()),
                            size_t(head.size()))
        .stored;
}

} // namespace

int modelOfCardFolder(const QString& cardRoot) {
    const platform::FileStatus status =
        platform::statFile(cardRoot + QStringLiteral("/PhoneBook.dat"), Area::User);
    return status.error == FileError::None && status.kind == EntryKind::File ? ModelVX5 : ModelVX7;
}

RepairOutcome repairCard(char driveLetter, const QString& cardRoot, int modelCode, const RepairHooks& hooks,
                         const std::atomic<bool>* stop) {
    RepairOutcome outcome;
    const platform::FileStatus root = platform::statFile(cardRoot, Area::User);
    if (root.error != FileError::None || root.kind != EntryKind::Folder) {
        outcome.status = RepairOutcome::Status::NoCard;
        outcome.error = root.error == FileError::None ? FileError::NotFound : root.error;
        return outcome;
    }
    const QString logPath = cardRoot + QStringLiteral("/CallLog.dat");
    const QString copyPath = cardRoot + QStringLiteral("/CallLog_BK.dat");
    bool logExists = false, copyExists = false;
    // A crafted card could make either name a link to a file elsewhere on the machine.
    if (!safeCardFile(logPath, root.realPath, &logExists) ||
        !safeCardFile(copyPath, root.realPath, &copyExists)) {
        outcome.status = RepairOutcome::Status::UnsafeLog;
        outcome.error = FileError::Outside;
        return outcome;
    }

    // The safety copy is the old log byte for byte, on the card, before a single record is appended.
    QByteArray oldLog;
    if (logExists) {
        FileError error = platform::readWholeFile(logPath, Area::User, &oldLog);
        if (error == FileError::None)
            error = platform::writeWholeFile(copyPath, Area::User, oldLog, platform::Replace::Existing,
                                             platform::Durability::Synced);
        if (error == FileError::None) {
            const platform::FileStatus copy = platform::statFile(copyPath, Area::User);
            if (copy.error != FileError::None || copy.size != oldLog.size())
                error = copy.error == FileError::None ? FileError::Io : copy.error;
        }
        if (error != FileError::None) {
            outcome.status = RepairOutcome::Status::SafetyCopyFailed;
            outcome.error = error;
            return outcome;
        }
        outcome.safetyCopied = true;
    }
    QSet<QString> named = namedPaths(oldLog, driveLetter, modelCode);

    FileFinder::Options options;
    options.area = Area::User;
    options.linksStayInside = true;
    options.stop = stop;
    options.sizes = false; // a recording is measured where its record points, not where it was found
    FileFinder finder(options);
    finder.setRoot(cardRoot, true);
    finder.search(QStringLiteral("*.*"), true, false);
    const std::vector<FoundEntry>& found = finder.results();
    outcome.filesFound = found.size();

    const QString drive = driveText(driveLetter);
    const qsizetype rootLength = finder.root().size() + 1;
    const size_t recordSize = cardRecordSize(modelCode);
    platform::AppendOptions append;
    append.create = true;
    append.alignTo = qint64(recordSize);
    append.durability = platform::Durability::Synced;
    for (size_t i = 0; i < found.size(); ++i) {
        if (stop && stop->load()) {
            outcome.status = RepairOutcome::Status::Stopped;
            return outcome;
        }
        QString path = drive + found[i].path.mid(rootLength);
        path.replace(QLatin1Char('/'), QLatin1Char('\\'));
        if (path.size() <= kMaxRepairPathLength && isRecordingFileName(path) && !named.contains(path)) {
            const QString name = path.mid(path.lastIndexOf(QLatin1Char('\\')) + 1);
            // The record names the recording in its month folder, wherever it was found; once the log
            // names that place, a copy found elsewhere adds nothing more.
            const QString recordPath = drive + monthPathOf(name, modelCode, QLatin1Char('\\'));
            if (!named.contains(recordPath)) {
                const uint32_t seconds = measuredSeconds(cardRoot + QLatin1Char('/') +
                                                         monthPathOf(name, modelCode, QLatin1Char('/')));
                if (const auto record = buildCardRecord(driveLetter, name, modelCode, seconds)) {
                    const FileError error = platform::appendToFile(
                        logPath, Area::User, QByteArrayView(record->data(), qsizetype(recordSize)), append);
                    if (error == FileError::None) {
                        ++outcome.added;
                        named.insert(recordPath);
                        if (hooks.added)
                            hooks.added(name, recordPath);
                    } else {
                        ++outcome.appendFailures;
                        outcome.error = error;
                    }
                }
            }
        }
        if (hooks.progress)
            hooks.progress(i + 1, found.size(), outcome.added);
    }
    return outcome;
}

RepairClaim::RepairClaim(AppState& state, char driveLetter) : state_(state) {
    std::lock_guard lock(state_.rebuildLock);
    const auto& queued = state_.rebuildQueue;
    const bool rebuilding =
        state_.rebuildRunning && (state_.rebuildDriveLetter == driveLetter ||
                                  std::find(queued.begin(), queued.end(), driveLetter) != queued.end());
    if (rebuilding || state_.repairDriveLetter != 0)
        return;
    state_.repairDriveLetter = driveLetter;
    granted_ = true;
}

RepairClaim::~RepairClaim() {
    if (!granted_)
        return;
    std::lock_guard lock(state_.rebuildLock);
    state_.repairDriveLetter = 0;
}

} // namespace tessa
