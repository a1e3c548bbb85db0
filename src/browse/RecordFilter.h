#pragma once

// The filter of a record list page: which rows stay in view while the user types. A row stays when its
// number and name, date and time, remark or note line, or recording path contains the typed text,
// without regard to case; typed digits also find a number written with blanks or a leading + (and
// the other way round). It filters the rows the page holds and nothing else: the page's model, its
// membership and its row count stay as they are.
//
// The texts of a row are made once and kept per record, so that a keystroke on a page of 100 000 rows
// is one pass over kept strings. Making them can mean reading container recordings (the note line), so
// the first filter of a page makes them a slice at a time between events and applies the filter once
// they are all there: typing never waits for the disk.

#include <memory>
#include <QElapsedTimer>
#include <QHash>
#include <QSortFilterProxyModel>
#include <QString>
#include <QStringMatcher>
#include <unordered_map>
#include <vector>

class QTimer;

namespace tessa {

struct CallRecord;
class RecordListModel;

// What the user typed, ready to be matched.
class RecordFilterText {
public:
    RecordFilterText() = default;
    explicit RecordFilterText(const QString& typed);

    bool isEmpty() const { return folded_.isEmpty(); }
    const QString& folded() const { return folded_; }
    // The digits of a typed number (digits, blanks, +, -, (, ), / and dots only); empty otherwise.
    const QString& digits() const { return digits_; }

    // A row's folded texts and the digits of its number.
    bool matches(const QString& foldedTexts, const QString& numberDigits) const;

private:
    QString folded_;
    QString digits_;
    QStringMatcher textMatcher_;
    QStringMatcher digitMatcher_;
};

// The texts of a row the filter looks in, folded, one per line; and the digits of its number.
struct RecordFilterEntry {
    QString texts;
    QString numberDigits;
};
RecordFilterEntry filterEntryOfRow(const RecordListModel& model, int row);
// Only the digits of a text.
QString digitsOf(const QString& text);

class RecordFilterProxy : public QSortFilterProxyModel {
    Q_OBJECT
public:
    // Rows whose texts are made per slice of the first filter, and the time a slice may take.
    static constexpr int kSliceMilliseconds = 8;

    explicit RecordFilterProxy(QObject* parent = nullptr);
    ~RecordFilterProxy() override;

    // The source must be a RecordListModel.
    void setSourceModel(QAbstractItemModel* source) override;
    RecordListModel* recordModel() const { return model_; }

    // Applies a new text; an empty one shows every row. Applied at once when every row's texts are
    // made, else once they are (filterApplied tells).
    void setFilterText(const QString& typed);
    QString filterText() const { return typed_; }
    bool isFiltering() const { return !filter_.isEmpty(); }
    // True while the texts of the first filter are being made; the rows shown are still the old ones.
    bool isPreparing() const { return preparing_; }
    // Makes every missing text now and applies the filter (tests and benchmarks).
    void finishPreparing();
    // Source rows whose texts are kept.
    int keptEntries() const { return int(entries_.size()); }

    // The model row of a row shown, and the other way round (-1 for none).
    int modelRow(int shownRow) const;
    int shownRow(int modelRow) const;

signals:
    // The rows shown follow the current text.
    void filterApplied();

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    const RecordFilterEntry& entryOf(int sourceRow) const;
    void prepareSlice();
    void apply();
    void forgetRows(int first, int last);

    RecordListModel* model_ = nullptr;
    QString typed_;
    RecordFilterText filter_;
    // Kept per record, not per row, so that sorting the page keeps them. A record leaves before it is
    // freed: its rows are removed first, or the whole page is reset.
    mutable std::unordered_map<const CallRecord*, std::unique_ptr<RecordFilterEntry>> entries_;
    // The entry of each source row as last looked up, checked against the row's record: a keystroke
    // then costs no lookup by record. Dropped whenever rows move.
    struct RowEntry {
        const CallRecord* record = nullptr;
        const RecordFilterEntry* entry = nullptr;
    };
    mutable std::vector<RowEntry> rowEntries_;
    QTimer* slices_ = nullptr;
    int nextToPrepare_ = 0;
    bool preparing_ = false;
};

} // namespace tessa
