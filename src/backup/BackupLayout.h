#pragma once

// The backup folder tree on the PC and the names in it. Every place a recording goes is derived from the
// recording stamp YYYYMMDDhhmmss that begins its name on the card, never from the record's date fields:
//
//   root + model folder + "\"                          model root
//   model root + "CallLog\" + YYYYMM + "CallLogBK.dat"  month log (the loader reads it back by month number)
//   model root + YYYYMM + "\" + YYYYMMDD + "\" + name   the backed-up recording
//   the same + ".tmp"                                   placeholder for a recording missing on the card
//
// Roots are native folders ending with a separator; the parts below them are joined with backslashes,
// which the path mapping turns into slashes at every file-system call.

#include "format/CallRecord.h"

#include <optional>
#include <QString>

namespace tessa {

// root + model folder + "\" ("TessaDeviceBackup" or "TessaDeviceBackupM").
QString backupModelRoot(const QString& root, int modelCode);
// model root + "CallLog\".
QString backupCallLogFolder(const QString& modelRoot);

// Why a record has no place in the tree.
enum class PlacementProblem {
    None,
    NoDash,         // no "-" in the card path, even after name completion
    ShortStamp,     // fewer than 14 characters of the file name before the first "-"
    StampNotDigits, // the 14 characters are not a recording stamp (digits, year not starting with 0)
    NameHasFolder,  // the name after the stamp holds a separator: it would leave its day folder
    PathTooLong,    // the PC path would not fit the record's full-path field
};

// Where one record's recording goes.
struct BackupPlacement {
    QString stamp;       // YYYYMMDDhhmmss
    QString name;        // from the first stamp character to the end of the card path
    QString monthFolder; // model root + YYYYMM + "\"
    QString dayFolder;   // month folder + YYYYMMDD + "\"
    QString destination; // day folder + name
    QString monthLog;    // CallLog folder + YYYYMM + "CallLogBK.dat"
    uint32_t month = 0;  // YYYYMM
};

// The placement of a card path under a model root, or nullopt with the reason.
std::optional<BackupPlacement> placeRecording(const QString& modelRoot, const QString& shortPath,
                                              PlacementProblem* problem = nullptr);

// The placeholder that stands for a recording missing on the card.
QString placeholderPath(const QString& destination);
// Type tag of a completed name: "I" for 2, 3, 8; "NOTE" for 5, 6; "TRIG" for 7; "O" otherwise.
QString completionTag(uint32_t callType);
// A card path completed from the record's time, type and number: card path, YYYYMM, "\",
// YYYYMMDDhhmmss, "-", tag, ("-", number), ".wav". Used for a record whose card path holds no "-".
QString completedCardPath(const CallRecord& record);
// Stores the completed path whole in the full-path field and, cut to 63 characters, in the short one.
void completeRecordName(CallRecord& record);

// Longest PC path a month-log record can name (its full-path field holds 260 units with a terminator).
constexpr qsizetype kMaxLoggedPath = 259;
// The record as it is appended to a month log: a byte copy whose full-path field holds the PC path.
// nullopt when the path does not fit the field.
std::optional<CallRecord> monthLogCopy(const CallRecord& record, const QString& pcPath);

// A reason for the user, in English (the command-line tool prints it).
QString placementProblemText(PlacementProblem problem);

} // namespace tessa
