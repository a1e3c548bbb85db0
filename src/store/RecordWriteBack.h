#pragma once

// Marking, unmarking and deleting a record in the file it came from: the card log or month log it was
// read from (its origin), at the record size of the model that decoded it, in the slot of its index. Each
// change writes exactly the bytes that hold the flag and nothing else; deletion never shrinks a file.
//
// Before anything is written the slot is read and must still hold the record: its path bytes must give
// the record's path. A swapped card, a log rewritten meanwhile or a stale index changes nothing and is
// reported as Stale. The log is reached through the confined file layer, inside the card root (card logs)
// or the backup root (month logs).

#include "format/CallRecord.h"
#include "platform/FileError.h"
#include "store/RecordCollection.h"

#include <QString>

namespace tessa {

struct AppState;

enum class WriteBack {
    Written,
    NotWritten, // the log is missing, unreadable, read-only, full, gone, or shorter than the slot
    Refused,    // the log is not a regular file or lies outside the card or backup root
    Stale,      // the slot holds another record (or none)
    NoOrigin,   // the record was not read from a log (nothing to write it back to)
};

// A short English phrase for the command-line tool.
const char* writeBackText(WriteBack result);

// Writes the marked flag (0 or 1) of a record to its slot.
WriteBack writeMarked(const CallRecord& record, const RecordOrigin* origin, int value);
// Clears the valid flag of a record in its slot.
WriteBack writeDeleted(const CallRecord& record, const RecordOrigin* origin);
// Sets the valid flag again: undoes writeDeleted when the recording could not be removed after all.
WriteBack writeRestored(const CallRecord& record, const RecordOrigin* origin);

// True when the slot bytes (one record of the origin's size) hold this record: the same path.
bool slotHoldsRecord(const uint8_t* slot, const CallRecord& record, const RecordOrigin& origin);

// The first record of the current collection whose full path is fullPath (for delete: that is also
// valid, with card byte 0 set), or null.
CallRecord* findByFullPath(AppState& state, const QString& fullPath, bool liveOnly);

// Writes the marked value for the record with that full path in the current collection. True when such
// a record exists, whatever the write gave (written tells which). The caller updates the record in memory.
bool setMarked(AppState& state, const QString& fullPath, int value, WriteBack* written = nullptr);
// Clears the record in its file, then removes it from the current collection and frees it. True when a
// live record with that full path exists.
bool deleteRecord(AppState& state, const QString& fullPath, WriteBack* written = nullptr);

} // namespace tessa
