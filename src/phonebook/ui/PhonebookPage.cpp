#include "phonebook/ui/PhonebookPage.h"

#include "config/StringTable.h"
#include "phonebook/ui/ContactEditor.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QResizeEvent>
#include <QTableWidget>

namespace tessa {
namespace {

constexpr int kColumnWidth = 130;

QPushButton* button(QWidget* parent, int id, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QStringLiteral("ctl%1").arg(id));
    return b;
}

QTableWidgetItem* cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

} // namespace

PhonebookPage::PhonebookPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("dlg154"));
    group_ = new QGroupBox(text(173), this);
    group_->setObjectName(QStringLiteral("ctl1089"));
    add_ = button(this, 1088, text(179));
    edit_ = button(this, 1062, text(180));
    delete_ = button(this, 1063, text(181));

    list_ = new QTableWidget(0, 5, this);
    list_->setObjectName(QStringLiteral("ctl1086"));
    list_->setHorizontalHeaderLabels({text(174), text(175), text(176), text(177), text(178)});
    list_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int column = 0; column < 5; ++column)
        list_->setColumnWidth(column, kColumnWidth);
    list_->verticalHeader()->hide();
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setShowGrid(true);

    connect(add_, &QPushButton::clicked, this, &PhonebookPage::add);
    connect(edit_, &QPushButton::clicked, this, &PhonebookPage::edit);
    connect(delete_, &QPushButton::clicked, this, &PhonebookPage::remove);
    // A double click asks for Edit once the click has been handled, as the Edit button would.
    connect(list_, &QTableWidget::cellDoubleClicked, this,
            [this] { QMetaObject::invokeMethod(this, &PhonebookPage::edit, Qt::QueuedConnection); });

    runEditor = [](ContactEditor& editor) { return editor.exec() == QDialog::Accepted; };
    enableControls(false);
}

void PhonebookPage::load(const QString& path) {
    list_->setRowCount(0);
    enableControls(true);
    phonebook_.load(path);
    showRows();
}

void PhonebookPage::clear() {
    enableControls(false);
    phonebook_.clear();
    showRows();
}

void PhonebookPage::enableControls(bool enable) {
    for (QWidget* control : {static_cast<QWidget*>(add_), static_cast<QWidget*>(edit_),
                             static_cast<QWidget*>(delete_), static_cast<QWidget*>(list_)})
        control->setEnabled(enable);
}

void PhonebookPage::showRows(int selectRow) {
    const std::vector<PhonebookRow>& rows = phonebook_.rows();
    list_->clearSelection();
    list_->setRowCount(int(rows.size()));
    for (int r = 0; r < int(rows.size()); ++r) {
        const PhonebookRow& row = rows[size_t(r)];
        QTableWidgetItem* first = cell(row.name);
        first->setData(Qt::UserRole, row.itemValue());
        list_->setItem(r, 0, first);
        list_->setItem(r, 1, cell(row.number1));
        list_->setItem(r, 2, cell(row.number2));
        list_->setItem(r, 3, cell(row.number3));
        list_->setItem(r, 4, cell(row.typeText()));
    }
    if (selectRow >= 0 && selectRow < list_->rowCount())
        list_->selectRow(selectRow);
}

std::vector<size_t> PhonebookPage::selectedRows() const {
    std::vector<size_t> rows;
    for (const QModelIndex& index : list_->selectionModel()->selectedRows())
        rows.push_back(size_t(index.row()));
    std::sort(rows.begin(), rows.end());
    return rows;
}

void PhonebookPage::add() {
    if (phonebook_.full()) {
        QMessageBox::information(this, text(179), text(188));
        return;
    }
    ContactEditor editor(this);
    if (!runEditor(editor))
        return;
    const CardPhonebook::Result result = phonebook_.add(editor.entry());
    showRows(result == CardPhonebook::Result::Done ? int(phonebook_.rows().size()) - 1 : -1);
    report(result);
}

void PhonebookPage::edit() {
    const std::vector<size_t> selected = selectedRows();
    if (selected.empty())
        return;
    const size_t row = selected.front();
    ContactEditor editor(entryOfRow(phonebook_.rows()[row]), this);
    if (!runEditor(editor))
        return;
    const CardPhonebook::Result result = phonebook_.edit(row, editor.entry());
    showRows(result == CardPhonebook::Result::Changed ? -1 : int(row));
    report(result);
}

void PhonebookPage::remove() {
    const std::vector<size_t> selected = selectedRows();
    if (selected.empty())
        return;
    QMessageBox ask(QMessageBox::Question, text(186), text(185), QMessageBox::Yes | QMessageBox::No, this);
    if (ask.exec() != QMessageBox::Yes)
        return;
    const CardPhonebook::Result result = phonebook_.remove(selected);
    showRows();
    report(result);
}

void PhonebookPage::report(CardPhonebook::Result result) {
    if (result == CardPhonebook::Result::Changed)
        QMessageBox::information(this, text(173), text(240));
    else if (result == CardPhonebook::Result::NotWritten)
        QMessageBox::warning(this, text(173), text(241));
}

void PhonebookPage::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int cx = width(), cy = height();
    group_->setGeometry(2, 2, cx - 4, cy - 4);
    add_->setGeometry(10, 25, 120, 30);
    edit_->setGeometry(135, 25, 120, 30);
    delete_->setGeometry(265, 25, 120, 30);
    list_->setGeometry(10, 65, cx - 20, cy - 75);
}

} // namespace tessa
