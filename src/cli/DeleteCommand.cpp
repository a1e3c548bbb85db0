#include "cli/DeleteCommand.h"

#include "cli/LogEdit.h"
#include "store/RecordActions.h"

#include <algorithm>

namespace tessa::cli {

int DeleteCommand::run(const Args& args, Io io) const {
    LogEditArgs edit;
    if (const int code = parseLogEditArgs(args, io, name(), &edit); code != ExitOk)
        return code;
    EditedLog log;
    if (const int code = log.load(edit, io); code != ExitOk)
        return code;

    std::vector<CallRecord*> found;
    for (const uint32_t index : edit.indices)
        if (CallRecord* record = log.find(index))
            found.push_back(record);
    const std::vector<DeleteOutcome> outcomes = deleteRecords(log.records(), found, log.recordingArea());

    std::vector<EditResult> results;
    bool failed = false;
    for (const uint32_t index : edit.indices) {
        const auto outcome = std::find_if(outcomes.begin(), outcomes.end(), [index](const DeleteOutcome& o) {
            return o.record->index == index;
        });
        if (outcome == outcomes.end()) {
            results.push_back({index, QStringLiteral("not found"), {}, {}});
            continue;
        }
        if (outcome->result == DeleteResult::Kept) {
            failed = failed || outcome->reason == KeptReason::LogNotWritten;
            results.push_back({index, QStringLiteral("kept"), keptReasonText(*outcome), {}});
            continue;
        }
        const QString recording = outcome->recordingShared    ? QStringLiteral("shared")
                                  : outcome->recordingRemoved ? QStringLiteral("removed")
                                                              : QStringLiteral("none");
        results.push_back({index, QStringLiteral("deleted"), {}, recording});
    }
    printEditResults(io, args.has(QStringLiteral("json")), results);
    if (failed)
        io.err << "tessa-cli: " << edit.typed << " could not be written\n";
    return failed ? ExitBadInput : ExitOk;
}

} // namespace tessa::cli
