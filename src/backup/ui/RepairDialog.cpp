#include "backup/ui/RepairDialog.h"

#include "backup/CardRepair.h"
#include "config/StringTable.h"
#include "platform/VolumeTable.h"
#include "store/AppState.h"

#include <climits>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessa {
namespace {

// The bar moves at most this many times per run, however many files the card holds.
constexpr size_t kProgressSteps = 1000;

void tell(QWidget* parent, int captionText, int messageText, const char* name) {
    QMessageBox box(QMessageBox::Warning, text(captionText), text(messageText), QMessageBox::Ok, parent);
    box.setObjectName(QLatin1String(name));
    box.exec();
}

} // namespace

RepairDialog::RepairDialog(AppState& state, QWidget* parent)
    : QDialog(parent), state_(state), queue_(&state.quit) {
    setObjectName(QStringLiteral("dlg163"));
    setWindowTitle(text(218));
    prompt_ = new QLabel(text(219), this);
    prompt_->setObjectName(QStringLiteral("ctl1106"));
    drives_ = new QComboBox(this);
    drives_->setObjectName(QStringLiteral("ctl1107"));
    start_ = new QPushButton(text(220), this);
    start_->setObjectName(QStringLiteral("ctl1"));
    start_->setDefault(true);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("ctl1003"));
    progress_->setTextVisible(false);
    progress_->hide();
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("ctl1108"));
    auto* layout = new QVBoxLayout(this);
    for (QWidget* w :
         {static_cast<QWidget*>(prompt_), static_cast<QWidget*>(drives_), static_cast<QWidget*>(start_),
          static_cast<QWidget*>(progress_), static_cast<QWidget*>(status_)})
        layout->addWidget(w);
    connect(start_, &QPushButton::clicked, this, &RepairDialog::startRepair);

    // Removable drives above B, in letter order; the first is selected.
    for (const platform::Volume& volume : platform::volumeTable().refresh())
        if (volume.letter > 'B' && volume.type == platform::DriveRemovable)
            drives_->addItem(QStringLiteral("%1:\\").arg(QChar(volume.letter)), volume.root);
    if (drives_->count() > 0)
        drives_->setCurrentIndex(0);
}

RepairDialog::~RepairDialog() {
    worker_.stop();
}

void RepairDialog::startRepair() {
    if (running_ || drives_->currentIndex() < 0)
        return;
    const char letter = char(drives_->currentText().at(0).toLatin1());
    const QString root = drives_->currentData().toString();
    auto claim = std::make_shared<RepairClaim>(state_, letter);
    if (!claim->granted()) {
        // The rebuild worker writes this card's log now; two writers would interleave their records.
        tell(this, 160, 172, "repairRefused");
        return;
    }
    claim_ = claim;
    running_ = true;
    start_->setEnabled(false);
    progress_->setRange(0, 1);
    progress_->setValue(0);
    progress_->show();
    status_->clear();

    const platform::GuiQueue::Link link = queue_.link();
    const bool started =
        worker_.start([this, link, letter, root, claim](const std::atomic<bool>& stop) mutable {
            const int model = modelOfCardFolder(root);
            size_t lastStep = 0;
            RepairHooks hooks;
            hooks.progress = [&](size_t done, size_t total, int added) {
                // Qt's bar takes the whole count as its range, so more than 65 535 files still fill it; only
                // every thousandth part of the run reaches the window.
                const size_t step = total ? done * kProgressSteps / total : kProgressSteps;
                if (step == lastStep && done != total)
                    return;
                lastStep = step;
                link.post([this, done, total, added] {
                    progress_->setRange(0, int(std::min<size_t>(total, INT_MAX)));
                    progress_->setValue(int(std::min<size_t>(done, INT_MAX)));
                    status_->setText(QStringLiteral("%1  %2").arg(text(222)).arg(added));
                });
            };
            const RepairOutcome outcome = repairCard(letter, root, model, hooks, &stop);
            claim.reset(); // the rebuild may take the drive again
            link.post([this, outcome] {
                if (outcome.status == RepairOutcome::Status::SafetyCopyFailed ||
                    outcome.status == RepairOutcome::Status::UnsafeLog)
                    tell(this, 218, 226, "safetyCopyFailed");
                finish(outcome.added);
            });
        });
    if (!started)
        finish(0);
}

void RepairDialog::finish(int added) {
    claim_.reset();
    running_ = false;
    start_->setEnabled(true);
    status_->setText(QStringLiteral("%1 - %2").arg(text(221)).arg(added));
    emit repairFinished(added);
}

void RepairDialog::reject() {
    if (running_)
        return;
    QDialog::reject();
}

void RepairDialog::closeEvent(QCloseEvent* event) {
    if (running_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace tessa
