#include "browse/ui/RecordCommands.h"

#include "browse/Commands.h"
#include "browse/RecordListModel.h"
#include "browse/ui/CommandKeys.h"
#include "browse/ui/MainView.h"
#include "browse/ui/RecordListPage.h"
#include "config/StringTable.h"
#include "format/CardRecord.h"
#include "store/AppState.h"
#include "store/LoadSink.h"
#include "store/RecordActions.h"

#include <QAction>
#include <QMenu>
#include <QMessageBox>
#include <QToolButton>

namespace tessa {
namespace {

// Commands refused while a call log loads or lists.
bool guarded(int command) {
    switch (command) {
    case CmdQuery:
    case CmdDelete:
    case CmdRefresh:
    case CmdBackupAll:
    case CmdExport:
    case CmdContacts:
    case CmdMark:
    case CmdEmail:
    case CmdBackupSelected:
    case CmdEmailOriginals:
        return true;
    default:
        return false;
    }
}

// The records of the selected rows of a page, in list order.
std::vector<CallRecord*> selectedRecords(RecordListPage& page) {
    std::vector<CallRecord*> records;
    for (int row : page.selectedRows())
        if (CallRecord* r = page.model()->record(row))
            records.push_back(r);
    return records;
}

QMessageBox::StandardButton ask(QWidget* parent, const QString& caption, const QString& message) {
    QMessageBox box(QMessageBox::Information, caption, message, QMessageBox::Yes | QMessageBox::No, parent);
    box.setObjectName(QStringLiteral("confirmation"));
    // A stray Enter (the key that also plays) must never delete.
    box.setDefaultButton(QMessageBox::No);
    return QMessageBox::StandardButton(box.exec());
}

void inform(QWidget* parent, const QString& caption, const QString& message, const char* name) {
    QMessageBox box(QMessageBox::Information, caption, message, QMessageBox::Ok, parent);
    box.setObjectName(QLatin1String(name));
    box.exec();
}

} // namespace

RecordCommands::RecordCommands(MainView& view, AppState& state, QWidget* dialogParent)
    : QObject(&view), view_(view), state_(state), dialogParent_(dialogParent) {
    for (int command : {CmdQuery, CmdDelete, CmdRefresh, CmdContacts, CmdMark})
        available_.insert(command);
    for (int type = 1; type <= 10; ++type) {
        RecordListPage* page = view_.page(type);
        connect(page, &RecordListPage::contextMenuRequested, this,
                [this, page](const QPoint& pos) { showContextMenu(page, pos); });
    }
    connect(&view_, &MainView::dropDownRequested, this, [this](int command, QToolButton* button) {
        if (QMenu* menu = button->menu())
            fillDropDown(*menu, command);
    });
}

void RecordCommands::setAvailable(int commandId, bool available) {
    if (available)
        available_.insert(commandId);
    else
        available_.erase(commandId);
    for (QAction* action : view_.findChildren<QAction*>(QStringLiteral("cmd%1").arg(commandId)))
        action->setEnabled(available);
}

bool RecordCommands::refuseWhileBusy() {
    if (!state_.busy)
        return false;
    inform(dialogParent_, text(160), text(159), "busyRefusal");
    return true;
}

bool RecordCommands::handle(int commandId) {
    if (guarded(commandId) && refuseWhileBusy())
        return true;
    switch (commandId) {
    case CmdDelete:
        deleteSelected();
        return true;
    case CmdMark:
        toggleMarks();
        return true;
    case CmdRefresh:
        if (refresh)
            refresh();
        return true;
    default:
        return false;
    }
}

void RecordCommands::fillContextMenu(QMenu& menu, int pageType, bool hasSelection) {
    menu.clear();
    auto entry = [&](QMenu& into, const QString& label, int command, bool needsSelection) {
        QAction* action = into.addAction(menuTextWithKey(label, command));
        action->setObjectName(QStringLiteral("cmd%1").arg(command));
        action->setEnabled(available(command) && (!needsSelection || hasSelection));
        connect(action, &QAction::triggered, this, [this, command] { emit this->command(command); });
    };
    auto submenu = [&](const QString& title) {
        QMenu* sub = menu.addMenu(title);
        sub->setObjectName(QStringLiteral("submenu"));
        return sub;
    };
    const bool vx5 = state_.modelCode == ModelVX5;
    if (pageType == PageImport) {
        entry(menu, text(8), CmdPlay, true);
        menu.addSeparator();
        entry(menu, text(216), CmdImport, false);
        menu.addSeparator();
        entry(menu, text(217), CmdClearImport, false);
        menu.addSeparator();
        QMenu* exportMenu = submenu(text(199));
        entry(*exportMenu, text(97), CmdExport, false);
        entry(*exportMenu, text(197), CmdExportWav, false);
        menu.addSeparator();
        QMenu* email = submenu(text(112));
        entry(*email, text(112), CmdEmail, false);
        entry(*email, text(208), CmdEmailOriginals, false);
        return;
    }
    entry(menu, text(8), CmdPlay, true);
    menu.addSeparator();
    entry(menu, text(194), CmdBackupSelected, true);
    menu.addSeparator();
    entry(menu, text(9), CmdDelete, true);
    menu.addSeparator();
    entry(menu, text(7), CmdQuery, false);
    menu.addSeparator();
    entry(menu, text(27), CmdRefresh, false);
    menu.addSeparator();
    entry(menu, text(111), CmdMark, true);
    menu.addSeparator();
    QMenu* exportMenu = submenu(text(199));
    entry(*exportMenu, text(97), CmdExport, false);
    entry(*exportMenu, text(197), CmdExportWav, false);
    menu.addSeparator();
    entry(menu, text(96), CmdBackupAll, false);
    menu.addSeparator();
    entry(menu, text(98), CmdContacts, false);
    menu.addSeparator();
    QMenu* email = submenu(text(112));
    entry(*email, text(112), CmdEmail, false);
    if (vx5)
        entry(*email, text(208), CmdEmailOriginals, false);
}

void RecordCommands::fillDropDown(QMenu& menu, int commandId) {
    menu.clear();
    auto entry = [&](const QString& label, int command) {
        QAction* action = menu.addAction(label);
        action->setObjectName(QStringLiteral("cmd%1").arg(command));
        action->setEnabled(available(command));
        connect(action, &QAction::triggered, this, [this, command] { emit this->command(command); });
    };
    switch (commandId) {
    case CmdBackupAll:
        entry(text(99), CmdBackupAll);
        entry(text(194), CmdBackupSelected);
        break;
    case CmdExport:
        entry(text(97), CmdExport);
        entry(text(197), CmdExportWav);
        break;
    case CmdEmail:
        entry(text(209), CmdEmail);
        if (state_.modelCode == ModelVX5)
            entry(text(208), CmdEmailOriginals);
        break;
    default:
        break;
    }
}

void RecordCommands::showContextMenu(RecordListPage* page, const QPoint& globalPos) {
    QMenu menu(page);
    menu.setObjectName(QStringLiteral("contextMenu"));
    fillContextMenu(menu, page->pageType(), !page->selectedRows().empty());
    menu.exec(globalPos);
}

void RecordCommands::reportWriteFailure(int captionText) {
    inform(dialogParent_, captionText == 9 ? text(9) : text(111), text(226), "writeFailure");
}

// Deletes the selected records of the current page with the store's rules (RecordActions.h): marked
// records, records naming a file the program keeps and records whose call log cannot take the change are
// kept; a failed write is reported once.
void RecordCommands::deleteSelected() {
    const int pageType = view_.currentPageType();
    if (pageType < PageAll || pageType > PageQuery)
        return;
    RecordListPage& page = *view_.page(pageType);
    if (page.selectedRows().empty())
        return;
    if (ask(dialogParent_, text(9),
            QStringLiteral("%1 %2\r\n%3").arg(text(95)).arg(page.selectedRows().size()).arg(text(92))) !=
        QMessageBox::Yes)
        return;
    // The question ran an event loop: a card scan or a load may have taken the records meanwhile, and
    // their rows with them. Only what is still selected and alive now is deleted.
    if (refuseWhileBusy())
        return;
    const std::vector<CallRecord*> records = selectedRecords(page);

    const bool backupView = state_.viewMode == ViewBackup;
    RecordCollection& collection = state_.currentRecords();
    const std::vector<DeleteOutcome> outcomes =
        deleteRecords(collection, records, backupView ? platform::Area::Backup : platform::Area::Card);

    int deleted = 0, kept = 0;
    bool markedKept = false, writeFailed = false;
    for (const DeleteOutcome& outcome : outcomes) {
        CallRecord* r = outcome.record;
        if (outcome.result == DeleteResult::Kept) {
            ++kept;
            markedKept = markedKept || outcome.reason == KeptReason::Marked;
            writeFailed = writeFailed || outcome.reason == KeptReason::LogNotWritten;
            continue;
        }
        ++deleted;
        if (backupView) {
            // Rows never outlive their record: every page drops it before the record goes.
            for (int type = PageAll; type <= PageImport; ++type) {
                RecordListModel* other = view_.page(type)->model();
                for (int row = other->rowOf(r); row >= 0; row = other->rowOf(r))
                    other->removeRow(row);
            }
            collection.remove(r);
        } else {
            page.model()->removeRow(page.model()->rowOf(r));
        }
    }
    if (writeFailed)
        reportWriteFailure(9);
    if (markedKept)
        inform(dialogParent_, text(9), text(164), "markedKept");
    inform(dialogParent_, text(9),
           QStringLiteral("%1 %2\r\n%3 %4").arg(text(93)).arg(deleted).arg(text(94)).arg(kept),
           "deleteSummary");
    view_.showPage(pageType);
}

void RecordCommands::toggleMarks() {
    const int pageType = view_.currentPageType();
    if (pageType < PageAll || pageType > PageQuery)
        return;
    RecordListPage& page = *view_.page(pageType);
    bool writeFailed = false;
    for (CallRecord* r : selectedRecords(page)) {
        const int value = r->marked == 1 ? 0 : 1;
        // The mark lives in the call log: when it cannot be written there, nothing changes here either.
        if (markRecord(state_.currentRecords(), *r, value) != WriteBack::Written) {
            writeFailed = true;
            continue;
        }
        const int row = page.model()->rowOf(r);
        if (row >= 0)
            page.model()->setCellImage(row, RecordListModel::ColumnMark,
                                       value ? RecordListModel::kMarkedImage : RecordListModel::kNoImage);
        updateOtherPages(pageType, r);
    }
    if (writeFailed)
        reportWriteFailure(111);
}

void RecordCommands::updateOtherPages(int sourcePage, CallRecord* r) {
    std::vector<int> pages = {PageAll, PageMarked, PageQuery};
    switch (r->callType) {
    case CallIncoming:
        pages.push_back(PageIncoming);
        break;
    case CallMissed:
        pages.insert(pages.end(), {PageIncoming, PageMissed});
        break;
    case CallOutgoing:
        pages.push_back(PageOutgoing);
        break;
    case CallNote:
    case CallNote2:
        pages.push_back(PageNotes);
        break;
    case CallTriggered:
        pages.push_back(PageTriggered);
        break;
    case CallAnswering:
        pages.push_back(PageAnswering);
        break;
    default:
        break;
    }
    const bool marked = r->marked == 1;
    for (int type : pages) {
        if (type == sourcePage)
            continue;
        RecordListModel* model = view_.page(type)->model();
        const int row = model->rowOf(r);
        if (row < 0) {
            if (type == PageMarked && marked) {
                RecordListModel* source = view_.page(sourcePage)->model();
                model->appendRow(r, source->leaseOf(source->rowOf(r)));
            }
        } else if (marked) {
            model->setCellImage(row, RecordListModel::ColumnMark, RecordListModel::kMarkedImage);
        } else if (type == PageMarked) {
            model->removeRow(row);
        } else {
            model->setCellImage(row, RecordListModel::ColumnMark, RecordListModel::kNoImage);
        }
    }
}

} // namespace tessa
