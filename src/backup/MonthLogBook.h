#pragma once

// The month logs one backup pass appends to. It knows which PC paths each month log already names, read
// once per log and kept up to date with the pass's own appends, so that the pass can log a copy that
// stands in the tree without an entry, and never logs one twice.

#include "format/CallRecord.h"
#include "platform/ConfinedFiles.h"

#include <map>
#include <optional>
#include <QString>
#include <set>

namespace tessa {

class MonthLogBook {
public:
    // True when some record of the month log (live or deleted) names pcPath; false when none does or the
    // log does not exist; nullopt when the log cannot be read.
    std::optional<bool> names(const QString& monthLog, const QString& pcPath);
    // Appends the record image at the end of the month log, creating it when missing (synced to the disk
    // when asked). On success *index is the record's place in the log; on failure the log is as it was.
    platform::FileError append(const QString& monthLog, const CallRecord& record,
                               platform::Durability durability, uint32_t* index);

private:
    // Paths named by each log that has been read; a log missing here is read on first use.
    std::map<QString, std::set<QString>> named_;
};

} // namespace tessa
