#include "audio/PlayFailure.h"

#include "platform/NativePath.h"

#include <QFileInfo>

namespace tessa {

PlayFailure playFailureOf(OpenStatus status, const QString& programPath) {
    switch (status) {
    case OpenStatus::Opened:
        return PlayFailure::None;
    case OpenStatus::CannotOpen: {
        if (programPath.trimmed().isEmpty())
            return PlayFailure::NoRecording;
        // A path that must not be followed counts as not found: there is no recording the player may read.
        const QString native = platform::nativePath(programPath);
        return native.isEmpty() || !QFileInfo::exists(native) ? PlayFailure::NotFound
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
