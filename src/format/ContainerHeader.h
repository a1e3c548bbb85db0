#pragma once

// The first bytes of a container recording (a path containing ".xtr"): a 12-byte header whose data offset
// and format code the program reads, then, at byte 144, a 1024-byte text area.

#include "format/LittleEndian.h"

#include <cstddef>
#include <QString>

namespace tessa {

enum FormatCode : uint32_t {
    FormatImaAdpcm = 17,
    FormatGsm = 49,
    FormatALaw = 6,
    FormatMuLaw = 7,
};

struct ContainerHeader {
    LeU32 reserved0;
    LeU32 dataOffset; // first audio byte
    LeU32 formatCode; // compared as a whole 32-bit value

    static constexpr size_t kSize = 12;
    static constexpr size_t kTextAreaOffset = 144;
    static constexpr size_t kTextAreaSize = 1024;
    // Where the system's own writers put the audio, and where WAV export takes it from.
    static constexpr size_t kStandardDataOffset = 1440;
};
static_assert(sizeof(ContainerHeader) == ContainerHeader::kSize);
static_assert(offsetof(ContainerHeader, dataOffset) == 4);
static_assert(offsetof(ContainerHeader, formatCode) == 8);

// Case-sensitive substring test on the whole path, as the recorder's files are told apart.
inline bool isContainerPath(const QString& path) {
    return path.contains(QStringLiteral(".xtr"));
}

} // namespace tessa
