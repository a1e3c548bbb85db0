#include "app/ui/ProgressWindow.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace tessa {

ProgressWindow::ProgressWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), line_(new QLabel(this)),
      bar_(new QProgressBar(this)) {
    setObjectName(QStringLiteral("dlg138"));
    setModal(false);
    // It comes and goes while the user works: it must not take the focus nor close an open menu.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowFlag(Qt::WindowDoesNotAcceptFocus);
    setFocusPolicy(Qt::NoFocus);
    line_->setObjectName(QStringLiteral("ctl1002"));
    bar_->setObjectName(QStringLiteral("ctl1003"));
    line_->setMinimumWidth(420);
    line_->setTextFormat(Qt::PlainText);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(line_);
    layout->addWidget(bar_);
}

void ProgressWindow::start(const QString& caption, uint32_t total, bool centre) {
    setWindowTitle(caption);
    bar_->setRange(0, int(std::min<uint32_t>(total, INT32_MAX)));
    bar_->setValue(0);
    line_->clear();
    show();
    if (centre && parentWidget()) {
        const QRect area = parentWidget()->geometry();
        move(area.center() - rect().center());
    }
}

void ProgressWindow::setPosition(uint32_t position, const QString& line) {
    line_->setText(line);
    bar_->setValue(int(std::min<uint32_t>(position, INT32_MAX)));
    // The bar repaints itself at once while the line waits for the event loop, which a long listing
    // keeps busy: the line is painted with the bar so that the two never disagree on screen.
    if (isVisible())
        line_->repaint();
}

void ProgressWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        return;
    QDialog::keyPressEvent(event);
}

void ProgressWindow::closeEvent(QCloseEvent* event) {
    event->ignore(); // it goes when the work ends
}

} // namespace tessa
