#include "cli/RepairCommand.h"

#include "backup/CardRepair.h"
#include "cli/Json.h"
#include "platform/NativePath.h"

#include <QFileInfo>
#include <utility>
#include <vector>

namespace tessa::cli {

int RepairCommand::run(const Args& args, Io io) const {
    if (args.positional().size() != 1)
        return usageError(io, QStringLiteral("repair needs exactly one CARD_ROOT"));
    const QString given = args.positional().first();
    if (!QFileInfo(given).isDir())
        return inputError(io, QStringLiteral("cannot open %1: no such folder").arg(given));
    const QString root = QFileInfo(given).absoluteFilePath();
    int model = modelOfCardFolder(root);
    if (args.has(QStringLiteral("model"))) {
        const QString modelText = args.value(QStringLiteral("model"));
        if (modelText != QLatin1String("0") && modelText != QLatin1String("1"))
            return usageError(io, QStringLiteral("--model must be 0 or 1"));
        model = modelText.toInt();
    }
    char drive = platform::driveLetterOfNative(root);
    if (drive == 0 || drive == 'C')
        drive = 'E';
    const bool json = args.has(QStringLiteral("json"));

    std::vector<std::pair<QString, QString>> added;
    RepairHooks hooks;
    hooks.added = [&](const QString& name, const QString& recordPath) {
        added.emplace_back(name, recordPath);
        if (!json)
            io.out << "added " << recordPath << "\n";
    };
    const RepairOutcome outcome = repairCard(drive, root, model, hooks);
    const QString copyPath = root + QStringLiteral("/CallLog_BK.dat");
    switch (outcome.status) {
    case RepairOutcome::Status::NoCard:
        return inputError(
            io, QStringLiteral("cannot open %1: %2").arg(given, platform::fileErrorText(outcome.error)));
    case RepairOutcome::Status::UnsafeLog:
        return inputError(io,
                          QStringLiteral("CallLog.dat or CallLog_BK.dat of %1 is not a regular file on the "
                                         "card; nothing appended")
                              .arg(given));
    case RepairOutcome::Status::SafetyCopyFailed:
        return inputError(io, QStringLiteral("cannot write the safety copy %1: %2; nothing appended")
                                  .arg(copyPath, platform::fileErrorText(outcome.error)));
    default:
        break;
    }
    if (json) {
        io.out << "{\"model\":" << model
               << ",\"safetyCopy\":" << (outcome.safetyCopied ? jsonString(copyPath) : QStringLiteral("null"))
               << ",\"filesFound\":" << outcome.filesFound << ",\"added\":[";
        for (size_t i = 0; i < added.size(); ++i) {
            io.out << (i ? "," : "");
            JsonObjectWriter(io.out).field("name", added[i].first).field("fullPath", added[i].second);
        }
        io.out << "],\"count\":" << outcome.added << ",\"failed\":" << outcome.appendFailures << "}\n";
    } else {
        io.err << (outcome.safetyCopied ? "safety copy " + copyPath
                                        : QStringLiteral("no CallLog.dat: no safety copy"))
               << "\n";
        io.out << outcome.added << " record(s) added\n";
    }
    if (outcome.appendFailures > 0) {
        io.err << "tessa-cli: " << outcome.appendFailures
               << " record(s) could not be appended: " << platform::fileErrorText(outcome.error) << "\n";
        return ExitBadInput;
    }
    return ExitOk;
}

} // namespace tessa::cli
