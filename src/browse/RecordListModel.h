#pragma once

// One record list page: one call record per row in nine columns, with per-cell colours, column widths
// kept in the settings and sorting by a clicked column. Rows point at call records owned by a collection
// and hold its lease: the model is a holder of every generation it shows, so the collection has the rows
// dropped before it frees their records, and no row ever reaches a freed record.
//
// Cell texts are made from the record when asked for; only what needs the file system (recording
// present, displayed length, remark from the container recording) is kept once made, so that a page of
// 100 000 rows fills quickly and costs little memory.

#include "browse/RecordSort.h"
#include "format/CallRecord.h"
#include "platform/FileRoots.h"
#include "store/RecordLease.h"

#include <array>
#include <cstdint>
#include <memory>
#include <QAbstractTableModel>
#include <QHash>
#include <QString>
#include <vector>

namespace tessa {

class RecordListModel : public QAbstractTableModel, public RecordHolder {
    Q_OBJECT

public:
    static constexpr int kColumnCount = 9;
    enum Column : int {
        ColumnMark = 0,
        ColumnFile = 1,
        ColumnCallType = 2,
        ColumnTime = 3,
        ColumnNumber = 4,
        ColumnCallDuration = 5,
        ColumnRecordingLength = 6,
        ColumnRemark = 7,
        ColumnPath = 8,
    };
    enum Role : int {
        ImageRole = Qt::UserRole + 1, // int: index in the row image list, kNoImage for none
        TextColourRole,               // uint: 0xRRGGBB
        BackgroundColourRole,         // uint: 0xRRGGBB
        DefaultWidthRole,             // header, int: the column's default width in pixels
    };
    static constexpr int kNoImage = -1;
    static constexpr int kMarkedImage = 14;
    static constexpr int kFileImage = 9;
    static constexpr uint32_t kWindowTextColour = 0x000000;
    static constexpr uint32_t kWindowColour = 0xFFFFFF;
    // Background of the row whose recording plays.
    static constexpr uint32_t kPlayingRowColour = 0x378CF8;

    // A page of the given page type (1-10) showing dates in the system locale.
    explicit RecordListModel(int pageType, QObject* parent = nullptr);
    RecordListModel(int pageType, const ListDateTime& dates, QObject* parent = nullptr);
    ~RecordListModel() override;

    int pageType() const { return pageType_; }
    // Column 7 is filled for rows appended (or re-labelled) while the model code is 1.
    void setModelCode(int modelCode) { modelCode_ = modelCode; }
    int modelCode() const { return modelCode_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // removeRow(row) deletes one row; rows are never inserted through this interface.
    bool removeRows(int row, int count, const QModelIndex& parent = {}) override;
    // Sorts by column in the given order (the header's own toggling); see sortByColumnClick.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Adds one row per record at the end, in order (null entries are passed over). Records of a
    // collection come with its lease; nothing is added when the lease has ended. Without a lease the
    // caller keeps the records alive for as long as the rows exist.
    void appendRows(const std::vector<CallRecord*>& records, const RecordLease& lease = {});
    void appendRow(CallRecord* record, const RecordLease& lease = {}) { appendRows({record}, lease); }
    // Deletes every row.
    void clear();

    // The record a row shows; null for no such row.
    CallRecord* record(int row) const;
    // The lease a row was listed under (null without one), for listing its record on another page.
    RecordLease leaseOf(int row) const;
    // First row showing the record, or -1.
    int rowOf(const CallRecord* record) const;

    QString cellText(int row, int column) const;
    int cellImage(int row, int column) const;
    uint32_t cellTextColour(int row, int column) const;
    uint32_t cellBackground(int row, int column) const;

    // Setting a text counts as a change of the list's content: the next sort starts ascending.
    void setCellText(int row, int column, const QString& text);
    void setCellImage(int row, int column, int image);
    // row or column -1 stands for all rows or all columns.
    void setCellColours(int row, int column, uint32_t textRgb, uint32_t backgroundRgb);
    void setRowBackground(int row, uint32_t backgroundRgb);

    // Re-reads the column titles and call-type texts from the string table and, for the VX5, makes
    // column 7 again.
    void relabel();

    // A click on a column title: the same column again reverses the order, another one sorts ascending.
    // False when nothing was sorted (bad column, no rows, a sort already running).
    bool sortByColumnClick(int column);
    int sortColumn() const { return sortColumn_; }
    bool sortAscending() const { return ascending_; }

    static int defaultColumnWidth(int column);
    // Width of column 7: shown only for the VX5.
    int modelColumnWidth() const;
    // The stored widths of the nine columns (ListWndColumn1-9); -1, size to contents, when absent.
    static std::vector<int> loadColumnWidths();
    // The widths a page starts with: the stored ones, with column 7 at modelColumnWidth() whatever was
    // stored for it, as the view sets it right after the page loads its widths.
    std::vector<int> startColumnWidths() const;
    // Writes ListWndColumn1-9. Only the page of page type 1 keeps its widths when the window closes.
    static bool saveColumnWidths(const std::vector<int>& widths);

    // RecordHolder: the collection is about to free records shown here.
    void generationEnded(const RecordGeneration& generation) override;
    void recordFreeing(const CallRecord& record) override;

private:
    struct RowExtras;
    struct Row;

    void resetSortState();
    Row* rowAt(int row) const;
    void holdLease(const RecordLease& lease);
    void releaseLeases();
    // Cell text and image as drawn; file-system parts are made once and kept in the row.
    QString textOf(Row& row, int column) const;
    int imageOf(Row& row, int column) const;
    platform::Area recordingArea() const;
    bool sortRows(int column, bool ascending);
    void rebuildRowIndex() const;
    void readLabels();

    int pageType_;
    int modelCode_ = 0;
    ListDateTime dates_;
    // Cells made on demand are filled in through these pointers from const accessors.
    std::vector<Row> rows_;
    // First row of each record; made again when first asked for after rows were added or moved.
    mutable QHash<const CallRecord*, int> rowIndex_;
    mutable bool rowIndexStale_ = false;
    // The generations rows were listed under, one entry each; the model is registered with them.
    std::vector<RecordLease> leases_;
    std::array<QString, kColumnCount> titles_;
    std::array<QString, 7> callTypeTexts_; // call types 2-8
    int sortColumn_ = -1;
    bool ascending_ = true;
    bool sorting_ = false;
};

} // namespace tessa
