#pragma once

// The contact editor: one phonebook entry's name, three numbers and record type. Opened empty to add an
// entry, or with an entry to edit it; on OK it yields the entry to write.

#include "format/PhonebookEntry.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace tessa {

class ContactEditor : public QDialog {
    Q_OBJECT
public:
    // Add mode: empty boxes, the first record type.
    explicit ContactEditor(QWidget* parent = nullptr);
    // Edit mode: the entry's name, numbers and type.
    ContactEditor(const PhonebookEntry& entry, QWidget* parent);

    bool editing() const { return editing_; }
    // The entry of the boxes as they stand (what OK yields).
    PhonebookEntry entry() const;

    QLineEdit* nameBox() const { return name_; }
    QLineEdit* numberBox(int i) const { return numbers_[i]; }
    QComboBox* typeList() const { return type_; }

private:
    void build();
    void filterName();

    bool editing_ = false;
    uint8_t originalType_ = 0;
    QLineEdit* name_ = nullptr;
    QLineEdit* numbers_[3] = {};
    QComboBox* type_ = nullptr;
    QPushButton* ok_ = nullptr;
};

} // namespace tessa
