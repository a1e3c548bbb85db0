#pragma once

// The phonebook page of the main view: the entries of the card's PhoneBook.dat in a list, with Add, Edit
// and Delete. Filled when a VX5 card is found, emptied and disabled when it goes.

#include "phonebook/Phonebook.h"

#include <functional>
#include <QWidget>

class QGroupBox;
class QPushButton;
class QTableWidget;

namespace tessa {

class ContactEditor;

class PhonebookPage : public QWidget {
    Q_OBJECT
public:
    explicit PhonebookPage(QWidget* parent = nullptr);

    // Empties the list, keeps the path, enables the controls and lists the file.
    void load(const QString& path);
    // The card is gone: controls disabled, list and path empty.
    void clear();
    // Enables or disables the buttons and the list, keeping the rows.
    void enableControls(bool enable);

    const CardPhonebook& phonebook() const { return phonebook_; }
    QTableWidget* list() const { return list_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* editButton() const { return edit_; }
    QPushButton* deleteButton() const { return delete_; }

    // Opens the contact editor modally; true on OK. Tests may answer it instead.
    std::function<bool(ContactEditor&)> runEditor;

public slots:
    void add();
    void edit();
    void remove();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showRows(int selectRow = -1);
    // Tells the user why a change did not reach the card as asked.
    void report(CardPhonebook::Result result);
    std::vector<size_t> selectedRows() const;

    CardPhonebook phonebook_;
    QGroupBox* group_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* edit_ = nullptr;
    QPushButton* delete_ = nullptr;
    QTableWidget* list_ = nullptr;
};

} // namespace tessa
