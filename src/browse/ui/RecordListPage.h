#pragma once

// A record list page: a table of call records, one row each, over the page's model.

#include <QWidget>

class QTableView;
class QIdentityProxyModel;
class QModelIndex;

namespace tessa {

struct AppState;
class RecordFilterBox;
class RecordFilterProxy;
class RecordListModel;

class RecordListPage : public QWidget {
    Q_OBJECT
public:
    RecordListPage(int pageType, AppState& state, QWidget* parent = nullptr);
    ~RecordListPage() override;

    int pageType() const { return pageType_; }
    RecordListModel* model() const { return model_; }
    QTableView* table() const { return table_; }
    int rowCount() const;
    // Model rows of the rows selected, in row order: only rows shown through the filter can be selected.
    std::vector<int> selectedRows() const;
    // Makes the row the only selected one and the current one, scrolled into view.
    void selectRow(int row);
    // The model row play starts from: the first selected row, or the first row shown (0 when none is).
    int playRow() const;
    // The model row of an index of the table (-1 for none).
    int modelRowOf(const QModelIndex& viewIndex) const;
    RecordFilterProxy* filter() const { return filter_; }
    RecordFilterBox* filterBox() const { return filterBox_; }
    // The VX5 shows the remark column, 120 wide; the VX7 hides it.
    void setModelCode(int modelCode);
    void relabel();
    // Widths of the nine columns as they are now.
    std::vector<int> columnWidths() const;

signals:
    // A record command raised on the page (double click: play; click in the mark column: mark).
    void command(int commandId);
    void contextMenuRequested(const QPoint& globalPos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyStoredWidths();
    // The header's sort indicator follows the model's sort column and direction.
    void showSortIndicator();

    int pageType_;
    AppState& state_;
    RecordListModel* model_;
    RecordFilterProxy* filter_ = nullptr;
    RecordFilterBox* filterBox_ = nullptr;
    QIdentityProxyModel* icons_;
    QTableView* table_;
};

} // namespace tessa
