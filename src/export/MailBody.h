#pragma once

// The text of an e-mail that carries records: a block per record (date and time, number and name,
// duration, and the call type for types 2 to 8), then a footer with the device's name, the company and
// the web address from the settings.

#include "format/CallRecord.h"

#include <QString>
#include <vector>

namespace tessa {

inline constexpr const char* kMailSubject = "Tessa Device Records";
// The body may take this many bytes per record in the system code page, footer included.
inline constexpr int kMailBodyBytesPerRecord = 512;

QString mailRecordBlock(const CallRecord& record);
// The footer for the model in use (setting Device, or Device2 for the VX5).
QString mailFooter(int modelCode);
// Every block in order and the footer, cut where the text no longer fits in kMailBodyBytesPerRecord bytes
// per record (one of them kept for the terminating zero).
QString mailBody(const std::vector<CallRecord>& records, int modelCode);
// The longest start of text whose system code page form has at most maxBytes bytes.
QString cutToCodePageBytes(const QString& text, int maxBytes);

} // namespace tessa
