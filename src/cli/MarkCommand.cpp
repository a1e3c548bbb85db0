#include "cli/MarkCommand.h"

#include "cli/LogEdit.h"
#include "store/RecordActions.h"

namespace tessa::cli {

int MarkCommand::run(const Args& args, Io io) const {
    LogEditArgs edit;
    if (const int code = parseLogEditArgs(args, io, name(), &edit); code != ExitOk)
        return code;
    EditedLog log;
    if (const int code = log.load(edit, io); code != ExitOk)
        return code;
    const int value = args.has(QStringLiteral("off")) ? 0 : 1;
    std::vector<EditResult> results;
    bool failed = false;
    for (const uint32_t index : edit.indices) {
        CallRecord* record = log.find(index);
        if (!record) {
            results.push_back({index, QStringLiteral("not found"), {}, {}});
            continue;
        }
        const WriteBack written = markRecord(log.records(), *record, value);
        if (written != WriteBack::Written) {
            failed = true;
            results.push_back({index, QStringLiteral("kept"), QLatin1String(writeBackText(written)), {}});
            continue;
        }
        results.push_back({index, value ? QStringLiteral("marked") : QStringLiteral("unmarked"), {}, {}});
    }
    printEditResults(io, args.has(QStringLiteral("json")), results);
    if (failed)
        io.err << "tessa-cli: " << edit.typed << " could not be written\n";
    return failed ? ExitBadInput : ExitOk;
}

} // namespace tessa::cli
