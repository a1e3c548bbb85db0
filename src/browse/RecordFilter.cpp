#include "browse/RecordFilter.h"

#include "browse/RecordListModel.h"
#include "format/CallRecord.h"

#include <QTimer>

namespace tessa {

namespace record_filter_internal {

// Characters a number may be written with besides its digits.
bool numberPunctuation(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char('(') ||
           c == QLatin1Char(')') || c == QLatin1Char('/') || c == QLatin1Char('.');
}

const RecordFilterEntry kNoEntry;

} // namespace record_filter_internal

using namespace record_filter_internal;

QString digitsOf(const QString& text) {
    QString digits;
    digits.reserve(text.size());
    for (const QChar c : text)
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digits.append(c);
    return digits;
}

RecordFilterText::RecordFilterText(const QString& typed) : folded_(typed.trimmed().toCaseFolded()) {
    bool numberLike = !folded_.isEmpty();
    for (const QChar c : folded_)
        numberLike = numberLike && ((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || numberPunctuation(c));
    if (numberLike)
        digits_ = digitsOf(folded_);
    textMatcher_.setPattern(folded_);
    textMatcher_.setCaseSensitivity(Qt::CaseSensitive);
    digitMatcher_.setPattern(digits_);
    digitMatcher_.setCaseSensitivity(Qt::CaseSensitive);
}

bool RecordFilterText::matches(const QString& foldedTexts, const QString& numberDigits) const {
    if (folded_.isEmpty())
        return true;
    if (textMatcher_.indexIn(foldedTexts) >= 0)
        return true;
    return !digits_.isEmpty() && digitMatcher_.indexIn(numberDigits) >= 0;
}

RecordFilterEntry filterEntryOfRow(const RecordListModel& model, int row) {
    RecordFilterEntry entry;
    // The texts as the row shows them, so that what is found is what the user sees.
    const QString numberAndName = model.cellText(row, RecordListModel::ColumnNumber);
    entry.texts = numberAndName.toCaseFolded();
    for (int column : {int(RecordListModel::ColumnTime), int(RecordListModel::ColumnRemark),
                       int(RecordListModel::ColumnPath)}) {
        entry.texts.append(QLatin1Char('\n'));
        entry.texts.append(model.cellText(row, column).toCaseFolded());
    }
    // Column 4 is empty for notes: their number is not shown, and not searched either.
    if (!numberAndName.isEmpty())
        if (const CallRecord* r = model.record(row))
            entry.numberDigits = digitsOf(r->number.text());
    return entry;
}

RecordFilterProxy::RecordFilterProxy(QObject* parent) : QSortFilterProxyModel(parent) {
    // The page sorts its own rows; the filter keeps their order.
    setDynamicSortFilter(true);
    slices_ = new QTimer(this);
    slices_->setInterval(0);
    connect(slices_, &QTimer::timeout, this, &RecordFilterProxy::prepareSlice);
}

RecordFilterProxy::~RecordFilterProxy() = default;

void RecordFilterProxy::setSourceModel(QAbstractItemModel* source) {
    if (model_)
        disconnect(model_, nullptr, this, nullptr);
    model_ = qobject_cast<RecordListModel*>(source);
    rowEntries_.clear();
    entries_.clear();
    // Connected before the base class connects its own handlers, so that the kept texts are already
    // up to date when it filters the changed rows again.
    if (model_) {
        connect(model_, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
            rowEntries_.clear();
            entries_.clear();
            nextToPrepare_ = 0;
        });
        connect(model_, &QAbstractItemModel::rowsAboutToBeRemoved, this,
                [this](const QModelIndex&, int first, int last) { forgetRows(first, last); });
        connect(model_, &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex& from, const QModelIndex& to, const QList<int>& roles) {
                    if (roles.isEmpty() || roles.contains(Qt::DisplayRole))
                        forgetRows(from.row(), to.row());
                });
        connect(model_, &QAbstractItemModel::layoutChanged, this, [this] {
            rowEntries_.clear();
            nextToPrepare_ = 0;
        });
    }
    QSortFilterProxyModel::setSourceModel(source);
}

void RecordFilterProxy::forgetRows(int first, int last) {
    rowEntries_.clear();
    if (entries_.empty() || !model_)
        return;
    for (int row = std::max(first, 0); row <= last; ++row)
        entries_.erase(model_->record(row));
    nextToPrepare_ = std::min(nextToPrepare_, std::max(first, 0));
}

const RecordFilterEntry& RecordFilterProxy::entryOf(int sourceRow) const {
    const CallRecord* record = model_ ? model_->record(sourceRow) : nullptr;
    if (!record)
        return kNoEntry;
    if (size_t(sourceRow) < rowEntries_.size() && rowEntries_[size_t(sourceRow)].record == record)
        return *rowEntries_[size_t(sourceRow)].entry;
    auto it = entries_.find(record);
    if (it == entries_.end())
        it = entries_
                 .emplace(record, std::make_unique<RecordFilterEntry>(filterEntryOfRow(*model_, sourceRow)))
                 .first;
    // Rows are only ever appended, so the entries of the rows before stay where they are.
    if (rowEntries_.size() != size_t(model_->rowCount()))
        rowEntries_.resize(size_t(model_->rowCount()));
    rowEntries_[size_t(sourceRow)] = {record, it->second.get()};
    return *it->second;
}

bool RecordFilterProxy::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    if (filter_.isEmpty() || sourceParent.isValid())
        return true;
    const RecordFilterEntry& entry = entryOf(sourceRow);
    return filter_.matches(entry.texts, entry.numberDigits);
}

void RecordFilterProxy::setFilterText(const QString& typed) {
    typed_ = typed;
    filter_ = RecordFilterText(typed);
    if (filter_.isEmpty() || !model_ || entries_.size() >= size_t(model_->rowCount())) {
        apply();
        return;
    }
    // Texts are missing: make them between events, then filter.
    preparing_ = true;
    slices_->start();
}

void RecordFilterProxy::prepareSlice() {
    if (!model_) {
        slices_->stop();
        preparing_ = false;
        return;
    }
    QElapsedTimer clock;
    clock.start();
    const int rows = model_->rowCount();
    while (nextToPrepare_ < rows && clock.elapsed() < kSliceMilliseconds) {
        // Checked a few rows at a time: a row is quick unless its note line is read from the card.
        for (int i = 0; i < 64 && nextToPrepare_ < rows; ++i)
            entryOf(nextToPrepare_++);
    }
    if (nextToPrepare_ >= rows)
        apply();
}

void RecordFilterProxy::finishPreparing() {
    if (!preparing_)
        return;
    if (model_)
        for (int rows = model_->rowCount(); nextToPrepare_ < rows; ++nextToPrepare_)
            entryOf(nextToPrepare_);
    apply();
}

void RecordFilterProxy::apply() {
    slices_->stop();
    preparing_ = false;
    // A reset rather than invalidateRowsFilter(): the latter reports every run of rows that comes or
    // goes on its own, which on a big page with scattered matches costs far more than the filtering. The
    // selection goes with the reset, so no row that leaves the view stays selected behind it.
    beginResetModel();
    endResetModel();
    emit filterApplied();
}

int RecordFilterProxy::modelRow(int shownRow) const {
    const QModelIndex source = mapToSource(index(shownRow, 0));
    return source.isValid() ? source.row() : -1;
}

int RecordFilterProxy::shownRow(int modelRow) const {
    if (!model_)
        return -1;
    const QModelIndex shown = mapFromSource(model_->index(modelRow, 0));
    return shown.isValid() ? shown.row() : -1;
}

} // namespace tessa
