#pragma once

// Path resolution and confinement of the confined file layer (ConfinedFiles.h); used by it alone.

#include "platform/FileError.h"
#include "platform/FileRoots.h"

#include <QByteArray>
#include <QString>
#include <sys/stat.h>

namespace tessa::platform::confined_path_internal {

struct Target {
    FileError error = FileError::None;
    QByteArray real;     // the real path; for a missing target, the real folder and the name
    bool exists = false; // something is at the real path; st is its lstat
    struct stat st {};
};

// The path encoded as bytes and made absolute from the working folder.
QByteArray absoluteBytes(const QString& nativePath);
QByteArray stripTrailingSlashes(QByteArray path);

// Resolves every link and "." or ".." of the path and checks that the result lies inside the area.
// mayBeMissing allows a target that does not exist yet (its folder must); a final component that is a
// link leading nowhere is then refused (NotRegular), so nothing is ever created through a link.
Target resolveTarget(const QString& nativePath, Area area, bool mayBeMissing);

// None when the real path lies inside a root of the area; NoRoot when the area has none set, Vanished
// when no root of it exists any more, else Outside.
FileError confine(const QByteArray& real, Area area);

// None when the real path lies inside the given root folder, Vanished when that folder does not exist,
// else Outside.
FileError confineTo(const QByteArray& real, const QString& rootNative);

} // namespace tessa::platform::confined_path_internal
