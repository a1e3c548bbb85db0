#pragma once

// Removing the recording of a deleted record. A record names its recording by a path that the card or the
// backup wrote; whatever that path says, only a file inside the card in use or the backup root is removed.

#include <QString>

namespace tessa {

enum class RecordingRemoval {
    Removed,
    Missing, // nothing at the path: nothing to remove
    Refused, // the path leads outside the allowed root (or cannot be followed)
    Failed,  // the file is there but could not be removed
};

// What removing the recording at programPath would do without doing it: Missing, Refused, or Removed
// (meaning: allowed and present).
RecordingRemoval checkRecordingRemoval(const QString& programPath, const QString& allowedRootNative);
// Removes the recording at programPath when it lies inside allowedRootNative (a native folder).
RecordingRemoval removeRecording(const QString& programPath, const QString& allowedRootNative);

} // namespace tessa
