#include "cli/ImportCommand.h"

#include "backup/Import.h"
#include "cli/RecordOutput.h"
#include "format/CardRecord.h"

#include <QFileInfo>

namespace tessa::cli {

int ImportCommand::run(const Args& args, Io io) const {
    if (args.positional().size() != 1)
        return usageError(io, QStringLiteral("import needs exactly one DIR"));
    const QString folder = args.positional().first();
    if (!QFileInfo(folder).isDir())
        return inputError(io, QStringLiteral("cannot open %1: no such folder").arg(folder));
    const ImportResult result = importRecordings(QFileInfo(folder).absoluteFilePath(), nullptr);
    const bool json = args.has(QStringLiteral("json"));
    if (json) {
        io.out << "[";
        bool first = true;
        for (const CallRecord& record : result.records) {
            printRecordJson(io.out, record, ModelVX7, first);
            first = false;
        }
        io.out << (first ? "]\n" : "\n]\n");
    } else {
        for (const CallRecord& record : result.records)
            printRecordText(io.out, record, ModelVX7);
        io.err << result.records.size() << " record(s) from " << result.filesFound << " file(s)\n";
    }
    if (!result.complete)
        io.err << "tessa-cli: a folder below " << folder
               << " could not be listed; the search stopped there\n";
    return ExitOk;
}

} // namespace tessa::cli
