#pragma once

// Recordings on the card: month folders, recording files, the recording-name grammars and the two ways
// of measuring a recording's length.

#include "format/CallRecord.h"
#include "platform/FileRoots.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <QString>
#include <vector>

namespace tessa {

class ContactList;
class RecordCollection;

struct RecordingName {
    uint16_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    uint32_t callType = 0;
    QString number;
};

// Call type of a type tag ("I", "O", "NOTE", "TRIG", "N"), or 0 for anything else.
uint32_t callTypeOfTag(const QString& tag);

// The rebuild's grammar: stamp, "-", tag, "-", number, ".", extension.
std::optional<RecordingName> parseRecordingName(const QString& name);
// The import's grammar, which also accepts a name without a number part ("stamp-TAG.wav").
std::optional<RecordingName> parseImportName(const QString& name);

// A month folder name: exactly six characters YYYYMM, year 2000-2999, month 1-12. Returns YYYYMM or 0.
uint32_t monthFolderValue(const QString& folderName);
// Month folders of the card on driveLetter, in enumeration order; stops early when quit is set.
std::vector<uint32_t> listCardMonthFolders(char driveLetter, int modelCode, const std::atomic<bool>* quit);
// Program-path pattern of the files of one month folder ("E:\201801\*.*" or "E:\RECORD\201801\*.*").
QString monthFolderPath(char driveLetter, int modelCode, uint32_t month);
// A recording file name contains ".wav" or ".xtr" anywhere.
bool isRecordingFileName(const QString& name);

// Both lengths of a recording from its path (whether it is a container), size and first bytes (the
// container header).
struct RecordingLengths {
    uint32_t stored = 0;    // seconds in a record's duration fields
    uint32_t displayed = 0; // seconds shown in the record list
};
RecordingLengths measureRecording(const QString& path, qint64 size, const uint8_t* head, size_t headLength);

// Seconds stored in a record's duration fields (rebuild and import). The file is read through the
// confined file layer in the area given: a path from a record stays inside the card or backup root; a
// path the user picked (import, the command line) is Area::User.
uint32_t storedDuration(const QString& programPath, platform::Area area = platform::Area::CardOrBackup);
// Seconds shown in the record list.
uint32_t displayLength(const QString& programPath, platform::Area area = platform::Area::CardOrBackup);

// Builds an import record from a picked recording (native or program path); nullopt when the name is
// rejected. Names are resolved as for 256-byte records. The file is the user's pick (Area::User).
std::optional<CallRecord> buildRecordFromFile(const QString& path, const ContactList* contacts);

} // namespace tessa
