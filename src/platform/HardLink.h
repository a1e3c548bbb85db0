#pragma once

// A second name for a file that exists: a hard link where the file system allows one, else a copy.
// For folders the program makes itself from scratch (the demo card), never for a card or a backup.

#include <QString>

namespace tessa::platform {

enum class SecondName { Linked, Copied, Failed };

// Gives the file at existingNative the new name newNative (which must not exist yet).
SecondName linkOrCopy(const QString& existingNative, const QString& newNative);

} // namespace tessa::platform
