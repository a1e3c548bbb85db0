#pragma once

// A container recording turned into a standard RIFF WAVE file that any player opens. The coded audio is
// taken from byte 1440 on, whatever the container's header says. IMA ADPCM (17) and mu-law (7) are
// copied behind their WAV headers; GSM 06.10 (49) is decoded from a fresh state and coded again as
// WAVE format 49, the two-frame packing players know. Any other coding gives no output.

#include "platform/FileRoots.h"

#include <QString>

namespace tessa {

enum class ConversionResult {
    Written,
    SourceNotOpened,  // missing, unreadable, not a regular file, or outside its area
    TooShort,         // not longer than 1440 + 32 bytes
    NoMemory,         // the audio does not fit in memory
    OutputNotWritten, // the output could not be written, or a GSM recording holds less than a second
    OtherCoding,      // a coding the conversion does not write; nothing is written
};

// The string number of a failure's reason (210-213), or 0 for Written and OtherCoding.
int conversionReasonText(ConversionResult result);

// Converts the container at sourceNative (inside sourceArea) into outputNative, which is replaced.
// The output appears only when it is whole; a failure leaves no file of that name behind.
ConversionResult convertRecording(const QString& sourceNative, platform::Area sourceArea,
                                  const QString& outputNative);

// The output name: the part of the source path after its last backslash or slash (the whole path when
// it has neither) with every ".xtr" replaced by ".wav", appended to the folder. A folder that does not
// end with a separator gets one, so a typed folder never turns into a prefix of the name.
QString wavOutputPath(const QString& sourcePath, const QString& folder);

} // namespace tessa
