#pragma once

// Repair of a card's call log: every recording found anywhere on the card that the log does not name yet
// gets one record appended to CallLog.dat. Existing records are never changed. Before anything is appended
// the old log is saved whole as CallLog_BK.dat beside it; when that copy cannot be made, nothing is
// appended.

#include "platform/FileError.h"

#include <atomic>
#include <functional>
#include <QString>

namespace tessa {

struct AppState;

struct RepairHooks {
    // After each file found, in the finder's order: files looked at so far, files found, records added.
    std::function<void(size_t done, size_t total, int added)> progress;
    // A record was appended for the recording (its name and the full path the record names).
    std::function<void(const QString& name, const QString& recordPath)> added;
};

struct RepairOutcome {
    enum class Status {
        Done,
        NoCard,           // the card's folder cannot be reached
        UnsafeLog,        // CallLog.dat or its copy is not a regular file inside the card
        SafetyCopyFailed, // CallLog_BK.dat could not be written whole: nothing appended
        Stopped,          // stopped before every file was looked at
    };
    Status status = Status::Done;
    platform::FileError error = platform::FileError::None; // of the safety copy or the last failed append
    bool safetyCopied = false;
    size_t filesFound = 0;
    int added = 0;
    int appendFailures = 0;
};

// Repairs the card of driveLetter whose root is the native folder cardRoot, with the model code's record
// layout. stop (may be null) ends the run between files.
RepairOutcome repairCard(char driveLetter, const QString& cardRoot, int modelCode, const RepairHooks& hooks,
                         const std::atomic<bool>* stop = nullptr);

// The model code of the card in the native folder: 1 when PhoneBook.dat is in its root, else 0.
int modelOfCardFolder(const QString& cardRoot);

// Keeps a repair and the rebuild worker from appending to one CallLog.dat at once. While a claim is held
// the rebuild worker waits before it takes that drive; a claim is refused while the rebuild worker serves
// the drive or has it queued, and while another repair runs.
class RepairClaim {
public:
    RepairClaim(AppState& state, char driveLetter);
    ~RepairClaim();
    RepairClaim(const RepairClaim&) = delete;
    RepairClaim& operator=(const RepairClaim&) = delete;
    bool granted() const { return granted_; }

private:
    AppState& state_;
    bool granted_ = false;
};

} // namespace tessa
