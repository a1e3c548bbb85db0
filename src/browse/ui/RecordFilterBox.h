#pragma once

// The filter box above a record list: what the user types narrows the rows shown (RecordFilterProxy),
// and the box says how many of how many rows it shows. Ctrl+F puts the cursor in it, Escape empties it,
// Enter plays (the page's first selected row, or its first row shown).

#include <QWidget>

class QLabel;
class QLineEdit;

namespace tessa {

class RecordFilterProxy;

class RecordFilterBox : public QWidget {
    Q_OBJECT
public:
    RecordFilterBox(RecordFilterProxy& filter, QWidget* parent = nullptr);

    QLineEdit* edit() const { return edit_; }
    QLabel* countLabel() const { return count_; }
    // Re-reads its texts from the string table.
    void relabel();

signals:
    // Enter in the box.
    void playRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showCount();

    RecordFilterProxy& filter_;
    QLineEdit* edit_;
    QLabel* count_;
};

} // namespace tessa
