#include "browse/RecordListModel.h"

#include "audio/NoteLine.h"
#include "config/Settings.h"
#include "config/StringTable.h"
#include "format/CardRecord.h"
#include "format/ContainerHeader.h"
#include "platform/CodePage.h"
#include "platform/ConfinedFiles.h"
#include "platform/NativePath.h"
#include "store/LoadSink.h"
#include "store/RecordingFiles.h"
#include "store/Remark.h"

namespace tessa {
namespace {

constexpr int kDefaultWidths[RecordListModel::kColumnCount] = {40, 40, 120, 180, 150, 120, 120, 120, 300};
constexpr int kModelColumnWidth = 120;

constexpr uint32_t kFirstCallType = CallIncoming;
constexpr uint32_t kLastCallType = CallAnswering;
// Images of call types 2-8 in the row image list.
constexpr int kCallTypeImages[] = {0, 21, 1, 2, 14, 2, 10};

// The code page of a note is judged on as many bytes as a remark holds.
constexpr qsizetype kJudgedBytes = qsizetype(RemarkLayout::kTextSize);

// Cells that are made on demand: a bit per column for the text, and one for column 1's image.
constexpr uint16_t textBit(int column) {
    return uint16_t(1u << column);
}
constexpr uint16_t kFileImageBit = uint16_t(1u << RecordListModel::kColumnCount);

bool validColumn(int column) {
    return column >= 0 && column < RecordListModel::kColumnCount;
}

QString durationText(int32_t seconds) {
    return QString::asprintf("%02d:%02d:%02d", seconds / 3600, (seconds % 3600) / 60, seconds % 60);
}

// Looked at through the file layer without opening anything, so that a link leading off the card or a
// FIFO shows no recording and never holds up the drawing of its row. A folder, such as a card root, is
// not a recording either.
bool recordingPresent(const QString& path, platform::Area area) {
    if (path.isEmpty() || path.contains(QStringLiteral(".tmp")))
        return false;
    const QString native = platform::nativePath(path);
    if (native.isEmpty())
        return false;
    const platform::FileStatus status = platform::statFile(native, area);
    return status.error == platform::FileError::None && status.kind == platform::EntryKind::File;
}

// A note longer than a remark is still judged on its first 32 bytes, then converted whole.
QString noteText(const QByteArray& note) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(note.constData());
    return remarkCodePage(bytes, size_t(std::min(note.size(), kJudgedBytes)))
        .decode(note)
        .left(kMaxRemarkCharacters);
}

QString remarkName(const CallRecord& record, const QString& path, platform::Area area) {
    if (hasRemark(record))
        return cardRemark(record);
    if (!isContainerPath(path))
        return {};
    const auto note = readNoteLine(path, area);
    return note ? noteText(*note) : QString();
}

} // namespace

// What a row keeps beyond its record, made only for the few rows that need it: colours set by the
// player, texts or images set from outside, the remark once drawn.
struct RecordListModel::RowExtras {
    std::array<uint32_t, kColumnCount> textColour;
    std::array<uint32_t, kColumnCount> background;
    std::array<QString, kColumnCount> text;
    uint16_t ownText = 0; // a bit per column whose text is held here
    std::array<int8_t, kColumnCount> image;
    uint16_t ownImage = 0; // a bit per column whose image is held here
    RowExtras() {
        textColour.fill(kWindowTextColour);
        background.fill(kWindowColour);
        image.fill(int8_t(kNoImage));
    }
};

// A row is small: its texts are made from the record when drawn or sorted, so that 100 000 rows cost
// little more than their records. Only what needs the file system is kept once made.
struct RecordListModel::Row {
    CallRecord* record = nullptr;
    const RecordGeneration* generation = nullptr; // the lease listed under, held in leases_; or null
    uint32_t recordingLength = 0; // column 6 once made: the file's own length, 0 when it gives none
    uint16_t pending = 0;         // columns whose file-system part is still to be made
    int8_t markImage = int8_t(kNoImage);
    int8_t fileImage = int8_t(kNoImage);
    std::unique_ptr<RowExtras> extras;
    RowExtras& ensureExtras() {
        if (!extras)
            extras = std::make_unique<RowExtras>();
        return *extras;
    }
};

RecordListModel::RecordListModel(int pageType, QObject* parent)
    : RecordListModel(pageType, ListDateTime::system(), parent) {}

RecordListModel::RecordListModel(int pageType, const ListDateTime& dates, QObject* parent)
    : QAbstractTableModel(parent), pageType_(pageType), dates_(dates) {
    readLabels();
}

RecordListModel::~RecordListModel() {
    releaseLeases();
}

void RecordListModel::holdLease(const RecordLease& lease) {
    for (const RecordLease& held : leases_)
        if (held == lease)
            return;
    lease->hold(this);
    leases_.push_back(lease);
}

void RecordListModel::releaseLeases() {
    for (const RecordLease& lease : leases_)
        lease->release(this);
    leases_.clear();
}

void RecordListModel::readLabels() {
    titles_ = {text(15), text(196), text(16), text(11), text(12), text(13), text(14), text(214), text(26)};
    callTypeTexts_ = {text(18), text(19), text(20), text(21), text(22), text(23), text(24)};
}

int RecordListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int RecordListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

// Rows of the card and backup views name card or backup files; imported rows name files the user picked.
platform::Area RecordListModel::recordingArea() const {
    return pageType_ == PageImport ? platform::Area::User : platform::Area::CardOrBackup;
}

RecordListModel::Row* RecordListModel::rowAt(int row) const {
    return row >= 0 && size_t(row) < rows_.size() ? const_cast<Row*>(&rows_[size_t(row)]) : nullptr;
}

QString RecordListModel::textOf(Row& row, int column) const {
    if (row.extras && (row.extras->ownText & textBit(column)))
        return row.extras->text[size_t(column)];
    const CallRecord* record = row.record;
    if (!record)
        return {};
    const uint32_t type = record->callType;
    switch (column) {
    case ColumnCallType:
        return type >= kFirstCallType && type <= kLastCallType ? callTypeTexts_[type - kFirstCallType]
                                                               : QString();
    case ColumnTime:
        return dates_.format(record->time);
    case ColumnNumber:
        return isNoteType(type) ? QString() : record->number.text() + QLatin1Char(' ') + record->name.text();
    case ColumnCallDuration:
        return durationText(int32_t(record->callDuration.get()));
    case ColumnRecordingLength: {
        if (row.pending & textBit(ColumnRecordingLength)) {
            row.pending &= uint16_t(~textBit(ColumnRecordingLength));
            row.recordingLength = displayLength(record->fullPath.text(), recordingArea());
        }
        const uint32_t length = row.recordingLength;
        return durationText(int32_t(length != 0 ? length : uint32_t(record->recordingDuration)));
    }
    case ColumnRemark: {
        if (!(row.pending & textBit(ColumnRemark)))
            return {};
        // Kept once made: it may mean reading the container recording.
        row.pending &= uint16_t(~textBit(ColumnRemark));
        RowExtras& extras = row.ensureExtras();
        extras.text[ColumnRemark] = remarkName(*record, record->fullPath.text(), recordingArea());
        extras.ownText |= textBit(ColumnRemark);
        return extras.text[ColumnRemark];
    }
    case ColumnPath:
        return record->fullPath.text();
    default:
        return {};
    }
}

int RecordListModel::imageOf(Row& row, int column) const {
    if (row.extras && (row.extras->ownImage & textBit(column)))
        return row.extras->image[size_t(column)];
    switch (column) {
    case ColumnMark:
        return row.markImage;
    case ColumnFile:
        if (row.pending & kFileImageBit) {
            row.pending &= uint16_t(~kFileImageBit);
            row.fileImage = int8_t(
                row.record && recordingPresent(row.record->fullPath.text(), recordingArea()) ? kFileImage
                                                                                             : kNoImage);
        }
        return row.fileImage;
    case ColumnCallType: {
        const uint32_t type = row.record ? uint32_t(row.record->callType) : 0;
        return type >= kFirstCallType && type <= kLastCallType ? kCallTypeImages[type - kFirstCallType]
                                                               : kNoImage;
    }
    default:
        return kNoImage;
    }
}

QVariant RecordListModel::data(const QModelIndex& index, int role) const {
    Row* row = index.isValid() ? rowAt(index.row()) : nullptr;
    const int column = index.column();
    if (!row || !validColumn(column))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return textOf(*row, column);
    case ImageRole:
        return imageOf(*row, column);
    case TextColourRole:
        return uint(row->extras ? row->extras->textColour[size_t(column)] : kWindowTextColour);
    case BackgroundColourRole:
        return uint(row->extras ? row->extras->background[size_t(column)] : kWindowColour);
    case Qt::TextAlignmentRole:
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant RecordListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || !validColumn(section))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return titles_[size_t(section)];
    case DefaultWidthRole:
        return kDefaultWidths[section];
    case Qt::TextAlignmentRole:
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

Qt::ItemFlags RecordListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void RecordListModel::appendRows(const std::vector<CallRecord*>& records, const RecordLease& lease) {
    // Rows posted by a worker may arrive after their collection let the records go.
    if (lease && !lease->alive())
        return;
    const auto count = std::count_if(records.begin(), records.end(), [](const CallRecord* r) { return r; });
    if (count == 0)
        return;
    if (lease)
        holdLease(lease);
    const int first = int(rows_.size());
    beginInsertRows({}, first, first + int(count) - 1);
    // Pages fill in chunks: growing by what each chunk needs would move every row again for every chunk.
    if (rows_.capacity() < rows_.size() + size_t(count))
        rows_.reserve(std::max(rows_.size() + size_t(count), rows_.capacity() * 2));
    for (CallRecord* record : records) {
        if (!record)
            continue;
        Row row;
        row.record = record;
        row.generation = lease.get();
        if (record->marked == 1)
            row.markImage = int8_t(kMarkedImage);
        row.pending = kFileImageBit | textBit(ColumnRecordingLength);
        if (modelCode_ == ModelVX5)
            row.pending |= textBit(ColumnRemark);
        rows_.push_back(std::move(row));
    }
    // The index of records to rows is made when first asked for: listing need not pay for it.
    rowIndexStale_ = true;
    // Before the views hear of the rows: what they show of the sort must already be reset.
    resetSortState();
    endInsertRows();
}

void RecordListModel::clear() {
    beginResetModel();
    rows_.clear();
    rowIndex_.clear();
    rowIndexStale_ = false;
    endResetModel();
    releaseLeases();
}

void RecordListModel::generationEnded(const RecordGeneration& generation) {
    const auto under = [&generation](const Row& row) { return row.generation == &generation; };
    if (std::any_of(rows_.begin(), rows_.end(), under)) {
        beginResetModel();
        std::erase_if(rows_, under);
        rowIndexStale_ = true;
        endResetModel();
    }
    // The lease goes last: the rows dropped above pointed at it.
    std::erase_if(leases_, [&generation](const RecordLease& lease) { return lease.get() == &generation; });
}

void RecordListModel::recordFreeing(const CallRecord& record) {
    for (int row = rowOf(&record); row >= 0; row = rowOf(&record))
        removeRow(row);
}

bool RecordListModel::removeRows(int row, int count, const QModelIndex& parent) {
    if (parent.isValid() || row < 0 || count <= 0 || size_t(row) + size_t(count) > rows_.size())
        return false;
    beginRemoveRows({}, row, row + count - 1);
    if (rowIndexStale_) {
        rows_.erase(rows_.begin() + row, rows_.begin() + row + count);
        endRemoveRows();
        return true;
    }
    for (int i = row; i < row + count; ++i) {
        const auto it = rowIndex_.find(rows_[size_t(i)].record);
        if (it != rowIndex_.end() && *it >= row && *it < row + count)
            rowIndex_.erase(it);
    }
    rows_.erase(rows_.begin() + row, rows_.begin() + row + count);
    // Rows after the gap move up; a record that also appeared in the gap is now first found here.
    for (size_t i = size_t(row); i < rows_.size(); ++i) {
        const CallRecord* record = rows_[i].record;
        const auto it = rowIndex_.find(record);
        if (it == rowIndex_.end())
            rowIndex_.insert(record, int(i));
        else if (*it == int(i) + count)
            *it = int(i);
    }
    endRemoveRows();
    return true;
}

CallRecord* RecordListModel::record(int row) const {
    const Row* r = rowAt(row);
    return r ? r->record : nullptr;
}

RecordLease RecordListModel::leaseOf(int row) const {
    const Row* r = rowAt(row);
    if (!r || !r->generation)
        return {};
    for (const RecordLease& lease : leases_)
        if (lease.get() == r->generation)
            return lease;
    return {};
}

int RecordListModel::rowOf(const CallRecord* record) const {
    if (rowIndexStale_)
        rebuildRowIndex();
    return rowIndex_.value(record, -1);
}

QString RecordListModel::cellText(int row, int column) const {
    Row* r = rowAt(row);
    if (!r || !validColumn(column))
        return {};
    return textOf(*r, column);
}

int RecordListModel::cellImage(int row, int column) const {
    Row* r = rowAt(row);
    if (!r || !validColumn(column))
        return kNoImage;
    return imageOf(*r, column);
}

uint32_t RecordListModel::cellTextColour(int row, int column) const {
    const Row* r = rowAt(row);
    return r && r->extras && validColumn(column) ? r->extras->textColour[size_t(column)] : kWindowTextColour;
}

uint32_t RecordListModel::cellBackground(int row, int column) const {
    const Row* r = rowAt(row);
    return r && r->extras && validColumn(column) ? r->extras->background[size_t(column)] : kWindowColour;
}

void RecordListModel::setCellText(int row, int column, const QString& text) {
    Row* r = rowAt(row);
    if (!r || !validColumn(column))
        return;
    r->pending &= uint16_t(~textBit(column));
    RowExtras& extras = r->ensureExtras();
    extras.text[size_t(column)] = text;
    extras.ownText |= textBit(column);
    resetSortState();
    const QModelIndex at = index(row, column);
    emit dataChanged(at, at, {Qt::DisplayRole});
}

void RecordListModel::setCellImage(int row, int column, int image) {
    Row* r = rowAt(row);
    if (!r || !validColumn(column))
        return;
    const int8_t value = int8_t(image < 0 || image > 127 ? kNoImage : image);
    if (column == ColumnMark) {
        r->markImage = value;
    } else if (column == ColumnFile) {
        r->pending &= uint16_t(~kFileImageBit);
        r->fileImage = value;
    } else {
        RowExtras& extras = r->ensureExtras();
        extras.image[size_t(column)] = value;
        extras.ownImage |= textBit(column);
    }
    const QModelIndex at = index(row, column);
    emit dataChanged(at, at, {ImageRole});
}

void RecordListModel::setCellColours(int row, int column, uint32_t textRgb, uint32_t backgroundRgb) {
    if (rows_.empty() || (row != -1 && !rowAt(row)) || (column != -1 && !validColumn(column)))
        return;
    const int firstRow = row == -1 ? 0 : row, lastRow = row == -1 ? int(rows_.size()) - 1 : row;
    const int firstColumn = column == -1 ? 0 : column, lastColumn = column == -1 ? kColumnCount - 1 : column;
    for (int r = firstRow; r <= lastRow; ++r)
        for (int c = firstColumn; c <= lastColumn; ++c) {
            Row& at = rows_[size_t(r)];
            // Default colours need no extras where there are none.
            if (!at.extras && textRgb == kWindowTextColour && backgroundRgb == kWindowColour)
                continue;
            RowExtras& extras = at.ensureExtras();
            extras.textColour[size_t(c)] = textRgb;
            extras.background[size_t(c)] = backgroundRgb;
        }
    emit dataChanged(index(firstRow, firstColumn), index(lastRow, lastColumn),
                     {TextColourRole, BackgroundColourRole});
}

void RecordListModel::setRowBackground(int row, uint32_t backgroundRgb) {
    Row* r = rowAt(row);
    if (!r)
        return;
    if (!r->extras && backgroundRgb == kWindowColour)
        return;
    r->ensureExtras().background.fill(backgroundRgb);
    emit dataChanged(index(row, 0), index(row, kColumnCount - 1), {BackgroundColourRole});
}

void RecordListModel::relabel() {
    readLabels();
    emit headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
    if (rows_.empty())
        return;
    // The call-type texts are read anew when drawn; the remark is made again.
    for (Row& row : rows_) {
        if (!row.record)
            continue;
        if (row.extras)
            row.extras->ownText &= uint16_t(~(textBit(ColumnCallType) | textBit(ColumnRemark)));
        if (modelCode_ == ModelVX5)
            row.pending |= textBit(ColumnRemark);
    }
    resetSortState();
    emit dataChanged(index(0, ColumnCallType), index(int(rows_.size()) - 1, ColumnRemark), {Qt::DisplayRole});
}

void RecordListModel::resetSortState() {
    sortColumn_ = -1;
    ascending_ = true;
}

bool RecordListModel::sortByColumnClick(int column) {
    const bool ascending = column == sortColumn_ ? !ascending_ : true;
    return sortRows(column, ascending);
}

void RecordListModel::sort(int column, Qt::SortOrder order) {
    sortRows(column, order == Qt::AscendingOrder);
}

bool RecordListModel::sortRows(int column, bool ascending) {
    if (!validColumn(column) || rows_.empty() || sorting_)
        return false;
    sorting_ = true;
    sortColumn_ = column;
    ascending_ = ascending;

    std::vector<SortKey> keys;
    keys.reserve(rows_.size());
    // The keys point at their texts, which live only as long as the sort.
    std::vector<QString> texts;
    texts.reserve(rows_.size());
    for (Row& row : rows_)
        texts.push_back(textOf(row, column));
    for (const QString& text : texts)
        keys.push_back(sortKeyOf(text, dates_));
    const std::vector<int> order = sortedRowOrder(keys, ascending);
    keys.clear();
    texts.clear();

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<Row> sorted;
    sorted.reserve(rows_.size());
    std::vector<int> newRowOf(rows_.size());
    for (size_t i = 0; i < order.size(); ++i) {
        sorted.push_back(std::move(rows_[size_t(order[i])]));
        newRowOf[size_t(order[i])] = int(i);
    }
    rows_ = std::move(sorted);
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& old : from)
        to.append(index(newRowOf[size_t(old.row())], old.column()));
    changePersistentIndexList(from, to);
    rowIndexStale_ = true;
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);

    sorting_ = false;
    return true;
}

void RecordListModel::rebuildRowIndex() const {
    rowIndexStale_ = false;
    rowIndex_.clear();
    rowIndex_.reserve(qsizetype(rows_.size()));
    for (size_t i = 0; i < rows_.size(); ++i)
        if (!rowIndex_.contains(rows_[i].record))
            rowIndex_.insert(rows_[i].record, int(i));
}

int RecordListModel::defaultColumnWidth(int column) {
    return validColumn(column) ? kDefaultWidths[column] : 0;
}

int RecordListModel::modelColumnWidth() const {
    return modelCode_ == ModelVX5 ? kModelColumnWidth : 0;
}

std::vector<int> RecordListModel::loadColumnWidths() {
    std::vector<int> widths(kColumnCount);
    for (int i = 0; i < kColumnCount; ++i)
        widths[size_t(i)] = readIntSetting(QStringLiteral("ListWndColumn%1").arg(i + 1));
    return widths;
}

std::vector<int> RecordListModel::startColumnWidths() const {
    std::vector<int> widths = loadColumnWidths();
    widths[ColumnRemark] = modelColumnWidth();
    return widths;
}

bool RecordListModel::saveColumnWidths(const std::vector<int>& widths) {
    bool ok = true;
    for (int i = 0; i < kColumnCount && size_t(i) < widths.size(); ++i)
        ok = writeIntSetting(QStringLiteral("ListWndColumn%1").arg(i + 1), widths[size_t(i)]) && ok;
    return ok;
}

} // namespace tessa
