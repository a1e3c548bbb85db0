#include "backup/ui/BackupDialog.h"

#include "backup/BackupRunner.h"
#include "backup/ui/BackupPathDialog.h"
#include "config/Settings.h"
#include "config/StringTable.h"
#include "store/AppState.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>

namespace tessa {
namespace {

constexpr std::chrono::milliseconds kStopWait{500};

QLabel* label(QWidget* parent, int id) {
    auto* l = new QLabel(parent);
    l->setObjectName(QStringLiteral("ctl%1").arg(id));
    return l;
}

QPushButton* button(QWidget* parent, int id) {
    auto* b = new QPushButton(parent);
    b->setObjectName(QStringLiteral("ctl%1").arg(id));
    b->setAutoDefault(false);
    return b;
}

} // namespace

BackupDialog::BackupDialog(AppState& state, BackupRunner& runner, Variant variant, QWidget* parent)
    : QDialog(parent), state_(state), runner_(runner), variant_(variant),
      listGone_(std::make_shared<std::atomic<bool>>(false)), root_(new QLineEdit(this)),
      current_(new QLineEdit(this)), progress_(new QProgressBar(this)), mode_(new QComboBox(this)),
      auto_(new QCheckBox(this)), browse_(button(this, 1069)), stop_(button(this, 1084)),
      start_(button(this, 1085)) {
    setObjectName(QStringLiteral("dlg151"));
    setModal(variant != Variant::Automatic);
    root_->setObjectName(QStringLiteral("ctl1067"));
    root_->setReadOnly(true);
    root_->setMinimumWidth(420);
    current_->setObjectName(QStringLiteral("ctl1068"));
    current_->setReadOnly(true);
    progress_->setObjectName(QStringLiteral("ctl1003"));
    mode_->setObjectName(QStringLiteral("ctl1010"));
    auto_->setObjectName(QStringLiteral("ctl1049"));
    browse_->setText(QStringLiteral("..."));
    start_->setDefault(true);
    QPushButton* cancel = button(this, 2);
    QPushButton* ok = button(this, 1);
    cancel->hide();
    ok->hide();

    auto* grid = new QGridLayout(this);
    const int labels[] = {1005, 1006, 1007, 1008};
    for (int row = 0; row < 4; ++row)
        grid->addWidget(label(this, labels[row]), row, 0);
    grid->addWidget(root_, 0, 1);
    grid->addWidget(browse_, 0, 2);
    grid->addWidget(current_, 1, 1, 1, 2);
    grid->addWidget(progress_, 2, 1, 1, 2);
    grid->addWidget(mode_, 3, 1, 1, 2);
    grid->addWidget(auto_, 4, 0, 1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(stop_);
    buttons->addWidget(start_);
    buttons->addWidget(cancel);
    buttons->addWidget(ok);
    grid->addLayout(buttons, 5, 0, 1, 3);

    connect(start_, &QPushButton::clicked, this, &BackupDialog::startPass);
    connect(stop_, &QPushButton::clicked, this, &BackupDialog::stopPass);
    connect(browse_, &QPushButton::clicked, this, &BackupDialog::browse);
    connect(cancel, &QPushButton::clicked, this, &BackupDialog::reject);
    connect(ok, &QPushButton::clicked, this, &BackupDialog::accept);
    // Only the user's choice is written; a selection the program makes is not.
    connect(mode_, &QComboBox::activated, this,
            [](int index) { writeIntSetting(QStringLiteral("BackupDelFile"), index); });
    connect(auto_, &QCheckBox::clicked, this,
            [](bool checked) { writeIntSetting(QStringLiteral("AutoBackup"), checked ? 1 : 0); });
    initialise();
}

// A pass still running when the dialog goes finishes on its own; what it reports no longer reaches it.
BackupDialog::~BackupDialog() = default;

void BackupDialog::setSelection(std::vector<CallRecord> records, QObject* recordList) {
    selection_ = std::move(records);
    recordList_ = recordList;
    listGone_ = std::make_shared<std::atomic<bool>>(recordList == nullptr);
    if (recordList)
        connect(recordList, &QObject::destroyed, this, [gone = listGone_] { *gone = true; });
}

void BackupDialog::initialise() {
    setWindowTitle(variant_ == Variant::SelectedRecords ? text(194) : text(99));
    findChild<QLabel*>(QStringLiteral("ctl1005"))->setText(text(100));
    findChild<QLabel*>(QStringLiteral("ctl1006"))->setText(text(101));
    findChild<QLabel*>(QStringLiteral("ctl1007"))->setText(text(102));
    findChild<QLabel*>(QStringLiteral("ctl1008"))->setText(text(134));
    auto_->setText(text(138));
    stop_->setText(text(137));
    start_->setText(text(103));
    findChild<QPushButton*>(QStringLiteral("ctl2"))->setText(text(139));

    mode_->clear();
    mode_->addItem(text(136));
    mode_->addItem(text(135));
    const int fileMode = readIntSetting(QStringLiteral("BackupDelFile"));
    mode_->setCurrentIndex(fileMode == 0 || fileMode == 1 ? fileMode : -1);
    // A missing key reads -1: automatic backup is then off, and the box shows it off.
    auto_->setChecked(readIntSetting(QStringLiteral("AutoBackup")) == 1);
    root_->setText(readStringSetting(QStringLiteral("BackupPath")));
    current_->clear();
    progress_->setRange(0, 100);
    progress_->setValue(0);
    started_ = false;
    finished_ = false;
    closing_ = false;
    open_ = true;
    lockControls(false);
}

void BackupDialog::lockControls(bool running) {
    start_->setEnabled(!running);
    browse_->setEnabled(!running);
    mode_->setEnabled(!running);
    auto_->setEnabled(!running);
    stop_->setEnabled(true);
}

void BackupDialog::startPass() {
    if (passRunning_)
        return;
    if (mode_->currentIndex() == 1) {
        QMessageBox ask(QMessageBox::Information, text(134), text(140), QMessageBox::Yes | QMessageBox::No,
                        this);
        ask.setObjectName(QStringLiteral("deleteConfirmation"));
        if (ask.exec() != QMessageBox::Yes)
            mode_->setCurrentIndex(0);
    }

    BackupRequest request;
    request.root = root_->text();
    request.modelCode = state_.modelCode;
    request.moveFiles = mode_->currentIndex() == 1;
    request.allRecords = variant_ != Variant::SelectedRecords;
    request.cardLogPath = state_.cardLogPath;
    std::vector<CallRecord> records;
    if (variant_ == Variant::SelectedRecords) {
        records = selection_;
    } else {
        records.reserve(state_.cardRecords.count());
        for (const CallRecord& r : state_.cardRecords)
            records.push_back(r);
    }

    BackupRunner::Listener listener;
    QPointer<BackupDialog> self(this);
    listener.rangeSet = [self](uint32_t total) {
        if (self)
            self->progress_->setRange(0, int(std::min<uint32_t>(total, INT32_MAX)));
    };
    listener.progress = [self](uint32_t position, const QString& destination) {
        if (!self)
            return;
        self->progress_->setValue(int(std::min<uint32_t>(position, INT32_MAX)));
        self->current_->setText(destination);
    };
    listener.ended = [self](const BackupSummary& summary) {
        if (self)
            self->onPassEnded(summary);
    };
    // The automatic backup runs while the card loader holds the busy flag and waits for this dialog.
    const bool holdBusy = variant_ != Variant::Automatic;
    const auto result = runner_.start(request, std::move(records), std::move(listener), holdBusy,
                                      variant_ == Variant::SelectedRecords ? listGone_ : nullptr);
    if (result == BackupRunner::StartResult::Busy) {
        QMessageBox box(QMessageBox::Information, text(160), text(159), QMessageBox::Ok, this);
        box.setObjectName(QStringLiteral("busyRefusal"));
        box.exec();
        return;
    }
    if (result != BackupRunner::StartResult::Started)
        return;
    lockControls(true);
    started_ = true;
    passRunning_ = true;
}

void BackupDialog::stopPass() {
    if (passRunning_) {
        runner_.requestStop();
        runner_.wait(kStopWait);
    }
    QMetaObject::invokeMethod(this, &BackupDialog::reject, Qt::QueuedConnection);
}

void BackupDialog::browse() {
    BackupPathDialog dialog(this);
    dialog.pathChanged = backupPathChanged;
    if (preparePathDialog)
        preparePathDialog(dialog);
    if (dialog.exec() == QDialog::Accepted)
        root_->setText(readStringSetting(QStringLiteral("BackupPath")));
}

void BackupDialog::accept() {
    closeWith(QDialog::Accepted);
}

void BackupDialog::reject() {
    if (!open_)
        return; // already closed (a Cancel posted by Stop arriving after the pass's OK)
    cancelling_ = true;
    if (passRunning_) {
        runner_.requestStop();
        if (runner_.wait(kStopWait))
            runner_.flushReports(); // the pass's last reports and its end, before the dialog goes
    }
    cancelling_ = false;
    closeWith(QDialog::Rejected);
}

void BackupDialog::closeWith(int result) {
    if (!open_)
        return;
    open_ = false;
    closing_ = true;
    QDialog::done(result);
    reportDoneWhenIdle();
}

void BackupDialog::onPassEnded(const BackupSummary& summary) {
    passRunning_ = false;
    if (passEnded)
        passEnded(summary);
    if (closing_) {
        reportDoneWhenIdle();
        return;
    }
    // Without a backup root the pass did nothing: the dialog stays until Stop or Cancel.
    if (summary.ran && !cancelling_)
        accept();
    else if (summary.lockRefused && !cancelling_)
        QMessageBox::information(this, text(160), text(400));
}

void BackupDialog::reportDoneWhenIdle() {
    if (!closing_ || passRunning_)
        return;
    closing_ = false;
    finished_ = true;
    emit passDone();
}

} // namespace tessa
