#include "store/LoadSink.h"

namespace tessa {

std::vector<int> pagesOfRecord(const CallRecord& record) {
    std::vector<int> pages;
    if (!record.validByte())
        return pages;
    if (record.marked == 1)
        pages.push_back(PageMarked);
    switch (record.callType) {
    case CallIncoming:
        pages.insert(pages.end(), {PageAll, PageIncoming});
        break;
    case CallMissed:
        pages.insert(pages.end(), {PageAll, PageIncoming, PageMissed});
        break;
    case CallOutgoing:
        pages.insert(pages.end(), {PageOutgoing, PageAll});
        break;
    case CallNote:
    case CallNote2:
        pages.insert(pages.end(), {PageAll, PageNotes});
        break;
    case CallTriggered:
        pages.insert(pages.end(), {PageAll, PageTriggered});
        break;
    case CallAnswering:
        pages.insert(pages.end(), {PageAll, PageAnswering});
        break;
    default:
        break;
    }
    return pages;
}

} // namespace tessa
