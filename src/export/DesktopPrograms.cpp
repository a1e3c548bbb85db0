#include "export/DesktopPrograms.h"

#include <memory>
#include <mutex>
#include <QProcess>
#include <QStandardPaths>
#include <vector>

namespace tessa {
namespace {

constexpr int kQueryTimeoutMs = 5000;
constexpr int kQuitPollMs = 100;

// Destroying a QProcess kills its program. Mail programs still running when the program quits are kept
// here instead, never destroyed, so that the message the user is writing survives.
void keepRunning(std::unique_ptr<QProcess> process) {
    static std::mutex mutex;
    static auto* running = new std::vector<std::unique_ptr<QProcess>>;
    std::lock_guard lock(mutex);
    running->push_back(std::move(process));
}

} // namespace

bool spreadsheetProgramAvailable() {
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty())
        return false;
    QProcess query;
    query.setStandardInputFile(QProcess::nullDevice());
    query.setStandardErrorFile(QProcess::nullDevice());
    query.start(xdgMime,
                {QStringLiteral("query"), QStringLiteral("default"), QString::fromLatin1(kXlsxMimeType)});
    if (!query.waitForFinished(kQueryTimeoutMs)) {
        query.kill();
        query.waitForFinished(kQueryTimeoutMs);
        return false;
    }
    return query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0 &&
           !QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed().isEmpty();
}

bool openWithDesktop(const QString& path) {
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    return !xdgOpen.isEmpty() && QProcess::startDetached(xdgOpen, {path});
}

bool mailProgramAvailable() {
    return !QStandardPaths::findExecutable(QStringLiteral("xdg-email")).isEmpty();
}

QStringList mailArguments(const MailMessage& message) {
    // Every option that follows --utf8 is taken as UTF-8 whatever the locale says.
    QStringList args = {QStringLiteral("--utf8"), QStringLiteral("--subject"), message.subject,
                        QStringLiteral("--body"), message.body};
    for (const QString& file : message.attachments)
        args << QStringLiteral("--attach") << file;
    return args;
}

MailHandOff handToMailProgram(const MailMessage& message, const std::atomic<bool>& quit) {
    const QString xdgEmail = QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
    if (xdgEmail.isEmpty())
        return MailHandOff::NoMailProgram;
    auto process = std::make_unique<QProcess>();
    process->setStandardInputFile(QProcess::nullDevice());
    // No pipes: a process left running at exit must never block on output nobody reads.
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start(xdgEmail, mailArguments(message));
    if (!process->waitForStarted())
        return MailHandOff::NoMailProgram;
    while (!process->waitForFinished(kQuitPollMs)) {
        if (process->state() == QProcess::NotRunning)
            break;
        if (quit) {
            keepRunning(std::move(process));
            return MailHandOff::Abandoned;
        }
    }
    return process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0 ? MailHandOff::Handed
                                                                                     : MailHandOff::Failed;
}

} // namespace tessa
