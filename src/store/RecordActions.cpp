#include "store/RecordActions.h"

#include "format/CardRecord.h"
#include "platform/ConfinedFiles.h"
#include "platform/NativePath.h"
#include "store/CallLogFile.h"
#include "store/RecordCollection.h"

#include <QSet>
#include <set>
#include <utility>

namespace tessa {
namespace record_actions_internal {

// Files of the program's own, by name in any folder (compared without case, as the card's file system
// compares them).
const char* const kProgramFileNames[] = {"CallLog.dat", "PhoneBook.dat", "CallLog_BK.dat", "beep1.wav",
                                         "beep3.wav"};

using Identity = std::pair<uint64_t, uint64_t>;

Identity key(const platform::FileIdentity& id) {
    return {id.device, id.inode};
}

bool isProgramFileName(const QString& realPath) {
    const QString name = realPath.mid(realPath.lastIndexOf(QLatin1Char('/')) + 1);
    for (const char* kept : kProgramFileNames)
        if (name.compare(QLatin1String(kept), Qt::CaseInsensitive) == 0)
            return true;
    return name.endsWith(kMonthLogSuffix, Qt::CaseInsensitive);
}

// Identities of the files the program keeps that a name test alone could miss (hard links): the card
// root's own files and every log the collection was read from.
std::set<Identity> programFileIdentities(const RecordCollection& collection) {
    std::set<Identity> ids;
    const QString card = platform::cardRoot();
    if (!card.isEmpty())
        for (const char* name : kProgramFileNames)
            if (const auto id = platform::fileIdentity(card + QLatin1Char('/') + QLatin1String(name));
                id.valid())
                ids.insert(key(id));
    for (const RecordOrigin& origin : collection.origins())
        if (const auto id = platform::fileIdentity(origin.logPath); id.valid())
            ids.insert(key(id));
    return ids;
}

bool live(const CallRecord& record) {
    return record.valid == 1 && record.validByte();
}

struct Candidate {
    DeleteOutcome* outcome;
    QString native;
    Identity identity;
    bool hasRecording = false;
};

} // namespace record_actions_internal

using namespace record_actions_internal;

QString keptReasonText(const DeleteOutcome& outcome) {
    switch (outcome.reason) {
    case KeptReason::None:
        return {};
    case KeptReason::Marked:
        return QStringLiteral("marked");
    case KeptReason::ProgramFile:
        return QStringLiteral("names a file the program keeps");
    case KeptReason::Folder:
        return QStringLiteral("names a folder");
    case KeptReason::NotRegular:
        return QStringLiteral("names a file that is not a regular file");
    case KeptReason::Outside:
        return QStringLiteral("names a file outside the card or backup folder");
    case KeptReason::Unreachable:
        return QStringLiteral("recording: %1").arg(QLatin1String(platform::fileErrorText(outcome.fileError)));
    case KeptReason::LogNotWritten:
        return QLatin1String(writeBackText(outcome.written));
    case KeptReason::NotRemoved:
        return QStringLiteral("the recording could not be removed: %1")
            .arg(QLatin1String(platform::fileErrorText(outcome.fileError)));
    }
    return {};
}

std::vector<DeleteOutcome> deleteRecords(RecordCollection& collection,
                                         const std::vector<CallRecord*>& records,
                                         platform::Area recordingArea) {
    std::vector<DeleteOutcome> outcomes;
    outcomes.reserve(records.size());
    std::set<const CallRecord*> seen;
    for (CallRecord* record : records)
        if (record && seen.insert(record).second)
            outcomes.push_back(DeleteOutcome{record});

    const std::set<Identity> programFiles = programFileIdentities(collection);
    std::vector<Candidate> deletedNow;
    std::set<const CallRecord*> deletedRecords;
    for (DeleteOutcome& outcome : outcomes) {
        CallRecord& r = *outcome.record;
        if (r.marked == 1) {
            outcome.reason = KeptReason::Marked;
            continue;
        }
        Candidate candidate{&outcome, platform::nativePath(r.fullPath.text()), {}, false};
        if (candidate.native.isEmpty()) {
            outcome.reason = KeptReason::Outside; // ".." or a drive that is not there
            continue;
        }
        const platform::FileStatus status = platform::statFile(candidate.native, recordingArea);
        if (status.error == platform::FileError::None) {
            if (status.kind == platform::EntryKind::Folder) {
                outcome.reason = KeptReason::Folder;
                continue;
            }
            if (status.kind != platform::EntryKind::File) {
                outcome.reason = KeptReason::NotRegular;
                continue;
            }
            if (isProgramFileName(status.realPath) || programFiles.count(key(status.identity))) {
                outcome.reason = KeptReason::ProgramFile;
                continue;
            }
            candidate.identity = key(status.identity);
            candidate.hasRecording = true;
        } else if (status.error == platform::FileError::Outside) {
            outcome.reason = KeptReason::Outside;
            continue;
        } else if (status.error == platform::FileError::NotRegular ||
                   status.error == platform::FileError::Folder) {
            outcome.reason =
                status.error == platform::FileError::Folder ? KeptReason::Folder : KeptReason::NotRegular;
            continue;
        } else if (status.error != platform::FileError::NotFound) {
            outcome.reason = KeptReason::Unreachable;
            outcome.fileError = status.error;
            continue;
        }
        outcome.written = writeDeleted(r, collection.origin(&r));
        if (outcome.written != WriteBack::Written) {
            outcome.reason = KeptReason::LogNotWritten;
            continue;
        }
        deletedNow.push_back(std::move(candidate));
        deletedRecords.insert(&r);
    }

    // What the records that stay still name. Identities only: nothing is opened.
    std::set<Identity> stillNamed;
    bool anyRecording = false;
    for (const Candidate& c : deletedNow)
        anyRecording = anyRecording || c.hasRecording;
    if (anyRecording) {
        QSet<QString> looked;
        for (const CallRecord& r : collection) {
            if (!live(r) || deletedRecords.count(&r))
                continue;
            const QString path = r.fullPath.text();
            if (looked.contains(path))
                continue;
            looked.insert(path);
            if (const auto id = platform::fileIdentity(platform::nativePath(path)); id.valid())
                stillNamed.insert(key(id));
        }
    }

    for (Candidate& c : deletedNow) {
        DeleteOutcome& outcome = *c.outcome;
        CallRecord& r = *outcome.record;
        if (c.hasRecording && stillNamed.count(c.identity)) {
            outcome.recordingShared = true;
        } else if (c.hasRecording) {
            const platform::FileError removed = platform::removeFile(c.native, recordingArea);
            // Two records of this call naming one file: the second finds it gone already.
            if (removed != platform::FileError::None && removed != platform::FileError::NotFound) {
                writeRestored(r, collection.origin(&r));
                outcome.reason = KeptReason::NotRemoved;
                outcome.fileError = removed;
                continue;
            }
            outcome.recordingRemoved = true;
        }
        outcome.result = DeleteResult::Deleted;
        r.valid = 0;
        r.cardBytes[CardRecord128::kValidOffset] = 0;
    }
    return outcomes;
}

WriteBack markRecord(RecordCollection& collection, CallRecord& record, int value) {
    const WriteBack written = writeMarked(record, collection.origin(&record), value);
    if (written == WriteBack::Written) {
        record.marked = uint32_t(value);
        record.setCardMarkedByte(uint8_t(value));
    }
    return written;
}

} // namespace tessa
