#pragma once

#include "format/CallRecord.h"

#include <QString>

namespace tessa {

// The remark a VX5 card record carried ("RM:" at bytes 9-11 of the call record, 32 bytes at 12), or empty.
// Text with any byte that is neither a blank nor alphanumeric is read as code page 936, else in the
// system code page; at most 64 characters.
QString cardRemark(const CallRecord& record);

// The code-page choice for remark and note bytes, shared with the record list.
QString remarkText(const uint8_t* bytes, size_t maxBytes);

} // namespace tessa
