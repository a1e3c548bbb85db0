#include "cli/VerifyCommand.h"

#include "backup/BackupVerify.h"
#include "cli/Json.h"
#include "platform/ConfinedFiles.h"
#include "platform/FileRoots.h"
#include "store/CallLogFile.h"

namespace tessa::cli {
namespace {

using platform::Area;
using platform::FileError;

// Prints every copy that is not intact as it is found, and each model folder's counts.
class VerifyPrinter : public VerifyObserver {
public:
    VerifyPrinter(QTextStream& out, QTextStream& err, bool json) : out_(out), err_(err), json_(json) {}

    void beginModel(int model) {
        model_ = model;
        first_ = true;
        if (json_)
            out_ << (firstModel_ ? "{\"models\":[\n" : ",\n") << "{\"model\":" << model << ",\"copies\":[";
        firstModel_ = false;
    }
    void copyChecked(const VerifiedCopy& c) override {
        if (c.state == CopyState::Intact || c.state == CopyState::Placeholder)
            return;
        if (json_) {
            out_ << (first_ ? "\n" : ",\n");
            JsonObjectWriter(out_)
                .field("state", copyStateText(c.state))
                .field("path", c.relativePath)
                .field("month", qint64(c.month))
                .field("index", qint64(c.index))
                .field("reason", c.reason);
        } else {
            out_ << copyStateText(c.state) << "  " << backupModelFolder(model_) << "/" << c.relativePath;
            if (!c.reason.isEmpty())
                out_ << "  (" << c.reason << ")";
            out_ << "\n";
        }
        out_.flush();
        first_ = false;
    }
    void logUnreadable(const QString& name) override {
        err_ << "tessa-cli: the month log " << name << " cannot be read\n";
    }
    void endModel(const VerifySummary& s) {
        if (json_) {
            out_ << (first_ ? "]," : "\n],") << "\"summary\":";
            JsonObjectWriter(out_)
                .field("records", qint64(s.records))
                .field("intact", qint64(s.intact))
                .field("unlisted", qint64(s.unlisted))
                .field("placeholders", qint64(s.placeholders))
                .field("missing", qint64(s.missing))
                .field("damaged", qint64(s.damaged))
                .field("unreadableLogs", qint64(s.unreadableLogs));
            out_ << "}";
        } else {
            out_ << backupModelFolder(model_) << ": " << s.records << " checked, " << s.intact << " intact, "
                 << s.unlisted << " unlisted, " << s.placeholders << " placeholder(s), " << s.missing
                 << " missing, " << s.damaged << " damaged\n";
        }
    }
    void finish() {
        if (json_)
            out_ << (firstModel_ ? "{\"models\":[]}\n" : "\n]}\n");
    }

private:
    QTextStream& out_;
    QTextStream& err_;
    bool json_;
    int model_ = 0;
    bool first_ = true;
    bool firstModel_ = true;
};

} // namespace

int VerifyCommand::run(const Args& args, Io io) const {
    if (args.positional().size() != 1)
        return usageError(io, QStringLiteral("verify needs exactly one BACKUP_ROOT"));
    const QString modelText = args.value(QStringLiteral("model"));
    if (args.has(QStringLiteral("model")) && modelText != QLatin1String("0") &&
        modelText != QLatin1String("1"))
        return usageError(io, QStringLiteral("--model must be 0 or 1"));

    const QString rootArg = args.positional().first();
    const platform::FileStatus root = platform::statFile(rootArg, Area::User);
    if (root.error != FileError::None || root.kind != platform::EntryKind::Folder)
        return inputError(io,
                          QStringLiteral("cannot read the backup %1: %2")
                              .arg(rootArg, root.error == FileError::None
                                                ? QStringLiteral("not a folder")
                                                : QString::fromLatin1(platform::fileErrorText(root.error))));
    const QString rootNative = root.realPath.endsWith(QLatin1Char('/')) ? root.realPath : root.realPath + '/';
    platform::ScopedFileRoots roots(QString(), root.realPath);

    std::vector<int> models;
    if (args.has(QStringLiteral("model")))
        models.push_back(modelText.toInt());
    else
        for (const int model : {0, 1})
            if (platform::statFile(rootNative + backupModelFolder(model) + QStringLiteral("/CallLog"),
                                   Area::Backup)
                    .kind == platform::EntryKind::Folder)
                models.push_back(model);

    VerifyPrinter printer(io.out, io.err, args.has(QStringLiteral("json")));
    bool allGood = true, anyRan = false;
    for (const int model : models) {
        printer.beginModel(model);
        const VerifySummary summary = verifyBackup(rootNative, model, nullptr, printer);
        printer.endModel(summary);
        anyRan = anyRan || summary.ran;
        allGood = allGood && (summary.ran ? summary.allGood() : false);
    }
    printer.finish();
    if (!anyRan) {
        io.err << "tessa-cli: " << rootArg << " holds no month logs to verify\n";
        return ExitBadInput;
    }
    return allGood ? ExitOk : ExitBadInput;
}

} // namespace tessa::cli
