#pragma once

// Delete and mark, the record commands that change files, with their rules in one place for the window
// and the command-line tool:
//
// - A marked record is never deleted.
// - Delete never removes a file the program itself keeps: the card's CallLog.dat, PhoneBook.dat and
//   CallLog_BK.dat, the beep files, any month log (or any other log the collection was read from), any
//   folder, any special file; a record naming one is kept. Files are told by their real path and their
//   identity, so a link or another spelling of the name does not get past this.
// - A recording is removed only when no record that stays (not deleted by this same call) names the same
//   file, whatever the spelling of its path; otherwise the record goes and the recording stays.
// - The record is cleared in the log it was read from, in its slot, after checking that the slot still
//   holds it (RecordWriteBack.h). When that fails nothing is removed and the record is kept. When its
//   recording then cannot be removed, the slot is set valid again and the record is kept.
// - Recordings are reached through the confined file layer in the area the caller names: the card's for
//   card records, the backup's for records of month logs.

#include "platform/FileError.h"
#include "platform/FileRoots.h"
#include "store/RecordWriteBack.h"

#include <vector>

namespace tessa {

class RecordCollection;

enum class DeleteResult { Deleted, Kept };

enum class KeptReason {
    None,
    Marked,
    ProgramFile,   // names a file the program keeps (a call log, the phonebook, a beep file)
    Folder,        // names a folder
    NotRegular,    // names a FIFO, device or other special file
    Outside,       // names a file outside the card or backup folder
    Unreachable,   // the recording could not be looked at (fileError says why)
    LogNotWritten, // the write-back failed (written says why)
    NotRemoved,    // the recording could not be removed (fileError says why)
};

struct DeleteOutcome {
    CallRecord* record = nullptr;
    DeleteResult result = DeleteResult::Kept;
    KeptReason reason = KeptReason::None;
    WriteBack written = WriteBack::NotWritten;
    platform::FileError fileError = platform::FileError::None;
    bool recordingRemoved = false; // the recording file is gone
    bool recordingShared = false;  // deleted, but the recording stays: a record that stays names it
};

// A short English phrase for "kept" results of the command-line tool.
QString keptReasonText(const DeleteOutcome& outcome);

// Deletes the records (members of collection, each at most once, in order) with every rule above. A
// deleted record stays in the collection with its valid flags cleared (valid field and card byte 0), so
// that it counts as gone everywhere; freeing it (after its rows) is the caller's choice.
std::vector<DeleteOutcome> deleteRecords(RecordCollection& collection,
                                         const std::vector<CallRecord*>& records,
                                         platform::Area recordingArea);

// Writes the marked value (0 or 1) of a record to its log and, when that worked, to the record in memory
// (marked field and card byte 3). The result of the write-back.
WriteBack markRecord(RecordCollection& collection, CallRecord& record, int value);

} // namespace tessa
