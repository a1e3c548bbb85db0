#pragma once

// What the mark and delete commands share: their arguments, the log they change loaded with its origin,
// and the roots and drive its records name. LOG is a card log, whose folder is the card root (its
// records' drive letter is mapped to that folder), or a month log in <root>/TessaDeviceBackup[M]/CallLog/,
// whose root is the backup root. Only card and backup files inside those roots are ever changed.

#include "cli/Cli.h"
#include "platform/FileRoots.h"
#include "store/RecordCollection.h"

#include <memory>
#include <vector>

namespace tessa::platform {
class VolumeTable;
}

namespace tessa::cli {

struct LogEditArgs {
    QString typed;  // LOG as typed
    QString native; // its native path
    bool monthLog = false;
    int modelCode = 0;
    char drive = 0;
    std::vector<uint32_t> indices; // in the order given, without repeats
};

// ExitOk, or a usage error printed (ExitUsage) / an input error (ExitBadInput).
int parseLogEditArgs(const Args& args, Io io, const char* command, LogEditArgs* out);

// The log loaded for editing; the roots and the drive mapping hold while it lives.
class EditedLog {
public:
    EditedLog();
    ~EditedLog();
    EditedLog(const EditedLog&) = delete;
    EditedLog& operator=(const EditedLog&) = delete;

    // ExitOk, or ExitBadInput with the message printed when the log cannot be read.
    int load(const LogEditArgs& args, Io io);
    RecordCollection& records() { return records_; }
    // The live record of that index, or null.
    CallRecord* find(uint32_t index);
    // Where the recordings of its records are reached.
    platform::Area recordingArea() const { return area_; }

private:
    RecordCollection records_;
    platform::Area area_ = platform::Area::Card;
    std::unique_ptr<platform::ScopedFileRoots> roots_;
    std::shared_ptr<platform::VolumeTable> previousTable_;
    bool tableInstalled_ = false;
};

// One line of the commands' output.
struct EditResult {
    uint32_t index = 0;
    QString result;    // "deleted", "kept", "marked", "unmarked", "not found"
    QString reason;    // why a record was kept
    QString recording; // delete: "removed", "shared" (another record names it), "none" (there was none)
};
// "INDEX RESULT[: REASON]" lines, or with json one array of objects.
void printEditResults(Io io, bool json, const std::vector<EditResult>& results);

} // namespace tessa::cli
