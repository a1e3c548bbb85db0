#pragma once

// The backup pass: copies (or moves) the recordings of call records from the card into the dated folder
// tree of the PC backup and appends each backed-up record to its month log.
//
// What it guarantees, whatever fails or whenever the machine stops:
//  - A recording leaves the card only once its copy stands complete on the PC: the copy is written under
//    a temporary name in its day folder, synced with its folder, compared with the card's file, renamed
//    into place and logged; only then is the card's file removed. At any moment a recording exists
//    complete on the card, on the PC, or both.
//  - Nothing stands under a recording's name on the PC unless all of it was written, in either mode. Move
//    mode also has it on the disk first; keep mode leaves that to the system (the card keeps its file),
//    and a logged copy whose size differs from the card's (a power cut came first) is copied again.
//  - A month-log append is all or nothing; a record whose append fails counts as not backed up and keeps
//    its recording on the card.
//  - A recording already in the backup is neither copied nor logged again; it leaves the card (move mode)
//    only when the PC's file equals it byte for byte. A copy that stands in the tree without a month-log
//    entry (the machine stopped between the rename and the append) is logged by the next pass.
//  - Records whose card path leads outside the card, or whose name does not begin with a recording stamp,
//    are skipped and reported.
//  - A card pulled during the pass ends it between records; what was done is kept and logged.
//
// Every file is reached through the confined file layer: card files in the card area, backup files in
// the backup area. The pass runs on whatever thread calls it and reports through an observer.

#include "format/CallRecord.h"

#include <cstdint>
#include <functional>
#include <QString>
#include <vector>

namespace tessa {

struct BackupRequest {
    QString root; // backup root, native, ending with a separator; empty: the pass does nothing
    int modelCode = 0;
    bool moveFiles = false; // remove each recording from the card once its copy is safe
    bool allRecords = true; // the walk covers the card's whole call log
    QString cardLogPath;    // the card's call log, program form ("E:\CallLog.dat")
};

enum class BackupOutcome {
    Copied,       // copied to the PC and logged (in move mode: but it could not leave the card)
    Moved,        // copied, logged, and removed from the card
    Placeholder,  // missing on the card: an empty placeholder was logged in its place
    AlreadyThere, // the backup already holds it (in move mode: removed from the card when equal)
    Skipped,      // not backed up; reason says why
};

struct BackupRecordResult {
    uint32_t position = 0; // 1-based place in the walk
    BackupOutcome outcome = BackupOutcome::Skipped;
    QString cardPath;    // the record's card path as the pass used it
    QString destination; // the PC path (the placeholder's for a placeholder)
    QString reason;      // why it was skipped, or a note on a record that was backed up
    bool leftCard = false;
};

// What became of the card's call log after a move pass.
enum class CardLogChange {
    Untouched,
    EntriesCleared, // the entries of the recordings that left the card were cleared
    Deleted,        // every recording it named had left the card
    Failed,         // it could not be changed; it still names recordings that left
};

struct BackupSummary {
    bool ran = false;         // false without a backup root, or when another pass holds the root's lock
    bool lockRefused = false; // another pass (the window's or a watcher's) is writing into the root
    uint32_t total = 0;
    uint32_t handled = 0;
    uint32_t copied = 0, moved = 0, placeholders = 0, alreadyThere = 0, skipped = 0;
    bool complete = false; // the walk reached the last record
    bool cardGone = false; // the card went away during the pass
    CardLogChange cardLog = CardLogChange::Untouched;
    // Every record of the walk is in the backup.
    bool allBackedUp() const { return ran && complete && skipped == 0; }
};

class BackupObserver {
public:
    virtual ~BackupObserver() = default;
    // Progress range 0 to total, before the walk.
    virtual void rangeSet(uint32_t total) { (void)total; }
    // 1-based number of the record about to be handled.
    virtual void positionSet(uint32_t position) { (void)position; }
    // The destination of the record about to be copied.
    virtual void destinationShown(const QString& path) { (void)path; }
    // A record appended to a month log, as the backup collection takes it: its index is its place in that
    // month log (monthLog, native), its strings bounded as a load would bound them.
    virtual void recordLogged(const CallRecord& record, const QString& monthLog) {
        (void)record;
        (void)monthLog;
    }
    virtual void recordDone(const BackupRecordResult& result) { (void)result; }
};

// Runs one pass over the records (the card collection, or the selected rows, in order). stopRequested is
// asked before each record. The card root and backup root of the file layer must be set; the backup root
// is taken from the request.
BackupSummary runBackupPass(const BackupRequest& request, const std::vector<CallRecord>& records,
                            const std::function<bool()>& stopRequested, BackupObserver& observer);

// A word for an outcome: "copied", "moved", "placeholder", "already there", "skipped".
QString backupOutcomeText(BackupOutcome outcome);

} // namespace tessa
