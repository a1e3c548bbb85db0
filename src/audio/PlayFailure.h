#pragma once

// Why the player has nothing to play: the reason a record's recording did not open, in the few kinds
// the user can tell apart and act on (put the card back, the file is broken, nothing was recorded).

#include "audio/OpenRecording.h"
#include "platform/FileRoots.h"

#include <QString>

namespace tessa {

enum class PlayFailure {
    None,
    NoRecording, // the record names no recording file
    NotFound,    // nothing at the path (card pulled, file moved or deleted)
    Empty,       // empty, ends before its audio, or shorter than one second
    Unreadable,  // there, but it cannot be opened or read whole
    NoTempFile,  // the private file for the decoded audio could not be made
};

// The failure an open with `status` of the recording at `programPath` (in the area it was opened from)
// stands for.
PlayFailure playFailureOf(OpenStatus status, const QString& programPath,
                          platform::Area area = platform::Area::CardOrBackup);

} // namespace tessa
