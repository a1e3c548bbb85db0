#pragma once

// The window's side of loading and listing: progress window, record list pages, page on view, status bar.

#include "store/LoadSink.h"

#include <functional>

namespace tessa {

class MainView;
class ProgressWindow;

class WindowLoadSink : public LoadSink {
public:
    WindowLoadSink(MainView& view, ProgressWindow& progress) : view_(view), progress_(progress) {}

    void showProgress(int captionText, uint32_t total, bool centre) override;
    void setProgress(uint32_t position, const QString& line) override;
    void hideProgress() override;
    void clearRecordLists() override;
    void appendRows(int pageType, const std::vector<CallRecord*>& records, const RecordLease& lease) override;
    void showPage(int pageType) override;
    void updateFreeSpace() override;
    void showRebuildActivity(char driveLetter, bool active) override;
    bool offerAutoBackup() override { return onOfferAutoBackup ? onOfferAutoBackup() : false; }
    // A warning that the card's log could not be rebuilt to the end.
    void rebuildFailed(char driveLetter) override;

    std::function<void()> onUpdateFreeSpace;
    std::function<bool()> onOfferAutoBackup;
    std::function<void(char, bool)> onRebuildActivity;
    std::function<void()> onProgressHidden; // a log was read to its end (or the lister ended)

private:
    MainView& view_;
    ProgressWindow& progress_;
};

} // namespace tessa
