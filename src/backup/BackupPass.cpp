#include "backup/BackupPass.h"

#include "backup/BackupLayout.h"
#include "backup/BackupManifest.h"
#include "backup/CardLogAfterMove.h"
#include "backup/MonthLogBook.h"
#include "platform/ConfinedFiles.h"
#include "platform/FolderLock.h"
#include "platform/NativePath.h"
#include "store/CallLogFile.h"

#include <thread>

namespace tessa {

using platform::Area;
using platform::EntryKind;
using platform::FileError;

namespace {

QString errorText(FileError error) {
    return QString::fromLatin1(platform::fileErrorText(error));
}

bool exists(const platform::FileStatus& status) {
    return status.error == FileError::None;
}

// The card as it was when the pass began: its call log's file system. A card pulled (or swapped) since
// no longer shows it, and then a missing recording means the card went, not the recording.
class CardWatch {
public:
    explicit CardWatch(const QString& cardLogPath) : logNative_(platform::nativePath(cardLogPath)) {
        device_ = present().identity.device;
    }
    bool stillThere() const {
        const platform::FileStatus status = present();
        return exists(status) && status.kind == EntryKind::File && status.identity.device == device_;
    }

private:
    platform::FileStatus present() const {
        if (logNative_.isEmpty())
            return {};
        return platform::statFile(logNative_, Area::Card);
    }
    QString logNative_;
    uint64_t device_ = 0;
};

class Pass {
public:
    Pass(const BackupRequest& request, BackupObserver& observer)
        : request_(request), observer_(observer), card_(request.cardLogPath),
          modelRoot_(backupModelRoot(request.root, request.modelCode)),
          durability_(request.moveFiles ? platform::Durability::Synced : platform::Durability::Flushed) {}

    BackupSummary run(const std::vector<CallRecord>& records, const std::function<bool()>& stop);

private:
    enum class Step { Next, EndPass };

    Step handle(uint32_t position, const CallRecord& loaded, BackupRecordResult& result);
    Step handleMissing(const BackupPlacement& place, const CallRecord& record, BackupRecordResult& result);
    Step handleExisting(const BackupPlacement& place, const QString& source, qint64 sourceSize,
                        const CallRecord& record, BackupRecordResult& result);
    Step copyNew(const BackupPlacement& place, const QString& source, const CallRecord& record,
                 BackupRecordResult& result, platform::Replace replace = platform::Replace::Never);
    // Appends the record to its month log under pcPath and hands the observer its collection copy.
    FileError log(const BackupPlacement& place, const CallRecord& record, const QString& pcPath);
    // Logs pcPath unless its month log already names it (a copy from a pass that stopped in between).
    FileError logIfUnnamed(const BackupPlacement& place, const CallRecord& record, const QString& pcPath);
    // Removes the recording from the card once the backup holds it.
    Step leaveCard(const QString& source, const CallRecord& loaded, BackupRecordResult& result);
    Step cardFailure(FileError error, const QString& what, BackupRecordResult& result);
    // Makes the month and day folders; a new day folder has the folders above it synced, so that a copy
    // synced into it cannot vanish with the folder's name after a power cut.
    void makeDayFolder(const BackupPlacement& place);
    void syncFolder(const QString& folder);
    void count(const BackupRecordResult& result);

    const BackupRequest& request_;
    BackupObserver& observer_;
    CardWatch card_;
    QString modelRoot_;
    // Move mode syncs every copy, folder and month-log entry before a recording leaves the card, whose file
    // is then the only other one. Keep mode leaves the card's file where it is: its copies are flushed to
    // the file system, and a copy that a power cut cut short is found by its size and copied again.
    platform::Durability durability_;
    MonthLogBook logs_;
    ManifestBook manifests_;
    BackupSummary summary_;
    std::vector<LeftCardRecord> left_;
    const CallRecord* loaded_ = nullptr;
};

BackupSummary Pass::run(const std::vector<CallRecord>& records, const std::function<bool()>& stop) {
    // Folder creation errors are not fatal here: every record whose folder is missing fails on its own.
    platform::makeFolders(platform::nativePath(request_.root), Area::Backup);
    platform::makeFolders(platform::nativePath(backupCallLogFolder(modelRoot_)), Area::Backup);
    syncFolder(modelRoot_);
    syncFolder(request_.root);

    summary_.ran = true;
    summary_.total = uint32_t(records.size());
    observer_.rangeSet(summary_.total);
    summary_.complete = true;
    for (uint32_t i = 0; i < summary_.total; ++i) {
        if (stop && stop()) {
            summary_.complete = false;
            break;
        }
        std::this_thread::yield();
        observer_.positionSet(i + 1);
        BackupRecordResult result;
        result.position = i + 1;
        loaded_ = &records[i];
        const Step step = handle(i + 1, records[i], result);
        ++summary_.handled;
        count(result);
        observer_.recordDone(result);
        if (step == Step::EndPass) {
            summary_.complete = false;
            break;
        }
    }
    if (request_.moveFiles && !summary_.cardGone && summary_.handled > 0)
        summary_.cardLog = updateCardLogAfterMove(
            request_.cardLogPath,
            request_.cardLogPath.isEmpty() ? 0 : char(request_.cardLogPath[0].unicode()), request_.modelCode,
            left_, request_.allRecords && summary_.complete && summary_.skipped == 0);
    return summary_;
}

void Pass::syncFolder(const QString& folder) {
    if (durability_ != platform::Durability::Synced)
        return;
    platform::syncFolder(platform::nativePath(folder), Area::Backup);
}

void Pass::makeDayFolder(const BackupPlacement& place) {
    const QString day = platform::nativePath(place.dayFolder);
    if (platform::statFile(day, Area::Backup).kind == EntryKind::Folder)
        return;
    platform::makeFolders(day, Area::Backup);
    syncFolder(place.monthFolder);
    syncFolder(modelRoot_);
    syncFolder(request_.root);
}

void Pass::count(const BackupRecordResult& result) {
    switch (result.outcome) {
    case BackupOutcome::Copied:
        ++summary_.copied;
        break;
    case BackupOutcome::Moved:
        ++summary_.moved;
        break;
    case BackupOutcome::Placeholder:
        ++summary_.placeholders;
        break;
    case BackupOutcome::AlreadyThere:
        ++summary_.alreadyThere;
        break;
    case BackupOutcome::Skipped:
        ++summary_.skipped;
        break;
    }
}

Pass::Step Pass::handle(uint32_t, const CallRecord& loaded, BackupRecordResult& result) {
    CallRecord record = loaded;
    PlacementProblem problem = PlacementProblem::None;
    if (!record.shortPath.text().contains(QLatin1Char('-')))
        completeRecordName(record);
    result.cardPath = record.shortPath.text();
    const auto place = placeRecording(modelRoot_, result.cardPath, &problem);
    if (!place) {
        result.reason = placementProblemText(problem);
        return Step::Next;
    }
    result.destination = place->destination;

    const QString source = platform::nativePath(result.cardPath);
    if (source.isEmpty()) {
        result.reason = QStringLiteral("the card path leads outside the card");
        return Step::Next;
    }
    const platform::FileStatus status = platform::statFile(source, Area::Card);
    if (status.error == FileError::NotFound) {
        if (!card_.stillThere())
            return cardFailure(FileError::Vanished, QString(), result);
        makeDayFolder(*place);
        observer_.destinationShown(place->destination);
        return handleMissing(*place, record, result);
    }
    if (status.error == FileError::Outside || status.error == FileError::NoRoot) {
        result.reason = QStringLiteral("the card path leads outside the card");
        return Step::Next;
    }
    if (status.error != FileError::None)
        return cardFailure(status.error, QStringLiteral("the recording cannot be read"), result);
    if (status.kind != EntryKind::File) {
        result.reason = QStringLiteral("the recording is not a regular file");
        return Step::Next;
    }

    // Folders are made only for a record that will be backed up: a skipped one leaves no trace.
    makeDayFolder(*place);
    observer_.destinationShown(place->destination);
    const platform::FileStatus there =
        platform::statFile(platform::nativePath(place->destination), Area::Backup);
    if (exists(there))
        return handleExisting(*place, source, status.size, record, result);
    return copyNew(*place, source, record, result);
}

Pass::Step Pass::cardFailure(FileError error, const QString& what, BackupRecordResult& result) {
    if (error == FileError::Vanished || !card_.stillThere()) {
        summary_.cardGone = true;
        result.reason = QStringLiteral("the card went away");
        return Step::EndPass;
    }
    result.reason = what + QStringLiteral(": ") + errorText(error);
    return Step::Next;
}

Pass::Step Pass::handleMissing(const BackupPlacement& place, const CallRecord& record,
                               BackupRecordResult& result) {
    // A recording that was backed up before and is gone from the card since needs no placeholder.
    const QString destination = platform::nativePath(place.destination);
    if (exists(platform::statFile(destination, Area::Backup))) {
        result.outcome = BackupOutcome::AlreadyThere;
        return Step::Next;
    }
    const QString placeholder = placeholderPath(place.destination);
    result.destination = placeholder;
    const QString placeholderNative = platform::nativePath(placeholder);
    if (exists(platform::statFile(placeholderNative, Area::Backup))) {
        const FileError logged = logIfUnnamed(place, record, placeholder);
        result.outcome = logged == FileError::None ? BackupOutcome::AlreadyThere : BackupOutcome::Skipped;
        if (logged != FileError::None)
            result.reason = QStringLiteral("the month log cannot be written: ") + errorText(logged);
        return Step::Next;
    }
    const FileError made = platform::writeWholeFile(placeholderNative, Area::Backup, QByteArrayView(),
                                                    platform::Replace::Never, durability_);
    if (made != FileError::None) {
        result.reason = QStringLiteral("the placeholder cannot be created: ") + errorText(made);
        return Step::Next;
    }
    const FileError logged = logIfUnnamed(place, record, placeholder);
    if (logged != FileError::None) {
        // The placeholder stays; the next pass logs it.
        result.reason = QStringLiteral("the month log cannot be written: ") + errorText(logged);
        return Step::Next;
    }
    result.outcome = BackupOutcome::Placeholder;
    return Step::Next;
}

Pass::Step Pass::handleExisting(const BackupPlacement& place, const QString& source, qint64 sourceSize,
                                const CallRecord& record, BackupRecordResult& result) {
    const QString destination = platform::nativePath(place.destination);
    const auto named = logs_.names(place.monthLog, place.destination);
    // A copy of ours (its month log names it) shorter or longer than the card's recording was cut short
    // (a power cut before the disk had it all): it is replaced by a whole one.
    if (named && *named && platform::statFile(destination, Area::Backup).size != sourceSize) {
        const Step step = copyNew(place, source, record, result, platform::Replace::Existing);
        if (result.outcome != BackupOutcome::Skipped)
            result.reason = QStringLiteral("an incomplete copy was replaced") +
                            (result.reason.isEmpty() ? QString() : QStringLiteral("; ") + result.reason);
        return step;
    }
    const bool mustCompare = request_.moveFiles || (named && !*named);
    if (mustCompare) {
        bool equal = false;
        const FileError compared =
            platform::compareFiles(source, Area::Card, destination, Area::Backup, &equal);
        if (compared != FileError::None)
            return cardFailure(compared, QStringLiteral("the copies cannot be compared"), result);
        if (!equal) {
            result.reason = QStringLiteral("a different file is already in the backup under this name");
            return Step::Next;
        }
    }
    if (!named) {
        result.reason = QStringLiteral("the month log cannot be read");
        return Step::Next;
    }
    if (!*named) {
        const FileError logged = log(place, record, place.destination);
        if (logged != FileError::None) {
            result.reason = QStringLiteral("the month log cannot be written: ") + errorText(logged);
            return Step::Next;
        }
    }
    result.outcome = BackupOutcome::AlreadyThere;
    if (!request_.moveFiles)
        return Step::Next;
    const Step step = leaveCard(source, *loaded_, result);
    if (result.leftCard)
        result.reason = QStringLiteral("removed from the card");
    return step;
}

Pass::Step Pass::copyNew(const BackupPlacement& place, const QString& source, const CallRecord& record,
                         BackupRecordResult& result, platform::Replace replace) {
    const QString destination = platform::nativePath(place.destination);
    platform::CopyOptions options;
    options.replace = replace;
    options.durability = durability_;
    // Before a recording may leave the card, its copy is read back from the disk and compared with the
    // card's file, before it takes its name.
    options.verify = request_.moveFiles;
    QByteArray sha256;
    options.sha256 = &sha256;
    const FileError copied = platform::copyFile(source, Area::Card, destination, Area::Backup, options);
    if (copied != FileError::None) {
        if (copied == FileError::Exists) {
            result.reason = QStringLiteral("the backup copy appeared while copying");
            return Step::Next;
        }
        return cardFailure(copied, QStringLiteral("the recording cannot be copied"), result);
    }
    // The checksum is listed before the month-log entry: a copy the next pass logs (this one's append
    // failed or the machine stopped) is then listed already. A manifest that cannot be written costs the
    // copy its line, not its backup; verification reports it as unlisted.
    if (const auto relative = copyPathInModelFolder(place.destination)) {
        const FileError listed =
            manifests_.add(manifestPath(modelRoot_, place.month), *relative, sha256, durability_);
        if (listed != FileError::None)
            result.reason = QStringLiteral("the checksum manifest cannot be written: ") + errorText(listed);
    }
    // A month log may still name a copy that has gone from the PC since: it is not named twice.
    const FileError logged = logIfUnnamed(place, record, place.destination);
    if (logged != FileError::None) {
        // The copy stays under its name, complete; the next pass logs it. The card keeps its recording.
        result.reason = QStringLiteral("the month log cannot be written: ") + errorText(logged);
        return Step::Next;
    }
    result.outcome = BackupOutcome::Copied;
    if (!request_.moveFiles)
        return Step::Next;
    const Step step = leaveCard(source, *loaded_, result);
    if (result.leftCard)
        result.outcome = BackupOutcome::Moved;
    return step;
}

Pass::Step Pass::leaveCard(const QString& source, const CallRecord& loaded, BackupRecordResult& result) {
    const FileError removed = platform::removeFile(source, Area::Card);
    if (removed == FileError::None) {
        result.leftCard = true;
        left_.push_back({loaded.index.get(), loaded.shortPath.text()});
        return Step::Next;
    }
    result.reason = QStringLiteral("it stays on the card: ") + errorText(removed);
    if (removed == FileError::Vanished || !card_.stillThere()) {
        summary_.cardGone = true;
        return Step::EndPass;
    }
    return Step::Next;
}

FileError Pass::log(const BackupPlacement& place, const CallRecord& record, const QString& pcPath) {
    const auto copy = monthLogCopy(record, pcPath);
    if (!copy)
        return FileError::Invalid;
    uint32_t index = 0;
    const FileError error = logs_.append(place.monthLog, *copy, durability_, &index);
    if (error != FileError::None)
        return error;
    CallRecord collected = *copy;
    collected.index = index;
    boundMonthLogStrings(collected);
    observer_.recordLogged(collected, platform::nativePath(place.monthLog));
    return FileError::None;
}

FileError Pass::logIfUnnamed(const BackupPlacement& place, const CallRecord& record, const QString& pcPath) {
    const auto named = logs_.names(place.monthLog, pcPath);
    if (!named)
        return FileError::Io;
    return *named ? FileError::None : log(place, record, pcPath);
}

} // namespace

BackupSummary runBackupPass(const BackupRequest& request, const std::vector<CallRecord>& records,
                            const std::function<bool()>& stopRequested, BackupObserver& observer) {
    if (request.root.isEmpty())
        return {};
    const QString rootNative = platform::nativePath(request.root);
    platform::setBackupRoot(rootNative);
    // One pass at a time writes into a backup root, whichever process runs it. A root where no lock file
    // can be made cannot take copies either: the pass then runs and reports each record that fails.
    platform::makeFolders(rootNative, Area::Backup);
    platform::FolderLock lock;
    if (lock.tryLock(rootNative, Area::Backup) == platform::FolderLock::Result::Busy) {
        BackupSummary refused;
        refused.lockRefused = true;
        return refused;
    }
    Pass pass(request, observer);
    return pass.run(records, stopRequested);
}

QString backupOutcomeText(BackupOutcome outcome) {
    switch (outcome) {
    case BackupOutcome::Copied:
        return QStringLiteral("copied");
    case BackupOutcome::Moved:
        return QStringLiteral("moved");
    case BackupOutcome::Placeholder:
        return QStringLiteral("placeholder");
    case BackupOutcome::AlreadyThere:
        return QStringLiteral("already there");
    case BackupOutcome::Skipped:
        return QStringLiteral("skipped");
    }
    return {};
}

} // namespace tessa
