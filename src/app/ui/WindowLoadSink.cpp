#include "app/ui/WindowLoadSink.h"

#include "app/ui/ProgressWindow.h"
#include "browse/RecordListModel.h"
#include "browse/ui/MainView.h"
#include "browse/ui/RecordListPage.h"
#include "config/StringTable.h"
#include "store/Lister.h"

#include <QMessageBox>

namespace tessa {

void WindowLoadSink::showProgress(int captionText, uint32_t total, bool centre) {
    progress_.start(captionText == kProgressCaptionCard ? text(157) : text(158), total, centre);
}

void WindowLoadSink::setProgress(uint32_t position, const QString& line) {
    progress_.setPosition(position, line);
}

void WindowLoadSink::hideProgress() {
    progress_.hide();
    if (onProgressHidden)
        onProgressHidden();
}

void WindowLoadSink::clearRecordLists() {
    for (int type = PageAll; type <= PageQuery; ++type)
        view_.page(type)->model()->clear();
}

void WindowLoadSink::appendRows(int pageType, const std::vector<CallRecord*>& records,
                                const RecordLease& lease) {
    if (RecordListPage* page = view_.page(pageType))
        page->model()->appendRows(records, lease);
}

void WindowLoadSink::showPage(int pageType) {
    view_.showPage(pageType);
}

void WindowLoadSink::updateFreeSpace() {
    if (onUpdateFreeSpace)
        onUpdateFreeSpace();
}

void WindowLoadSink::showRebuildActivity(char driveLetter, bool active) {
    if (onRebuildActivity)
        onRebuildActivity(driveLetter, active);
}

void WindowLoadSink::rebuildFailed(char driveLetter) {
    (void)driveLetter;
    QMessageBox box(QMessageBox::Warning, text(172), text(227), QMessageBox::Ok, &view_);
    box.setObjectName(QStringLiteral("rebuildFailed"));
    box.exec();
}

} // namespace tessa
