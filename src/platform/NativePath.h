#pragma once

// Paths of the program carry the recorder's drive-letter form ("E:\201801\name.wav"); paths on the PC
// side are native. Every file-system call goes through nativePath(), which maps a drive prefix to that
// drive's root folder and backslashes to slashes.

#include <QString>

namespace tessa::platform {

// The native path for a program path, or an empty string when the path must not be followed: a ".."
// component anywhere, or a drive letter with no volume. A path without a drive prefix is taken as native
// (backslashes still become slashes).
QString nativePath(const QString& programPath);

// Letter of the volume whose root holds the native path (longest matching root), or 0.
char driveLetterOfNative(const QString& nativePath);

// True when programPath has the form "X:\..." (or "X:/...").
bool hasDrivePrefix(const QString& programPath);

} // namespace tessa::platform
