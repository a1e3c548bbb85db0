#pragma once

// Verification of a PC backup: every live record of every month log of one model folder is checked
// against its copy. A copy must exist, be a regular file that opens as a recording with audio in it
// (a container's header read, some bytes past its data offset), and, where the month's checksum
// manifest lists it, have the SHA-256 listed there. Placeholders (records of recordings that were missing
// on the card) are counted on their own: there is nothing to check.
//
// Copies are found by their place in the model folder (YYYYMM/YYYYMMDD/name), not by the absolute path
// the month log holds, so a tree moved to another disk or folder verifies where it stands now. Every file
// is read through the confined file layer in the backup area; the backup root is set for the run.

#include <atomic>
#include <cstdint>
#include <functional>
#include <QString>
#include <vector>

namespace tessa {

enum class CopyState {
    Intact,      // listed in the manifest, checksum equal
    Unlisted,    // opens as a recording; the manifest has no line for it
    Missing,     // no file where the record's copy belongs
    Damaged,     // unreadable, not a recording, or a checksum that differs
    Placeholder, // a record logged for a recording that was missing on the card
};

struct VerifiedCopy {
    uint32_t month = 0;   // YYYYMM of the month log
    uint32_t index = 0;   // place in the month log
    QString relativePath; // in the model folder; the logged path when it is not in the layout
    CopyState state = CopyState::Missing;
    QString reason; // why missing or damaged
};

struct VerifySummary {
    bool ran = false;       // false when the model folder has no month log folder to read
    bool complete = false;  // every record was checked (not stopped)
    uint32_t monthLogs = 0; // month logs read
    uint32_t unreadableLogs = 0;
    uint32_t records = 0; // live records checked
    uint32_t intact = 0, unlisted = 0, missing = 0, damaged = 0, placeholders = 0;
    // No copy is missing or damaged and every month log could be read.
    bool allGood() const { return ran && complete && missing == 0 && damaged == 0 && unreadableLogs == 0; }
};

class VerifyObserver {
public:
    virtual ~VerifyObserver() = default;
    // The number of live records, before the first is checked.
    virtual void rangeSet(uint32_t total) { (void)total; }
    // 1-based number of the record about to be checked.
    virtual void positionSet(uint32_t position) { (void)position; }
    virtual void copyChecked(const VerifiedCopy& copy) { (void)copy; }
    // A month log that could not be read (by its file name).
    virtual void logUnreadable(const QString& name) { (void)name; }
};

// root: native backup root ending with a separator. stopRequested is asked before each record.
VerifySummary verifyBackup(const QString& root, int modelCode, const std::function<bool()>& stopRequested,
                           VerifyObserver& observer);

// "intact", "unlisted", "missing", "damaged", "placeholder".
QString copyStateText(CopyState state);

} // namespace tessa
