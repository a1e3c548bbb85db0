#pragma once

// The window's backup commands: back up all records (32779), back up the selected records (32793), set
// the backup folder (32790), and the automatic backup that the card loader offers after a card with
// records was loaded. Holds the one backup runner and the hidden modeless dialog of automatic backup.

#include <functional>
#include <memory>
#include <QObject>
#include <QPointer>

class QEventLoop;
class QWidget;

namespace tessa {

struct AppState;
class BackupDialog;
class BackupPathDialog;
class VerifyDialog;
struct VerifySummary;
class BackupRunner;
class MainView;
class RecordCommands;
struct BackupSummary;

class BackupCommands : public QObject {
    Q_OBJECT
public:
    BackupCommands(AppState& state, MainView& view, RecordCommands& commands, QWidget* window);
    ~BackupCommands() override;

    // A backup pass or a verification ended (the desktop notices).
    std::function<void(const BackupSummary&)> passFinished;
    std::function<void(const VerifySummary&)> verifyFinished;

    // Handles 32779, 32793, 32790 and the backup verification; false for any other command.
    bool handle(int commandId);
    // GUI thread, asked by the card loader: shows the automatic backup dialog and returns once it closed
    // and its pass ended; true when the user pressed Start.
    bool offerAutoBackup();
    // The window closes: an automatic backup stops and its wait ends.
    void windowClosing();

    BackupDialog* automaticDialog() const { return automatic_; }

    // The backup folder changed (the window reloads the backup view).
    std::function<void()> backupPathChanged;
    // A pass from a menu logged records while the backup view was shown: list it again.
    std::function<void()> listAgain;
    // Lets a test answer the folder browser of every path dialog.
    std::function<void(BackupPathDialog&)> preparePathDialog;

private:
    void runDialog(int variant);
    void runPathDialog();
    void runVerifyDialog();
    void wireDialog(BackupDialog& dialog);

    AppState& state_;
    MainView& view_;
    RecordCommands& commands_;
    QWidget* window_;
    std::unique_ptr<BackupRunner> runner_;
    BackupDialog* automatic_ = nullptr;
    QEventLoop* waiting_ = nullptr;
    QPointer<VerifyDialog> verify_;
};

} // namespace tessa
