#pragma once

// The modeless dialog of Tools > Verify Backup: checks every copy of the backup of one model on a worker
// (the same check as `tessa-cli verify`), with a progress bar, and lists what is missing, damaged or not in
// the checksum list. The window stays usable meanwhile. Closing stops the check between copies and waits
// for it at most the worker slot's bound.

#include "backup/BackupVerify.h"
#include "platform/GuiQueue.h"
#include "platform/WorkerSlot.h"

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace tessa {

// "Copies checked: 3, Intact: 2, ..., Damaged: 0." from the string table's labels.
QString verifyCountsLine(const VerifySummary& summary);

class VerifyDialog : public QDialog {
    Q_OBJECT
public:
    // quit: the program's quit flag (ends the worker and its reports).
    VerifyDialog(const std::atomic<bool>* quit, QWidget* parent = nullptr);
    ~VerifyDialog() override;

    // Starts the check of the backup root (native) for a model; false when one already runs.
    bool start(const QString& root, int modelCode);
    bool running() const { return worker_.running(); }

    QProgressBar* progressBar() const { return progress_; }
    QPlainTextEdit* report() const { return report_; }
    const VerifySummary& summary() const { return summary_; }

signals:
    // The check ended (stopped or not), on the GUI thread.
    void checkEnded(const VerifySummary& summary);

public slots:
    // A line of the report for a copy that is missing, damaged or not in the checksum list.
    void showCopy(const QString& line);

protected:
    void reject() override;

private:
    void onEnded(const VerifySummary& summary);

    platform::GuiQueue queue_;
    platform::WorkerSlot worker_;
    QLabel* status_;
    QProgressBar* progress_;
    QPlainTextEdit* report_;
    QPushButton* stop_;
    QPushButton* close_;
    VerifySummary summary_;
    bool problemsShown_ = false;
};

} // namespace tessa
