#include "app/ui/DesktopNotices.h"

#include "backup/BackupPass.h"
#include "backup/BackupVerify.h"
#include "backup/ui/VerifyDialog.h"
#include "config/Settings.h"
#include "config/StringTable.h"
#include "platform/notify/DBusNotifier.h"

#include <QApplication>
#include <QStringList>

namespace tessa {

DesktopNotices::DesktopNotices()
    : notifier_(std::make_unique<platform::DBusNotifier>(readStringSetting(QStringLiteral("Software")),
                                                         QStringLiteral("org.tessa.Tessa"))),
      programActive_([] { return QApplication::activeWindow() != nullptr; }) {}

DesktopNotices::~DesktopNotices() = default;

void DesktopNotices::setNotifier(std::unique_ptr<platform::DesktopNotifier> notifier) {
    notifier_ = std::move(notifier);
}

void DesktopNotices::setActiveCheck(std::function<bool()> programActive) {
    programActive_ = std::move(programActive);
}

void DesktopNotices::send(const QString& summary, const QString& body) {
    if (notifier_ && !(programActive_ && programActive_()))
        notifier_->notify(summary, body);
}

QString cardFoundBody(size_t records) {
    return text(416) + QStringLiteral(": ") + QString::number(records);
}

QString backupFinishedBody(const BackupSummary& summary) {
    const std::pair<QString, uint32_t> parts[] = {{text(418), summary.copied},
                                                  {text(419), summary.moved},
                                                  {text(414), summary.placeholders},
                                                  {text(420), summary.alreadyThere},
                                                  {text(421), summary.skipped}};
    QStringList line;
    for (const auto& [label, count] : parts)
        line << label + QStringLiteral(": ") + QString::number(count);
    return line.join(QStringLiteral(", ")) + QLatin1Char('.');
}

void DesktopNotices::cardFound(size_t records) {
    send(text(415), cardFoundBody(records));
}

void DesktopNotices::backupFinished(const BackupSummary& summary) {
    if (summary.ran)
        send(text(417), backupFinishedBody(summary));
}

void DesktopNotices::verifyFinished(const VerifySummary& summary) {
    // A check the user stopped proves nothing either way.
    if (summary.ran && summary.complete)
        send(text(summary.allGood() ? 422 : 423), verifyCountsLine(summary));
}

} // namespace tessa
