#include "app/ui/BackupCommands.h"

#include "backup/BackupRunner.h"
#include "backup/ui/BackupDialog.h"
#include "backup/ui/BackupPathDialog.h"
#include "backup/ui/VerifyDialog.h"
#include "browse/Commands.h"
#include "browse/RecordListModel.h"
#include "browse/ui/MainView.h"
#include "browse/ui/RecordCommands.h"
#include "browse/ui/RecordListPage.h"
#include "config/Settings.h"
#include "store/AppState.h"

#include <QEventLoop>

namespace tessa {

BackupCommands::BackupCommands(AppState& state, MainView& view, RecordCommands& commands, QWidget* window)
    : QObject(window), state_(state), view_(view), commands_(commands), window_(window),
      runner_(std::make_unique<BackupRunner>(state)) {
    automatic_ = new BackupDialog(state_, *runner_, BackupDialog::Variant::Automatic, window_);
    automatic_->hide();
    wireDialog(*automatic_);
}

BackupCommands::~BackupCommands() {
    // The dialog goes with the window; the runner lets a pass that does not stop in time finish alone.
    runner_.reset();
}

void BackupCommands::wireDialog(BackupDialog& dialog) {
    dialog.passEnded = [this](const BackupSummary& summary) {
        if (passFinished)
            passFinished(summary);
    };
    dialog.backupPathChanged = [this] {
        if (backupPathChanged)
            backupPathChanged();
    };
    dialog.preparePathDialog = [this](BackupPathDialog& path) {
        if (preparePathDialog)
            preparePathDialog(path);
    };
}

bool BackupCommands::handle(int commandId) {
    switch (commandId) {
    case CmdBackupAll:
    case CmdBackupSelected:
        if (commands_.refuseWhileBusy())
            return true;
        runDialog(commandId);
        return true;
    case CmdSetBackupFolder:
        if (!commands_.refuseWhileBusy())
            runPathDialog();
        return true;
    case CmdVerifyBackup:
        runVerifyDialog();
        return true;
    default:
        return false;
    }
}

void BackupCommands::runDialog(int commandId) {
    if (state_.cardRecords.empty())
        return;
    const bool selected = commandId == CmdBackupSelected;
    RecordListPage* page = view_.currentRecordPage();
    std::vector<CallRecord> records;
    if (selected) {
        if (!page || page->selectedRows().empty())
            return;
        for (int row : page->selectedRows())
            if (const CallRecord* r = page->model()->record(row))
                records.push_back(*r);
    }
    BackupDialog dialog(state_, *runner_,
                        selected ? BackupDialog::Variant::SelectedRecords : BackupDialog::Variant::AllRecords,
                        window_);
    wireDialog(dialog);
    if (selected)
        dialog.setSelection(std::move(records), page);
    dialog.passEnded = [this](const BackupSummary& summary) {
        if (passFinished)
            passFinished(summary);
        if (summary.copied + summary.moved + summary.placeholders + summary.alreadyThere > 0 &&
            state_.viewMode == ViewBackup && listAgain)
            listAgain();
    };
    dialog.exec();
}

void BackupCommands::runPathDialog() {
    BackupPathDialog dialog(window_);
    dialog.pathChanged = [this] {
        if (backupPathChanged)
            backupPathChanged();
    };
    if (preparePathDialog)
        preparePathDialog(dialog);
    dialog.exec();
}

bool BackupCommands::offerAutoBackup() {
    if (state_.quit || waiting_)
        return false;
    automatic_->initialise();
    automatic_->show();
    automatic_->raise();
    automatic_->activateWindow();
    QEventLoop loop;
    waiting_ = &loop;
    connect(automatic_, &BackupDialog::passDone, &loop, &QEventLoop::quit);
    loop.exec();
    waiting_ = nullptr;
    return automatic_->started() && !state_.quit;
}

void BackupCommands::windowClosing() {
    if (automatic_->isVisible())
        automatic_->reject();
    if (waiting_)
        waiting_->quit();
}

void BackupCommands::runVerifyDialog() {
    // Modeless: the window stays usable while the copies are read. A second request shows the running one.
    if (verify_) {
        verify_->raise();
        verify_->activateWindow();
        return;
    }
    verify_ = new VerifyDialog(&state_.quit, window_);
    verify_->setAttribute(Qt::WA_DeleteOnClose);
    connect(verify_, &VerifyDialog::checkEnded, this, [this](const VerifySummary& summary) {
        if (verifyFinished)
            verifyFinished(summary);
    });
    verify_->show();
    verify_->start(readStringSetting(QStringLiteral("BackupPath")), state_.modelCode);
}

} // namespace tessa
