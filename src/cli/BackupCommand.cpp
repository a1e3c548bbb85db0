#include "cli/BackupCommand.h"

#include "backup/BackupPass.h"
#include "cli/Json.h"
#include "platform/ConfinedFiles.h"
#include "platform/NativePath.h"
#include "platform/VolumeTable.h"
#include "store/CallLogFile.h"

namespace tessa::cli {
namespace {

using platform::Area;
using platform::FileError;

QString cardLogText(CardLogChange change) {
    switch (change) {
    case CardLogChange::Untouched:
        return QStringLiteral("untouched");
    case CardLogChange::EntriesCleared:
        return QStringLiteral("entries cleared");
    case CardLogChange::Deleted:
        return QStringLiteral("deleted");
    case CardLogChange::Failed:
        return QStringLiteral("could not be updated");
    }
    return {};
}

// Gives the card folder a drive letter for as long as the command runs: the letter of the volume it is
// the root of, or else the first free letter from E, added to the volume table.
class CardDrive {
public:
    explicit CardDrive(const QString& cardReal) : previous_(platform::installedVolumeTable()) {
        std::vector<platform::Volume> volumes = platform::volumeTable().snapshot();
        for (const platform::Volume& v : volumes)
            if (platform::statFile(v.root, Area::User).realPath == cardReal) {
                letter_ = v.letter;
                return;
            }
        for (char c = 'E'; c <= 'Z' && letter_ == 0; ++c) {
            bool used = false;
            for (const platform::Volume& v : volumes)
                used = used || v.letter == c;
            if (!used)
                letter_ = c;
        }
        if (letter_ == 0)
            return;
        volumes.push_back(platform::Volume{letter_, platform::DriveRemovable, cardReal});
        auto table = std::make_shared<platform::FixedVolumeTable>(std::move(volumes));
        table->refresh();
        platform::setVolumeTable(table);
        installed_ = true;
    }
    ~CardDrive() {
        if (installed_)
            platform::setVolumeTable(previous_);
    }
    char letter() const { return letter_; }

private:
    std::shared_ptr<platform::VolumeTable> previous_;
    char letter_ = 0;
    bool installed_ = false;
};

class Printer : public BackupObserver {
public:
    Printer(QTextStream& out, bool json) : out_(out), json_(json) {
        if (json_)
            out_ << "{\"records\":[";
    }
    void recordDone(const BackupRecordResult& r) override {
        if (json_) {
            out_ << (first_ ? "\n" : ",\n");
            JsonObjectWriter(out_)
                .field("position", qint64(r.position))
                .field("cardPath", r.cardPath)
                .field("outcome", backupOutcomeText(r.outcome))
                .field("destination", platform::nativePath(r.destination))
                .field("leftCard", r.leftCard)
                .field("reason", r.reason);
        } else {
            out_ << backupOutcomeText(r.outcome) << "  " << r.cardPath;
            if (!r.destination.isEmpty() && r.outcome != BackupOutcome::Skipped)
                out_ << "  ->  " << platform::nativePath(r.destination);
            if (!r.reason.isEmpty())
                out_ << "  (" << r.reason << ")";
            out_ << "\n";
        }
        out_.flush();
        first_ = false;
    }
    void finish(const BackupSummary& s) {
        if (json_) {
            out_ << (first_ ? "]," : "\n],") << "\"summary\":";
            JsonObjectWriter(out_)
                .field("copied", qint64(s.copied))
                .field("moved", qint64(s.moved))
                .field("placeholders", qint64(s.placeholders))
                .field("alreadyThere", qint64(s.alreadyThere))
                .field("skipped", qint64(s.skipped))
                .field("complete", s.complete)
                .field("cardGone", s.cardGone)
                .field("cardLog", cardLogText(s.cardLog));
            out_ << "}\n";
        } else {
            out_ << s.copied << " copied, " << s.moved << " moved, " << s.placeholders << " placeholder(s), "
                 << s.alreadyThere << " already there, " << s.skipped << " skipped\n";
        }
    }

private:
    QTextStream& out_;
    bool json_;
    bool first_ = true;
};

} // namespace

int BackupCommand::run(const Args& args, Io io) const {
    if (args.positional().size() != 1)
        return usageError(io, QStringLiteral("backup needs exactly one CARD_ROOT"));
    if (args.value(QStringLiteral("to")).isEmpty())
        return usageError(io, QStringLiteral("backup needs --to BACKUP_ROOT"));
    const QString modelText = args.value(QStringLiteral("model"));
    if (args.has(QStringLiteral("model")) && modelText != QLatin1String("0") &&
        modelText != QLatin1String("1"))
        return usageError(io, QStringLiteral("--model must be 0 or 1"));

    const QString cardArg = args.positional().first();
    const platform::FileStatus card = platform::statFile(cardArg, Area::User);
    if (card.error != FileError::None || card.kind != platform::EntryKind::Folder)
        return inputError(io,
                          QStringLiteral("cannot read the card %1: %2")
                              .arg(cardArg, card.error == FileError::None
                                                ? QStringLiteral("not a folder")
                                                : QString::fromLatin1(platform::fileErrorText(card.error))));
    const QString toArg = args.value(QStringLiteral("to"));
    if (const FileError made = platform::makeFolders(toArg, Area::User); made != FileError::None)
        return inputError(io, QStringLiteral("cannot make the backup folder %1: %2")
                                  .arg(toArg, QString::fromLatin1(platform::fileErrorText(made))));
    const QString backupReal = platform::statFile(toArg, Area::User).realPath;

    CardDrive drive(card.realPath);
    if (drive.letter() == 0)
        return inputError(io, QStringLiteral("no drive letter is free for the card"));
    platform::ScopedFileRoots roots(card.realPath, backupReal);

    const QString cardLog = QStringLiteral("%1:\\CallLog.dat").arg(QChar(drive.letter()));
    const platform::FileStatus phonebook = platform::statFile(
        platform::nativePath(QStringLiteral("%1:\\PhoneBook.dat").arg(QChar(drive.letter()))), Area::Card);
    const int model =
        args.has(QStringLiteral("model"))
            ? modelText.toInt()
            : (phonebook.error == FileError::None && phonebook.kind == platform::EntryKind::File ? 1 : 0);

    std::vector<CallRecord> records;
    LogReadHandlers handlers;
    handlers.record = [&](uint32_t, uint32_t, CallRecord* record) {
        if (record)
            records.push_back(*record);
    };
    if (readCardLog(platform::nativePath(cardLog), Area::Card, drive.letter(), model, nullptr, nullptr,
                    handlers) == LogReadStatus::Unreadable)
        return inputError(io, QStringLiteral("cannot read the call log of the card %1").arg(cardArg));

    BackupRequest request;
    request.root = backupReal.endsWith(QLatin1Char('/')) ? backupReal : backupReal + QLatin1Char('/');
    request.modelCode = model;
    request.moveFiles = args.has(QStringLiteral("move"));
    request.allRecords = true;
    request.cardLogPath = cardLog;

    const bool json = args.has(QStringLiteral("json"));
    Printer printer(io.out, json);
    const BackupSummary summary = runBackupPass(request, records, nullptr, printer);
    printer.finish(summary);
    if (summary.cardGone)
        io.err << "tessa-cli: the card went away during the backup\n";
    if (summary.cardLog == CardLogChange::Failed)
        io.err
            << "tessa-cli: the card's call log could not be updated; it still names recordings that left\n";
    return summary.skipped == 0 && !summary.cardGone ? ExitOk : ExitBadInput;
}

} // namespace tessa::cli
