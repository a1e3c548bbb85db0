#pragma once

// Marking, unmarking and deleting a record in the file it came from: the card's CallLog.dat while the
// card's records are shown, the month log of the record's month while the backup is shown. Each change
// writes exactly the bytes that hold the flag and nothing else; deletion never shrinks a file.

#include "format/CallRecord.h"

#include <QString>

namespace tessa {

struct AppState;

enum class WriteBack {
    Written,
    NotWritten, // file missing, unreadable, read-only, or the record's place lies beyond its end
};

// Writes the marked flag of one record to its file. viewMode selects the card log (0) or the month log
// under backupRoot (1); modelCode gives the card record size and the backup model folder.
WriteBack writeMarked(const CallRecord& record, int value, int viewMode, int modelCode,
                      const QString& backupRoot);
// Clears the valid flag of one record in its file.
WriteBack writeDeleted(const CallRecord& record, int viewMode, int modelCode, const QString& backupRoot);

// Sets the valid flag of one record in its file again: undoes writeDeleted when the recording it names
// could not be removed after all.
WriteBack writeRestored(const CallRecord& record, int viewMode, int modelCode, const QString& backupRoot);

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
