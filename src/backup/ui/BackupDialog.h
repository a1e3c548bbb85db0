#pragma once

// Dialog 151: where backups go, whether recordings leave the card, automatic backup on or off, and Start
// and Stop of a backup pass with its progress and the file being written. One class serves the three
// uses: the modal all-records and selected-records dialogs of the menus, and the hidden modeless
// instance of the main window that a card insertion shows for automatic backup.
//
// The dialog's "done" is reported once per closing, and only once the pass it started has returned: an
// automatic backup releases the card loader then, so that the loader never lists the backup collection
// while the pass still appends to it.

#include "backup/BackupPass.h"

#include <atomic>
#include <functional>
#include <memory>
#include <QDialog>
#include <QPointer>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace tessa {

struct AppState;
class BackupRunner;
class BackupPathDialog;

class BackupDialog : public QDialog {
    Q_OBJECT
public:
    enum class Variant {
        AllRecords,      // menu command 32779: the card collection
        SelectedRecords, // menu command 32793: the rows selected in a record list
        Automatic,       // the main window's modeless instance: the card collection, after an insertion
    };

    BackupDialog(AppState& state, BackupRunner& runner, Variant variant, QWidget* parent = nullptr);
    ~BackupDialog() override;

    // The selected-records variant: the records of the selected rows in list order, and the record list
    // they come from (the pass ends between records once it goes away).
    void setSelection(std::vector<CallRecord> records, QObject* recordList);

    // Texts, settings and enabled controls, as each showing needs them; clears the started flag.
    void initialise();

    // Start (1085), Stop (1084), "..." (1069).
    void startPass();
    void stopPass();
    void browse();

    // Start was pressed since the last initialise().
    bool started() const { return started_; }
    // The dialog closed and its pass (if any) returned, since the last initialise().
    bool finished() const { return finished_; }

    // Hooks to the window.
    std::function<void()> backupPathChanged;                  // the path dialog wrote a new BackupPath
    std::function<void(const BackupSummary&)> passEnded;      // a pass returned
    std::function<void(BackupPathDialog&)> preparePathDialog; // lets a test answer the folder browser

    QLineEdit* rootEdit() const { return root_; }
    QLineEdit* currentEdit() const { return current_; }
    QProgressBar* progressBar() const { return progress_; }
    QComboBox* fileMode() const { return mode_; }
    QCheckBox* autoBackupBox() const { return auto_; }

signals:
    // Once per closing, after the pass returned (the done event).
    void passDone();

public slots:
    void accept() override;
    void reject() override;

private:
    void lockControls(bool running);
    void closeWith(int result);
    void onPassEnded(const BackupSummary& summary);
    void reportDoneWhenIdle();

    AppState& state_;
    BackupRunner& runner_;
    Variant variant_;
    std::vector<CallRecord> selection_;
    QPointer<QObject> recordList_;
    std::shared_ptr<std::atomic<bool>> listGone_;

    QLineEdit* root_;
    QLineEdit* current_;
    QProgressBar* progress_;
    QComboBox* mode_;
    QCheckBox* auto_;
    QPushButton* browse_;
    QPushButton* stop_;
    QPushButton* start_;

    bool open_ = false; // initialised and not closed since
    bool started_ = false;
    bool passRunning_ = false; // a pass this dialog started has not reported its end
    bool closing_ = false;     // closed, done not yet reported
    bool finished_ = false;
    bool cancelling_ = false; // inside reject(): the pass's end must not close the dialog with OK
};

} // namespace tessa
