#include "audio/PlayFailure.h"

#include "platform/ConfinedFiles.h"
#include "platform/NativePath.h"

namespace tessa {

PlayFailure playFailureOf(OpenStatus status, const QString& programPath, platform::Area area) {
    switch (status) {
    case OpenStatus::Opened:
        return PlayFailure::None;
    case OpenStatus::CannotOpen: {
        if (programPath.trimmed().isEmpty())
            return PlayFailure::NoRecording;
        // A path that must not be followed (off the card, through a link leading out) counts as not found:
        // there is no recording the player may read. Looked at without opening, so a FIFO does not block.
        const QString native = platform::nativePath(programPath);
        if (native.isEmpty())
            return PlayFailure::NotFound;
        const platform::FileStatus status = platform::statFile(native, area);
        return status.error != platform::FileError::None || status.kind == platform::EntryKind::Missing
                   ? PlayFailure::NotFound
                   : PlayFailure::Unreadable;
    }
    case OpenStatus::NoDecodedFile:
        return PlayFailure::NoTempFile;
    case OpenStatus::Empty:
    case OpenStatus::NoDuration:
        return PlayFailure::Empty;
    case OpenStatus::TooLarge:
    case OpenStatus::NoMemory:
    case OpenStatus::ReadFailed:
        return PlayFailure::Unreadable;
    }
    return PlayFailure::Unreadable;
}

} // namespace tessa
