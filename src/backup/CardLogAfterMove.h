#pragma once

// The card's call log after a move pass. The card must keep naming what is still on it: the log is
// removed only when no entry names a recording that is still on the card; otherwise only the entries of
// the recordings that left are cleared (their valid byte set to 0), each after checking that its slot
// still holds the record the pass moved.

#include "backup/BackupPass.h"

#include <QString>
#include <vector>

namespace tessa {

// A record whose recording the pass removed from the card.
struct LeftCardRecord {
    uint32_t index = 0; // its slot in the card log
    QString cardPath;   // its short card path as loaded from that slot
};

// cardLogPath is the program path of the card's CallLog.dat. wholeLogBackedUp: every record of the log
// is in the backup (an all-records pass that reached the end without skipping one); only then may the
// log be removed, for a record skipped must stay named until a later pass backs it up.
CardLogChange updateCardLogAfterMove(const QString& cardLogPath, char driveLetter, int modelCode,
                                     const std::vector<LeftCardRecord>& left, bool wholeLogBackedUp);

} // namespace tessa
