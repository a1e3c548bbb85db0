#pragma once

// The desktop's own programs that take over what the exports make: the program registered for .xlsx
// workbooks (asked with xdg-mime, started with xdg-open) and the mail program (through xdg-email). Each
// is started from an argument vector, never through a shell, so no text of a record is ever read as a
// command.

#include <atomic>
#include <QString>
#include <QStringList>

namespace tessa {

inline constexpr const char* kXlsxMimeType =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet";

// A program is registered for .xlsx workbooks.
bool spreadsheetProgramAvailable();
// Starts the desktop's program for the file without waiting for it; false when it could not be started.
bool openWithDesktop(const QString& path);

struct MailMessage {
    QString subject;
    QString body;
    QStringList attachments; // full paths, one --attach each
};

enum class MailHandOff {
    Handed,        // xdg-email took the message (the user may still be writing it)
    NoMailProgram, // xdg-email is missing or cannot be started
    Failed,        // xdg-email ended with an error
    Abandoned,     // the program is closing; xdg-email is left running on its own
};

// xdg-email is installed.
bool mailProgramAvailable();
// The arguments xdg-email gets for a message.
QStringList mailArguments(const MailMessage& message);
// Hands the message to the mail program and waits until xdg-email ends, or quit is set.
MailHandOff handToMailProgram(const MailMessage& message, const std::atomic<bool>& quit);

} // namespace tessa
