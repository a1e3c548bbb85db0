#pragma once

// The bookmark segment the recorder leaves in a container recording's text area:
//   <bookmark> ... <bstart>HH:MM:SS</bstart> ... <bend>HH:MM:SS</bend> ... <bookmark>
// The system only reads it; the recorder writes it.

#include "audio/RecordingWriter.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace tessa {

// Searches a text area of up to 1024 bytes; the area ends at its first zero byte. Returns the segment
// in seconds, or nullopt when the element is malformed or its start is not below its end.
std::optional<BookmarkSpan> parseBookmark(const uint8_t* area, size_t length);

// A time of 1 to 8 bytes read at the fixed places of HH:MM:SS (hours from bytes 1-2, minutes from 4-5,
// seconds from 7-8, each by its leading digits), in seconds.
uint32_t bookmarkClockSeconds(const uint8_t* text, size_t length);

} // namespace tessa
