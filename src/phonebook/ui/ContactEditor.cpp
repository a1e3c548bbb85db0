#include "phonebook/ui/ContactEditor.h"

#include "config/StringTable.h"
#include "phonebook/Phonebook.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace tessa {
namespace {

// The boxes take one character more than the stored field keeps; what is stored is cut on OK.
constexpr int kNameBoxLimit = 35;
constexpr int kNumberBoxLimit = 30;

QLabel* label(QWidget* parent, int id, const QString& caption) {
    auto* l = new QLabel(caption, parent);
    l->setObjectName(QStringLiteral("ctl%1").arg(id));
    return l;
}

QLineEdit* box(QWidget* parent, int id, int limit) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QStringLiteral("ctl%1").arg(id));
    edit->setMaxLength(limit);
    return edit;
}

} // namespace

ContactEditor::ContactEditor(QWidget* parent) : QDialog(parent) {
    build();
    type_->setCurrentIndex(0);
}

ContactEditor::ContactEditor(const PhonebookEntry& entry, QWidget* parent) : QDialog(parent), editing_(true) {
    build();
    const PhonebookRow row = rowOfEntry(entry, 0);
    name_->setText(row.name);
    numbers_[0]->setText(row.number1);
    numbers_[1]->setText(row.number2);
    numbers_[2]->setText(row.number3);
    originalType_ = entry.type;
    // A type outside the list leaves it without a selection.
    type_->setCurrentIndex(entry.type < PhonebookEntry::kTypeCount ? int(entry.type) : -1);
}

void ContactEditor::build() {
    setObjectName(QStringLiteral("dlg155"));
    const QString title = editing_ ? text(180) : text(179);
    setWindowTitle(title);

    auto* grid = new QGridLayout(this);
    name_ = box(this, 1090, kNameBoxLimit);
    grid->addWidget(label(this, 1091, text(174)), 0, 0);
    grid->addWidget(name_, 0, 1);
    const QString numberCaptions[3] = {text(175), text(176), text(177)};
    // Digits only, as the recorder dials them: no other digit systems, no signs or spaces.
    auto* digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
    for (int i = 0; i < 3; ++i) {
        numbers_[i] = box(this, 1096 + i, kNumberBoxLimit);
        numbers_[i]->setValidator(digits);
        grid->addWidget(label(this, 1092 + i, numberCaptions[i]), 1 + i, 0);
        grid->addWidget(numbers_[i], 1 + i, 1);
    }
    type_ = new QComboBox(this);
    type_->setObjectName(QStringLiteral("ctl1099"));
    type_->addItems({text(182), text(183), text(184)});
    grid->addWidget(type_, 4, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    ok_ = new QPushButton(title, this);
    ok_->setObjectName(QStringLiteral("ctl1"));
    ok_->setDefault(true);
    auto* cancel = new QPushButton(text(195), this);
    cancel->setObjectName(QStringLiteral("ctl2"));
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 5, 0, 1, 2);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(name_, &QLineEdit::textChanged, this, &ContactEditor::filterName);
}

void ContactEditor::filterName() {
    const QString current = name_->text();
    const QString filtered = filterPhonebookName(current);
    if (filtered == current)
        return;
    name_->setText(filtered);
    name_->setCursorPosition(int(filtered.size()));
}

PhonebookEntry ContactEditor::entry() const {
    // An entry of a type the list does not offer keeps it unless another type is chosen.
    const int chosen = type_->currentIndex();
    const uint8_t type = chosen >= 0 ? uint8_t(chosen) : originalType_;
    return makePhonebookEntry(name_->text(), numbers_[0]->text(), numbers_[1]->text(), numbers_[2]->text(),
                              type);
}

} // namespace tessa
