#pragma once

// The note a container recording carries in its text area: the first line, among the first two or the
// line the area ends with, that is neither blank filler nor a bookmark element. The record list shows
// it as the recording's name on the VX5.

#include "platform/FileRoots.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <QByteArray>
#include <QString>

namespace tessa {

// Scans a text area of up to 1024 bytes. Bytes past length read as zero, as in a cleared buffer that a
// short read filled in part. Returns the note's bytes (at most 63, without terminator), or nullopt.
std::optional<QByteArray> findNoteLine(const uint8_t* area, size_t length);

// Reads the text area of the container recording at programPath (opened for reading only) and scans
// it. nullopt when the file cannot be opened or holds no note.
// The file is read through the confined file layer in the area (a record's path by default).
std::optional<QByteArray> readNoteLine(const QString& programPath,
                                       platform::Area area = platform::Area::CardOrBackup);

} // namespace tessa
