#pragma once

// Tells whether the month logs of a backup changed since they were last looked at, so that the backup
// view can be reloaded when another process (a watcher) appended records to them.

#include <cstdint>
#include <QString>

namespace tessa {

// The names and sizes of the month logs of a model folder folded into one number; 0 when there are none.
// Appends, new months and removed logs change it.
uint64_t monthLogsSignature(const QString& root, int modelCode);

// What the backup view knows of the month logs it shows. A change is acted on once it has held for one
// look, so that a watcher's pass in progress (appending record after record) is read once, when it
// paused or ended, and not every time the view looks.
class MonthLogWatch {
public:
    // The view is about to read the month logs: what they are now is what it shows.
    void loading(const QString& root, int modelCode);
    // The view shows something else (the card): its next look takes the logs as they are then.
    void forget() { known_ = false; }
    // A periodic look while the backup view shows; true when the logs changed and should be read again.
    bool reloadDue(const QString& root, int modelCode);

private:
    bool known_ = false;
    uint64_t shown_ = 0;
    bool pendingKnown_ = false;
    uint64_t pending_ = 0;
};

} // namespace tessa
