#include "cli/WatchCommand.h"

#include "backup/BackupPass.h"
#include "cli/Json.h"
#include "platform/ConfinedFiles.h"
#include "platform/FileRoots.h"
#include "platform/VolumeTable.h"
#include "store/CallLogFile.h"
#include "store/CardScan.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <optional>
#include <thread>

namespace tessa::cli {
namespace {

using platform::Area;
using platform::FileError;

std::atomic<bool> watchStop{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the stop flag is set from a signal handler");

extern "C" void onStopSignal(int) {
    watchStop = true;
}

// SIGINT and SIGTERM set the stop flag for as long as the object lives.
class StopSignals {
public:
    StopSignals() {
        watchStop = false;
        struct sigaction action {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &oldInt_);
        sigaction(SIGTERM, &action, &oldTerm_);
    }
    ~StopSignals() {
        sigaction(SIGINT, &oldInt_, nullptr);
        sigaction(SIGTERM, &oldTerm_, nullptr);
    }

private:
    struct sigaction oldInt_ {};
    struct sigaction oldTerm_ {};
};

// One insertion of a card: the drive, its folder and the file its call log is.
struct Insertion {
    char letter = 0;
    QString root;
    platform::FileIdentity log;
    friend bool operator==(const Insertion&, const Insertion&) = default;
};

// The card the window would find now: the lowest removable drive that passes the card tests.
std::optional<Insertion> cardNow() {
    for (const platform::Volume& volume : platform::volumeTable().refresh()) {
        if (!isCard(volume))
            continue;
        const platform::FileStatus log =
            platform::statFile(volume.root + QStringLiteral("/CallLog.dat"), Area::User);
        return Insertion{volume.letter, volume.root, log.identity};
    }
    return std::nullopt;
}

// Keeps the records a pass could not back up, for the pass's report.
class PassReporter : public BackupObserver {
public:
    void recordDone(const BackupRecordResult& r) override {
        if (r.outcome == BackupOutcome::Skipped)
            skipped.push_back(r.cardPath + QStringLiteral(" (") + r.reason + QLatin1Char(')'));
    }
    QStringList skipped;
};

void report(QTextStream& out, bool json, const Insertion& card, int model, const BackupSummary& s,
            const QStringList& skipped, bool stopped) {
    if (json) {
        JsonObjectWriter(out)
            .field("event", QStringLiteral("pass"))
            .field("drive", QString(QChar(card.letter)))
            .field("card", card.root)
            .field("model", qint64(model))
            .field("copied", qint64(s.copied))
            .field("moved", qint64(s.moved))
            .field("placeholders", qint64(s.placeholders))
            .field("alreadyThere", qint64(s.alreadyThere))
            .field("skipped", qint64(s.skipped))
            .field("complete", s.complete)
            .field("stopped", stopped)
            .field("cardGone", s.cardGone)
            .field("lockRefused", s.lockRefused);
        out << "\n";
    } else if (s.lockRefused) {
        out << "card " << card.letter << ": (" << card.root
            << "): another backup is writing into the backup folder; trying again\n";
    } else {
        out << "card " << card.letter << ": (" << card.root << "): " << s.copied << " copied, " << s.moved
            << " moved, " << s.placeholders << " placeholder(s), " << s.alreadyThere << " already there, "
            << s.skipped << " skipped"
            << (stopped      ? ", stopped"
                : s.cardGone ? ", the card went away"
                             : "")
            << "\n";
        for (const QString& line : skipped)
            out << "  skipped " << line << "\n";
    }
    out.flush();
}

} // namespace

int WatchCommand::run(const Args& args, Io io) const {
    if (!args.positional().isEmpty())
        return usageError(io, QStringLiteral("watch takes no positional argument"));
    const QString toArg = args.value(QStringLiteral("to"));
    if (toArg.isEmpty())
        return usageError(io, QStringLiteral("watch needs --to BACKUP_ROOT"));
    if (const FileError made = platform::makeFolders(toArg, Area::User); made != FileError::None)
        return inputError(io, QStringLiteral("cannot make the backup folder %1: %2")
                                  .arg(toArg, QString::fromLatin1(platform::fileErrorText(made))));
    const QString backupReal = platform::statFile(toArg, Area::User).realPath;
    const QString root = backupReal.endsWith(QLatin1Char('/')) ? backupReal : backupReal + QLatin1Char('/');
    const bool json = args.has(QStringLiteral("json"));
    const bool move = args.has(QStringLiteral("move"));

    StopSignals stopSignals;
    platform::ScopedFileRoots roots(QString(), backupReal);
    std::optional<Insertion> done; // the card in the drive that has been backed up
    using namespace std::chrono_literals;
    while (!watchStop) {
        const std::optional<Insertion> card = cardNow();
        if (!card)
            done.reset();
        if (card && card != done) {
            platform::setCardRoot(card->root);
            const int model = modelOfCard(card->letter);
            std::vector<CallRecord> records;
            LogReadHandlers handlers;
            handlers.record = [&](uint32_t, uint32_t, CallRecord* record) {
                if (record)
                    records.push_back(*record);
            };
            const LogReadStatus read =
                readCardLog(platform::nativePath(cardLogPath(card->letter)), platform::Area::Card,
                            card->letter, model, nullptr, &watchStop, handlers);
            if (read == LogReadStatus::Unreadable) {
                io.err << "tessa-cli: cannot read the call log of the card " << card->root << "\n";
                io.err.flush();
                done = card; // not again until it is inserted again
            } else if (!watchStop) {
                BackupRequest request;
                request.root = root;
                request.modelCode = model;
                request.moveFiles = move;
                request.allRecords = true;
                request.cardLogPath = cardLogPath(card->letter);
                PassReporter reporter;
                const BackupSummary summary = runBackupPass(
                    request, records, [] { return bool(watchStop); }, reporter);
                report(io.out, json, *card, model, summary, reporter.skipped, watchStop && !summary.complete);
                // A refused pass is tried again at the next poll; any other is done for this insertion.
                if (!summary.lockRefused)
                    done = card;
            }
            platform::setCardRoot(QString());
        }
        for (int i = 0; i < 20 && !watchStop; ++i)
            std::this_thread::sleep_for(100ms);
    }
    return ExitOk;
}

} // namespace tessa::cli
