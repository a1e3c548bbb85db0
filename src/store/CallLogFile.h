#pragma once

// Reading call logs (a card's CallLog.dat or a backup month log CallLogBK.dat) the way the loader does,
// and the paths of month logs.

#include "format/CallRecord.h"
#include "platform/FileRoots.h"

#include <atomic>
#include <functional>
#include <QString>

namespace tessa {

class ContactList;

constexpr size_t kMonthLogRecordSize = CallRecord::kSize;
inline const QString kMonthLogSuffix = QStringLiteral("CallLogBK.dat");

// Model folder of the backup: "TessaDeviceBackup" (VX7) or "TessaDeviceBackupM" (VX5).
QString backupModelFolder(int modelCode);
// "%s%s\CallLog\%04d%02d%s" of the backup root, model folder, year, month and "CallLogBK.dat".
QString monthLogPath(const QString& backupRoot, int modelCode, int year, int month);
// The same file named from a month number YYYYMM ("%s%s\CallLog\%d%s").
QString monthLogPathOfMonth(const QString& backupRoot, int modelCode, uint32_t yyyymm);
// True for a file name ending in "CallLogBK.dat".
bool isMonthLogName(const QString& path);

// Month-log strings are used only after bounding: number 31, name 36, short path 45, full path 259.
void boundMonthLogStrings(CallRecord& record);

enum class LogReadStatus {
    Unreadable,   // missing, or its size cannot be read
    Empty,        // no whole record: a card log is then rebuilt from the recordings
    NoLiveRecord, // a card log whose records are all deleted: nothing is shown
    Read,
};

struct LogReadHandlers {
    // Called once before the records, with the record count, when there is something to show.
    std::function<void(uint32_t count)> started;
    // Called for every record position: kept is the decoded record, or null when it was dropped.
    std::function<void(uint32_t done, uint32_t count, CallRecord* kept)> record;
};

// Reads a card log (a native path, opened through the confined file layer in the given area: Card for
// the card in use, User for a file the user named); records are decoded with the drive letter and model
// code and named from contacts. Stops early, returning what it has, when quit is set or the file ends
// short of its first size. A log that is not a regular file, or lies outside the area, is Unreadable.
LogReadStatus readCardLog(const QString& nativePath, platform::Area area, char driveLetter, int modelCode,
                          const ContactList* contacts, const std::atomic<bool>* quit,
                          const LogReadHandlers& handlers);
// Reads a month log (native path; area Backup, or User); live records are bounded and given their index.
LogReadStatus readMonthLog(const QString& nativePath, platform::Area area, const std::atomic<bool>* quit,
                           const LogReadHandlers& handlers);

} // namespace tessa
