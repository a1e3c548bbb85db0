#pragma once

// The repair dialog (163): the user picks a removable drive and starts the repair of its call log. While
// the worker runs, Start is disabled and the dialog does not close.

#include "platform/GuiQueue.h"
#include "platform/WorkerSlot.h"

#include <memory>
#include <QDialog>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace tessa {

struct AppState;
class RepairClaim;

class RepairDialog : public QDialog {
    Q_OBJECT
public:
    RepairDialog(AppState& state, QWidget* parent = nullptr);
    ~RepairDialog() override;

    bool running() const { return running_; }
    QComboBox* driveList() const { return drives_; }
    QPushButton* startButton() const { return start_; }
    QProgressBar* progressBar() const { return progress_; }
    QLabel* statusLine() const { return status_; }

public slots:
    void startRepair();
    // Escape and the close box: ignored while the worker runs.
    void reject() override;

signals:
    // The worker has ended (also after a refusal or a failed safety copy).
    void repairFinished(int added);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void finish(int added);

    AppState& state_;
    QLabel* prompt_;
    QComboBox* drives_;
    QPushButton* start_;
    QProgressBar* progress_;
    QLabel* status_;
    bool running_ = false;
    std::shared_ptr<RepairClaim> claim_;
    platform::GuiQueue queue_;
    platform::WorkerSlot worker_;
};

} // namespace tessa
