#pragma once

// What loading and listing call logs ask of the window: the progress window, the record list pages, the
// page shown and the status bar. The window implements it; every call arrives on the GUI thread (the
// workers marshal their calls there), so an implementation may touch widgets directly. Tests implement
// it with plain containers.

#include "format/CallRecord.h"
#include "store/RecordLease.h"

#include <cstdint>
#include <QString>
#include <vector>

namespace tessa {

// Page types of the record list pages.
enum PageType : int {
    PageRoot = 0,
    PageAll = 1,
    PageOutgoing = 2,
    PageIncoming = 3,
    PageNotes = 4,
    PageTriggered = 5,
    PageAnswering = 6,
    PageMarked = 7,
    PageMissed = 8,
    PageQuery = 9,
    PageImport = 10,
    PageDevice = 11,
};

class LoadSink {
public:
    virtual ~LoadSink() = default;

    // Progress window: caption is a string number (157 card, 158 month logs).
    virtual void showProgress(int captionText, uint32_t total, bool centre) = 0;
    virtual void setProgress(uint32_t position, const QString& line) = 0;
    virtual void hideProgress() = 0;

    // Empties the record list pages 1 to 9.
    virtual void clearRecordLists() = 0;
    // Appends rows for the records, in order, at the end of one page. The records stay owned by their
    // collection; the rows hold its lease, and none is added once that lease has ended.
    virtual void appendRows(int pageType, const std::vector<CallRecord*>& records,
                            const RecordLease& lease) = 0;
    virtual void showPage(int pageType) = 0;

    virtual void updateFreeSpace() = 0;
    virtual void showRebuildActivity(char driveLetter, bool active) = 0;
    // The rebuild of a drive's call log stopped because the card took no more (full, write-protected or
    // removed); what was appended before stays.
    virtual void rebuildFailed(char driveLetter) { (void)driveLetter; }

    // Offers the backup of a freshly loaded card (automatic backup). Returns true when the user started
    // it. Until the backup dialog exists, nothing is offered.
    virtual bool offerAutoBackup() { return false; }
};

// The pages a record is listed on by the lister, in the order it is appended to them: the marked page
// first when it is marked, then by call type. Empty for a record whose card valid byte is not 1.
std::vector<int> pagesOfRecord(const CallRecord& record);

} // namespace tessa
