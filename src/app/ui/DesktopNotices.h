#pragma once

// What the program tells the desktop while the user is elsewhere: a card found with its record count,
// a backup pass or a verification finished with its counts. Nothing is sent while a window of the
// program is active (the user sees it there).

#include "platform/DesktopNotifier.h"

#include <cstddef>
#include <functional>
#include <memory>

namespace tessa {

struct BackupSummary;
struct VerifySummary;

class DesktopNotices {
public:
    // The desktop's notification service, silent when there is none.
    DesktopNotices();
    ~DesktopNotices();

    // Tests put a recorder and their own idea of activity in place.
    void setNotifier(std::unique_ptr<platform::DesktopNotifier> notifier);
    void setActiveCheck(std::function<bool()> programActive);

    void cardFound(size_t records);
    void backupFinished(const BackupSummary& summary);
    void verifyFinished(const VerifySummary& summary);

private:
    void send(const QString& summary, const QString& body);

    std::unique_ptr<platform::DesktopNotifier> notifier_;
    std::function<bool()> programActive_;
};

// The texts, for the notices and their tests.
QString cardFoundBody(size_t records);
QString backupFinishedBody(const BackupSummary& summary);

} // namespace tessa
