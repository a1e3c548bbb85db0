#include "browse/ui/RecordFilterBox.h"

#include "browse/RecordFilter.h"
#include "config/StringTable.h"

#include <QAction>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace tessa {

RecordFilterBox::RecordFilterBox(RecordFilterProxy& filter, QWidget* parent)
    : QWidget(parent), filter_(filter), edit_(new QLineEdit(this)), count_(new QLabel(this)) {
    setObjectName(QStringLiteral("filterBox"));
    edit_->setObjectName(QStringLiteral("filterEdit"));
    edit_->setClearButtonEnabled(true);
    count_->setObjectName(QStringLiteral("filterCount"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(edit_, 1);
    layout->addWidget(count_);

    // Only the box of the page on view is visible, so only its Ctrl+F is live.
    auto* focus = new QAction(this);
    focus->setObjectName(QStringLiteral("filterFocus"));
    focus->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    focus->setShortcutContext(Qt::WindowShortcut);
    connect(focus, &QAction::triggered, this, [this] {
        edit_->setFocus(Qt::ShortcutFocusReason);
        edit_->selectAll();
    });
    addAction(focus);
    edit_->installEventFilter(this);

    connect(edit_, &QLineEdit::textChanged, &filter_, &RecordFilterProxy::setFilterText);
    connect(edit_, &QLineEdit::returnPressed, this, &RecordFilterBox::playRequested);
    connect(&filter_, &RecordFilterProxy::filterApplied, this, &RecordFilterBox::showCount);
    connect(&filter_, &QAbstractItemModel::rowsInserted, this, &RecordFilterBox::showCount);
    connect(&filter_, &QAbstractItemModel::rowsRemoved, this, &RecordFilterBox::showCount);
    connect(&filter_, &QAbstractItemModel::modelReset, this, &RecordFilterBox::showCount);
    connect(&filter_, &QAbstractItemModel::layoutChanged, this, &RecordFilterBox::showCount);
    relabel();
}

void RecordFilterBox::relabel() {
    const QString key = QKeySequence(Qt::CTRL | Qt::Key_F).toString(QKeySequence::NativeText);
    edit_->setPlaceholderText(QStringLiteral("%1 (%2)").arg(text(270), key));
    edit_->setToolTip(QStringLiteral("%1 (%2)").arg(text(271), key));
    showCount();
}

void RecordFilterBox::showCount() {
    const QAbstractItemModel* source = filter_.sourceModel();
    const int all = source ? source->rowCount() : 0;
    count_->setText(QStringLiteral("%1 %2 %3").arg(filter_.rowCount()).arg(text(272)).arg(all));
}

bool RecordFilterBox::eventFilter(QObject* watched, QEvent* event) {
    // Escape empties the box, and goes no further: it never closes the page.
    if (watched == edit_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        edit_->clear();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tessa
