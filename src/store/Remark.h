#pragma once

// Remarks and note lines: 8-bit text whose code page is judged from the bytes themselves. Text with any
// byte that is neither a blank nor alphanumeric is read as code page 936, else in the system code page;
// either way at most 64 characters are kept.

#include "format/CallRecord.h"

#include <cstddef>
#include <cstdint>
#include <QString>

namespace tessa {

namespace platform {
class CodePage;
}

inline constexpr qsizetype kMaxRemarkCharacters = 64;

// The code page for text whose first judgedBytes bytes are these.
const platform::CodePage& remarkCodePage(const uint8_t* bytes, size_t judgedBytes);

// The remark a VX5 card record carried (see RemarkLayout), or empty.
QString cardRemark(const CallRecord& record);

// Remark or note bytes up to the first zero byte or maxBytes, judged whole.
QString remarkText(const uint8_t* bytes, size_t maxBytes);

} // namespace tessa
