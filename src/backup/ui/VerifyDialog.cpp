#include "backup/ui/VerifyDialog.h"

#include "config/StringTable.h"
#include "store/CallLogFile.h"
#include "store/ProgressThrottle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessa {
namespace {

// The worker's side: progress paced for the window, every copy that is not intact passed on.
class QueuedVerifyObserver : public VerifyObserver {
public:
    QueuedVerifyObserver(platform::GuiQueue::Link link, VerifyDialog* dialog)
        : link_(std::move(link)), dialog_(dialog) {}
    void rangeSet(uint32_t total) override {
        link_.post(
            [d = dialog_, total] { d->progressBar()->setRange(0, int(std::min<uint32_t>(total, INT_MAX))); });
    }
    void positionSet(uint32_t position) override {
        position_ = position;
        if (throttle_.due(false))
            flush();
    }
    void copyChecked(const VerifiedCopy& copy) override {
        if (copy.state == CopyState::Intact || copy.state == CopyState::Placeholder)
            return;
        link_.post([d = dialog_, copy] { d->showCopy(line(copy)); });
    }
    void flush() {
        link_.post([d = dialog_, p = position_] { d->progressBar()->setValue(int(p)); });
    }
    static QString line(const VerifiedCopy& copy) {
        const int label = copy.state == CopyState::Missing   ? 409
                          : copy.state == CopyState::Damaged ? 410
                                                             : 411;
        return text(label) + QStringLiteral(": ") + copy.relativePath +
               (copy.reason.isEmpty() ? QString() : QStringLiteral(" (") + copy.reason + QLatin1Char(')'));
    }

private:
    platform::GuiQueue::Link link_;
    VerifyDialog* dialog_;
    ProgressThrottle throttle_;
    uint32_t position_ = 0;
};

} // namespace

QString verifyCountsLine(const VerifySummary& summary) {
    // Labels and counts are joined here: the string table holds no formats.
    const std::pair<QString, uint32_t> parts[] = {
        {text(403), summary.records},      {text(413), summary.intact},  {text(411), summary.unlisted},
        {text(414), summary.placeholders}, {text(409), summary.missing}, {text(410), summary.damaged}};
    QStringList line;
    for (const auto& [label, count] : parts)
        line << label + QStringLiteral(": ") + QString::number(count);
    return line.join(QStringLiteral(", ")) + QLatin1Char('.');
}

VerifyDialog::VerifyDialog(const std::atomic<bool>* quit, QWidget* parent)
    : QDialog(parent), queue_(quit), status_(new QLabel(this)), progress_(new QProgressBar(this)),
      report_(new QPlainTextEdit(this)), stop_(new QPushButton(text(408), this)),
      close_(new QPushButton(text(407), this)) {
    setObjectName(QStringLiteral("verifyDialog"));
    setWindowTitle(text(401));
    setModal(false);
    status_->setObjectName(QStringLiteral("verifyStatus"));
    status_->setWordWrap(true);
    progress_->setObjectName(QStringLiteral("verifyProgress"));
    report_->setObjectName(QStringLiteral("verifyReport"));
    report_->setReadOnly(true);
    stop_->setObjectName(QStringLiteral("verifyStop"));
    close_->setObjectName(QStringLiteral("verifyClose"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(stop_);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(progress_);
    layout->addWidget(report_, 1);
    layout->addLayout(buttons);
    resize(560, 360);
    connect(stop_, &QPushButton::clicked, this, [this] { worker_.requestStop(); });
    connect(close_, &QPushButton::clicked, this, &VerifyDialog::reject);
    stop_->setEnabled(false);
}

VerifyDialog::~VerifyDialog() {
    worker_.stop();
    queue_.close();
}

bool VerifyDialog::start(const QString& root, int modelCode) {
    if (worker_.running())
        return false;
    summary_ = {};
    problemsShown_ = false;
    report_->clear();
    progress_->setRange(0, 0);
    progress_->setValue(0);
    status_->setText(text(402));
    stop_->setEnabled(true);
    QString native = root;
    if (!native.isEmpty() && !native.endsWith(QLatin1Char('/')))
        native += QLatin1Char('/');
    auto body = [link = queue_.link(), self = this, native, modelCode](const std::atomic<bool>& stop) {
        QueuedVerifyObserver observer(link, self);
        const VerifySummary summary = verifyBackup(
            native, modelCode, [&] { return bool(stop); }, observer);
        observer.flush();
        link.post([self, summary] { self->onEnded(summary); });
    };
    if (!worker_.start(std::move(body))) {
        stop_->setEnabled(false);
        return false;
    }
    return true;
}

void VerifyDialog::showCopy(const QString& line) {
    if (!problemsShown_) {
        report_->appendPlainText(text(405));
        problemsShown_ = true;
    }
    report_->appendPlainText(line);
}

void VerifyDialog::onEnded(const VerifySummary& summary) {
    summary_ = summary;
    stop_->setEnabled(false);
    if (progress_->maximum() == 0)
        progress_->setRange(0, 1);
    if (!summary.ran) {
        status_->setText(text(406));
    } else {
        QString counts = verifyCountsLine(summary);
        if (summary.missing == 0 && summary.damaged == 0 && summary.complete)
            counts += QLatin1Char(' ') + text(404);
        status_->setText(counts);
    }
    emit checkEnded(summary);
}

void VerifyDialog::reject() {
    // The check ends between copies; the dialog does not wait for it longer than the slot's bound.
    worker_.stop();
    QDialog::reject();
}

} // namespace tessa
