#pragma once

// The main window: menus, the status bar, the timers that load the backup and poll the drives, the
// device link, the progress window and the view switches.

#include "backup/BackupChanges.h"

#include <array>
#include <memory>
#include <QMainWindow>
#include <QTimer>

class QLabel;

namespace tessa {

struct AppState;
class BackupCommands;
class CallLogService;
class DesktopNotices;
class ParameterDevice;
namespace platform {
class DeviceLink;
}
class ExportCommands;
class MainView;
class PlaybackEngine;
class PlayerPane;
class RecordCommands;
class ImportController;
class ProgressWindow;
class WindowLoadSink;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(AppState& state, QWidget* parent = nullptr);
    ~MainWindow() override;

    MainView* view() const { return view_; }
    CallLogService* callLogs() const { return callLogs_.get(); }
    RecordCommands* recordCommands() const { return commands_; }
    ImportController* importController() const { return import_; }
    ExportCommands* exportCommands() const { return exports_; }
    BackupCommands* backupCommands() const { return backup_; }
    DesktopNotices* notices() const { return notices_.get(); }
    PlayerPane* player() const { return player_; }
    QLabel* pane(int index) const { return panes_[size_t(index)]; }

    // Pane 3 shows what the page on view holds.
    void showPageSummary(int pageType, int rowCount);
    // Pane 2 shows the drive the rebuild worker scans.
    void showRebuildActivity(char driveLetter, bool active);
    void updateFreeSpace();
    // Refresh (view mode 1: reload the backup in a second; view mode 0: rescan the card).
    void requestRefresh();

public slots:
    void onCommand(int commandId);
    // Kinds 0 (link state), 1 (parameter report) and 2 (write acknowledgement) of the recorder.
    void onDeviceNotification(unsigned event, long data);

signals:
    // Parameter reports and acknowledgements for the parameters page.
    void parameterReport(unsigned event, long data);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildMenus();
    void buildStatusBar();
    void setLinkState(bool up);
    bool refuseWhileBusy();
    // The play and waveform player commands: without an audio output, message 169; otherwise the player
    // attaches to the record list on view, or to page 1 when the page on view is not a list.
    void playRecordList();
    // Timer 10, once a second after start-up: loads the backup, then starts the drive poll.
    void onStartUp();
    // Timer 20: notices a card put in or pulled out.
    void onDrivePoll();
    void restartDrivePoll(int interval);
    // The backup folder changed: the backup view is read again a second later.
    void onBackupPathChanged();
    // Timer 30: reloads the backup's month logs once the busy flag allows it.
    void onBackupReload();
    void restartBackupReload();
    void scanForCard();
    // Loading the month logs keeps the phonebook of a VX5 card that is no longer read from changing.
    void loadMonthLogs();
    void showCardRecords();
    void showBackupRecords(int modelCode);
    void applyModel(int modelCode);
    void updateCheckMarks();

    AppState& state_;
    MainView* view_ = nullptr;
    RecordCommands* commands_ = nullptr;
    ImportController* import_ = nullptr;
    ExportCommands* exports_ = nullptr;
    BackupCommands* backup_ = nullptr;
    ProgressWindow* progress_ = nullptr;
    std::unique_ptr<WindowLoadSink> sink_;
    std::unique_ptr<CallLogService> callLogs_;
    std::unique_ptr<platform::DeviceLink> device_;
    std::unique_ptr<ParameterDevice> parameterDevice_; // the parameters page's side of device_
    // The program's single audio output, shared with the player, which may outlive this object's members.
    std::shared_ptr<PlaybackEngine> engine_;
    PlayerPane* player_ = nullptr;
    std::array<QLabel*, 5> panes_{};
    // Named "timer10", "timer20" and "timer30" after the timer numbers.
    QTimer startUpTimer_, drivePollTimer_, backupReloadTimer_;
    // The month logs of the backup view as the drive poll last saw them (a watcher may append to them).
    MonthLogWatch monthLogWatch_;
    std::unique_ptr<DesktopNotices> notices_;
    bool cardNoticeDue_ = false; // a card's log is being read: its count is told once it is read
    bool linkUp_ = false;
    int lastPageType_ = 1;
    int lastRowCount_ = 0;
};

} // namespace tessa
