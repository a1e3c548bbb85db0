#include "app/ui/MainWindow.h"

#include "app/ui/AboutBox.h"
#include "app/ui/BackupCommands.h"
#include "app/ui/DesktopNotices.h"
#include "app/ui/ExportCommands.h"
#include "app/ui/ProgressWindow.h"
#include "app/ui/WindowLoadSink.h"
#include "audio/PcmExpander.h"
#include "audio/PlaybackEngine.h"
#include "audio/ui/PlayerPane.h"
#include "backup/BackupChanges.h"
#include "backup/ui/RepairDialog.h"
#include "browse/Commands.h"
#include "browse/RecordListModel.h"
#include "browse/StatusTexts.h"
#include "browse/ui/ImportController.h"
#include "browse/ui/MainView.h"
#include "browse/ui/QueryDialog.h"
#include "browse/ui/RecordCommands.h"
#include "browse/ui/RecordListPage.h"
#include "config/Settings.h"
#include "config/StringTable.h"
#include "device/LinkParameterDevice.h"
#include "device/ui/ParametersPage.h"
#include "format/CardRecord.h"
#include "phonebook/ContactFetch.h"
#include "phonebook/ui/PhonebookPage.h"
#include "platform/audioout/MakeWaveOutput.h"
#include "platform/ConfinedFiles.h"
#include "platform/DeviceLink.h"
#include "platform/NativePath.h"
#include "store/AppState.h"
#include "store/CallLogService.h"
#include "store/CardScan.h"
#include "store/LoadSink.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QStatusBar>
#include <utility>

namespace tessa {
namespace {

constexpr int kStartUpDelay = 1000;
constexpr int kDrivePollInterval = 2000;
// A command that asks for a rescan (synchronise, refresh of the card view) gets it sooner.
constexpr int kCommandPollInterval = 1000;
constexpr int kBackupReloadInterval = 1000;

} // namespace

MainWindow::MainWindow(AppState& state, QWidget* parent) : QMainWindow(parent), state_(state) {
    setObjectName(QStringLiteral("CMainFrame"));
    setWindowTitle(QStringLiteral("%1  %2").arg(readStringSetting(QStringLiteral("Software")), kVersionText));

    view_ = new MainView(state_, this);
    setCentralWidget(view_);

    // The audio output opens in mode 0; the player reopens it in the mode each recording needs.
    engine_ = std::make_shared<PlaybackEngine>(platform::makeWaveOutput(pcmExpanderFactory()));
    engine_->open(OutputImaAdpcm);
    player_ = new PlayerPane(engine_);
    view_->setPlayerPane(player_);
    // The keyboard transport works on the record pages too, not in the navigation tree.
    for (int type = PageAll; type <= PageImport; ++type) {
        view_->page(type)->addActions(player_->transportActions());
        view_->page(type)->addActions(player_->speedActions());
    }
    connect(view_, &MainView::statusReport, this, &MainWindow::showPageSummary);
    // The selection follows the record that plays as previous and next step through the list.
    connect(player_, &PlayerPane::rowMadeCurrent, this, [this](RecordListModel* list, int row) {
        for (int type = PageAll; type <= PageImport; ++type)
            if (RecordListPage* page = view_->page(type); page && page->model() == list)
                page->selectRow(row);
    });
    connect(view_, &MainView::commandRequested, this, &MainWindow::onCommand);

    commands_ = new RecordCommands(*view_, state_, this);
    commands_->refresh = [this] { requestRefresh(); };
    connect(commands_, &RecordCommands::command, this, &MainWindow::onCommand);
    import_ = new ImportController(*view_, state_, this);
    commands_->setAvailable(CmdImport, true);
    commands_->setAvailable(CmdClearImport, true);
    commands_->setAvailable(CmdPlay, true);
    commands_->setAvailable(CmdWaveformPlayer, true);
    for (int command : {CmdExport, CmdExportWav, CmdEmail, CmdEmailOriginals})
        commands_->setAvailable(command, true);
    commands_->setAvailable(CmdBackupAll, true);
    commands_->setAvailable(CmdBackupSelected, true);
    backup_ = new BackupCommands(state_, *view_, *commands_, this);
    backup_->backupPathChanged = [this] { onBackupPathChanged(); };
    backup_->listAgain = [this] { callLogs_->runLister(); };
    notices_ = std::make_unique<DesktopNotices>();
    backup_->passFinished = [this](const BackupSummary& summary) { notices_->backupFinished(summary); };
    backup_->verifyFinished = [this](const VerifySummary& summary) { notices_->verifyFinished(summary); };

    buildStatusBar();
    buildMenus();
    // The free-space pane is filled now: without a card or a backup no load would fill it.
    updateFreeSpace();

    device_ = std::make_unique<platform::DeviceLink>();
    connect(device_.get(), &platform::DeviceLink::notification, this, &MainWindow::onDeviceNotification);
    device_->open();
    parameterDevice_ = std::make_unique<LinkParameterDevice>(*device_);
    view_->parametersPage()->session().setDevice(parameterDevice_.get());

    progress_ = new ProgressWindow(this);
    progress_->hide();
    exports_ = new ExportCommands(*view_, state_, *progress_, *commands_, this, view_);

    sink_ = std::make_unique<WindowLoadSink>(*view_, *progress_);
    sink_->onUpdateFreeSpace = [this] { updateFreeSpace(); };
    sink_->onRebuildActivity = [this](char letter, bool active) { showRebuildActivity(letter, active); };
    sink_->onOfferAutoBackup = [this] { return backup_->offerAutoBackup(); };
    sink_->onProgressHidden = [this] {
        if (!std::exchange(cardNoticeDue_, false))
            return;
        if (state_.loadSource == LoadCard && !state_.cardRecords.empty())
            notices_->cardFound(state_.cardRecords.count());
    };
    callLogs_ = std::make_unique<CallLogService>(state_, *sink_);

    startUpTimer_.setObjectName(QStringLiteral("timer10"));
    drivePollTimer_.setObjectName(QStringLiteral("timer20"));
    backupReloadTimer_.setObjectName(QStringLiteral("timer30"));
    startUpTimer_.setSingleShot(true);
    connect(&startUpTimer_, &QTimer::timeout, this, &MainWindow::onStartUp);
    connect(&drivePollTimer_, &QTimer::timeout, this, &MainWindow::onDrivePoll);
    connect(&backupReloadTimer_, &QTimer::timeout, this, &MainWindow::onBackupReload);
    startUpTimer_.start(kStartUpDelay);

    view_->relabel();
    view_->showPage(view_->currentPageType());

    // Until a window manager maximises it (or where there is none) the window covers most of the screen
    // rather than opening at its smallest size.
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        const QSize size = area.size() * 9 / 10;
        setGeometry(QRect(area.topLeft() +
                              QPoint((area.width() - size.width()) / 2, (area.height() - size.height()) / 2),
                          size));
    }
}

MainWindow::~MainWindow() {
    drivePollTimer_.stop();
    backupReloadTimer_.stop();
    if (callLogs_)
        callLogs_->shutdown();
    view_->parametersPage()->session().setDevice(nullptr);
    if (device_)
        device_->close();
}

void MainWindow::buildStatusBar() {
    for (size_t i = 0; i < panes_.size(); ++i) {
        panes_[i] = new QLabel(this);
        panes_[i]->setObjectName(QStringLiteral("pane%1").arg(i));
        statusBar()->addWidget(panes_[i]);
    }
    panes_[0]->setEnabled(false);
    panes_[0]->setFixedWidth(0);
    panes_[1]->setText(text(91));
}

void MainWindow::buildMenus() {
    auto item = [this](QMenu* menu, int command, const QString& label) {
        QAction* action = menu->addAction(label);
        action->setObjectName(QStringLiteral("cmd%1").arg(command));
        connect(action, &QAction::triggered, this, [this, command] { onCommand(command); });
        return action;
    };
    QMenu* file = menuBar()->addMenu(text(81));
    item(file, CmdExit, text(84));
    QMenu* tools = menuBar()->addMenu(text(149));
    item(tools, CmdSynchronise, text(83));
    tools->addSeparator();
    item(tools, CmdCardView, text(150))->setCheckable(true);
    item(tools, CmdBackupViewVx7,
         QStringLiteral("%1(%2)").arg(text(151), readStringSetting(QStringLiteral("Device"))))
        ->setCheckable(true);
    item(tools, CmdBackupViewVx5,
         QStringLiteral("%1(%2)").arg(text(151), readStringSetting(QStringLiteral("Device2"))))
        ->setCheckable(true);
    tools->addSeparator();
    item(tools, CmdAutoBackup, text(141))->setCheckable(true);
    item(tools, CmdSetBackupFolder, text(152));
    item(tools, CmdRepair, text(218));
    item(tools, CmdVerifyBackup, text(412));
    QMenu* help = menuBar()->addMenu(text(82));
    item(help, CmdAbout, text(85));
    connect(tools, &QMenu::aboutToShow, this, &MainWindow::updateCheckMarks);
    updateCheckMarks();
}

void MainWindow::updateCheckMarks() {
    auto check = [this](int command, bool on) {
        if (auto* action = findChild<QAction*>(QStringLiteral("cmd%1").arg(command)))
            action->setChecked(on);
    };
    const int view = state_.viewMode, model = state_.modelCode;
    // An absent key reads -1, which counts as on.
    check(CmdAutoBackup, readIntSetting(QStringLiteral("AutoBackup")) != 0);
    check(CmdCardView, view == ViewCard);
    check(CmdBackupViewVx7, view == ViewBackup && model == ModelVX7);
    check(CmdBackupViewVx5, view == ViewBackup && model == ModelVX5);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    const int w = width();
    panes_[1]->setFixedWidth(w / 8);
    panes_[2]->setFixedWidth(w / 8);
    panes_[3]->setFixedWidth(w / 4);
    panes_[4]->setFixedWidth(w / 2);
}

void MainWindow::showPageSummary(int pageType, int rowCount) {
    lastPageType_ = pageType;
    lastRowCount_ = rowCount;
    panes_[3]->setText(pageSummaryText(pageType, rowCount, state_.modelCode));
}

void MainWindow::showRebuildActivity(char driveLetter, bool active) {
    panes_[2]->setText(active ? QStringLiteral("%1: %2").arg(QChar(driveLetter)).arg(text(172)) : QString());
}

void MainWindow::updateFreeSpace() {
    const QString folder = state_.viewMode == ViewBackup
                               ? readStringSetting(QStringLiteral("BackupPath"))
                               : QStringLiteral("%1:\\").arg(QChar(state_.cardDriveLetter.load()));
    const QString native = platform::nativePath(folder);
    uint64_t freeBytes = 0;
    if (!native.isEmpty())
        platform::freeSpace(native,
                            state_.viewMode == ViewBackup ? platform::Area::Backup : platform::Area::Card,
                            &freeBytes);
    panes_[4]->setText(freeSpaceText(freeBytes, state_.modelCode, state_.viewMode));
}

void MainWindow::setLinkState(bool up) {
    linkUp_ = up;
    panes_[1]->setText(up ? text(90) : text(91));
}

void MainWindow::onDeviceNotification(unsigned event, long data) {
    if (event == 0)
        setLinkState(data == 1);
    if (ParameterSession* page = ParameterSession::current())
        page->notify(event, data);
    emit parameterReport(event, data);
}

void MainWindow::playRecordList() {
    if (!player_->engine().outputAvailable()) {
        warnNoAudioOutput(this);
        return;
    }
    RecordListPage* page = view_->currentRecordPage();
    if (!page)
        page = view_->page(1);
    player_->attach(page->model(), page->playRow(), page->filter());
}

bool MainWindow::refuseWhileBusy() {
    return commands_->refuseWhileBusy();
}

void MainWindow::onCommand(int commandId) {
    switch (commandId) {
    case CmdExit:
        close();
        return;
    case CmdAbout: {
        AboutBox about(this);
        about.exec();
        return;
    }
    case CmdSynchronise:
        if (refuseWhileBusy())
            return;
        state_.cardDriveLetter = 0;
        restartDrivePoll(kCommandPollInterval);
        return;
    case CmdCardView:
        if (!refuseWhileBusy())
            showCardRecords();
        return;
    case CmdBackupViewVx7:
    case CmdBackupViewVx5:
        if (!refuseWhileBusy())
            showBackupRecords(commandId == CmdBackupViewVx5 ? ModelVX5 : ModelVX7);
        return;
    case CmdBackupAll:
    case CmdBackupSelected:
    case CmdSetBackupFolder:
    case CmdVerifyBackup:
        backup_->handle(commandId);
        return;
    case CmdAutoBackup:
        writeIntSetting(QStringLiteral("AutoBackup"),
                        readIntSetting(QStringLiteral("AutoBackup")) == 0 ? 1 : 0);
        updateCheckMarks();
        return;
    case CmdQuery:
        runQuery(*view_, state_, this);
        return;
    case CmdImport:
        import_->import();
        return;
    case CmdClearImport:
        import_->clear();
        return;
    case CmdRepair: {
        RepairDialog repair(state_, this);
        repair.exec();
        return;
    }
    case CmdPlay:
    case CmdWaveformPlayer:
        playRecordList();
        return;
    case CmdContacts:
        if (refuseWhileBusy())
            return;
        // Names come from the user's contacts folder; the reload decodes the records again with them.
        if (fetchContacts(state_.contacts, state_.busy, vcardContacts()).status ==
            ContactFetchStatus::Fetched)
            requestRefresh();
        return;
    default:
        if (!exports_->handle(commandId))
            commands_->handle(commandId);
        return;
    }
}

void MainWindow::restartDrivePoll(int interval) {
    drivePollTimer_.stop();
    drivePollTimer_.start(interval);
}

void MainWindow::restartBackupReload() {
    drivePollTimer_.stop();
    backupReloadTimer_.stop();
    backupReloadTimer_.start(kBackupReloadInterval);
}

void MainWindow::onBackupPathChanged() {
    if (state_.viewMode != ViewBackup)
        return;
    restartBackupReload();
    updateFreeSpace();
}

void MainWindow::loadMonthLogs() {
    cardNoticeDue_ = false;
    monthLogWatch_.loading(readStringSetting(QStringLiteral("BackupPath")), state_.modelCode);
    if (state_.modelCode == ModelVX5)
        view_->phonebookPage()->enableControls(false);
    callLogs_->loadMonthLogs();
}

void MainWindow::onStartUp() {
    loadMonthLogs();
    restartDrivePoll(kDrivePollInterval);
}

void MainWindow::onBackupReload() {
    if (state_.busy)
        return; // tries again in a second
    sink_->clearRecordLists();
    loadMonthLogs();
    backupReloadTimer_.stop();
    restartDrivePoll(kDrivePollInterval);
}

void MainWindow::requestRefresh() {
    if (state_.viewMode == ViewBackup) {
        restartBackupReload();
    } else {
        state_.cardDriveLetter = 0;
        restartDrivePoll(kCommandPollInterval);
    }
    updateFreeSpace();
}

void MainWindow::onDrivePoll() {
    if (state_.busy)
        return;
    // A watcher (tessa-cli watch) appended to the month logs shown: list them again.
    if (state_.viewMode == ViewBackup) {
        if (monthLogWatch_.reloadDue(readStringSetting(QStringLiteral("BackupPath")), state_.modelCode)) {
            restartBackupReload();
            return;
        }
    } else {
        monthLogWatch_.forget();
    }
    const char letter = state_.cardDriveLetter;
    if (letter != 0 && !cardPresent(letter)) {
        forgetCard(state_);
        if (state_.viewMode == ViewBackup) {
            scanForCard();
            return;
        }
        sink_->clearRecordLists();
        state_.viewMode = ViewBackup;
        restartBackupReload();
        updateFreeSpace();
        updateCheckMarks();
        if (state_.modelCode == ModelVX5)
            view_->phonebookPage()->clear();
    } else if (letter != 0 && !state_.cardRecords.empty()) {
        return;
    }
    scanForCard();
}

void MainWindow::scanForCard() {
    CardScanHooks hooks;
    PhonebookPage* phonebook = view_->phonebookPage();
    hooks.disablePhonebook = [phonebook] { phonebook->enableControls(false); };
    hooks.cardFound = [this](char, int model) { applyModel(model); };
    hooks.loadPhonebook = [phonebook](const QString& path) { phonebook->load(path); };
    hooks.enablePhonebook = [phonebook] { phonebook->enableControls(true); };
    hooks.startLoader = [this] {
        cardNoticeDue_ = true;
        callLogs_->startCardLoad();
    };
    tessa::scanForCard(state_, hooks);
}

void MainWindow::applyModel(int modelCode) {
    view_->setRootLabel(modelDisplayName(modelCode));
    view_->setModelCode(modelCode);
}

void MainWindow::showCardRecords() {
    if (state_.viewMode == ViewCard)
        return;
    state_.viewMode = ViewCard;
    state_.modelCode = modelOfCard(state_.cardDriveLetter);
    applyModel(state_.modelCode);
    if (state_.modelCode == ModelVX5)
        view_->phonebookPage()->load(phonebookPath(state_.cardDriveLetter));
    updateFreeSpace();
    updateCheckMarks();
    callLogs_->runLister();
}

void MainWindow::showBackupRecords(int modelCode) {
    if (state_.viewMode == ViewBackup && state_.modelCode == modelCode)
        return;
    state_.viewMode = ViewBackup;
    state_.modelCode = modelCode;
    updateFreeSpace();
    applyModel(modelCode);
    writeIntSetting(QStringLiteral("DevType"), modelCode);
    updateCheckMarks();
    restartBackupReload();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    state_.quit = true;
    backup_->windowClosing();
    // Workers see the quit flag at their next record; the service waits for them, a bounded time.
    callLogs_->shutdown();
    import_->stop();
    exports_->shutdown();
    drivePollTimer_.stop();
    event->accept();
}

} // namespace tessa
