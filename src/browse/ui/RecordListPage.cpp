#include "browse/ui/RecordListPage.h"

#include "browse/Commands.h"
#include "browse/RecordFilter.h"
#include "browse/RecordListModel.h"
#include "browse/ui/Icons.h"
#include "browse/ui/RecordFilterBox.h"
#include "store/AppState.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QIdentityProxyModel>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolTip>
#include <QVBoxLayout>

namespace tessa {
namespace {

// Turns the model's image numbers into the icons of the row image list, and its cell colours into the
// view's brushes. Cells in the default colours leave them to the palette.
class RowIcons : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override {
        switch (role) {
        case Qt::DecorationRole: {
            const QVariant image = QIdentityProxyModel::data(index, RecordListModel::ImageRole);
            if (!image.isValid() || image.toInt() < 0)
                return {};
            return listImage(ImageList::Row, image.toInt());
        }
        case Qt::BackgroundRole: {
            const uint rgb = QIdentityProxyModel::data(index, RecordListModel::BackgroundColourRole).toUInt();
            return rgb == RecordListModel::kWindowColour ? QVariant() : QVariant(QColor(QRgb(rgb)));
        }
        case Qt::ForegroundRole: {
            const uint rgb = QIdentityProxyModel::data(index, RecordListModel::TextColourRole).toUInt();
            return rgb == RecordListModel::kWindowTextColour ? QVariant() : QVariant(QColor(QRgb(rgb)));
        }
        default:
            return QIdentityProxyModel::data(index, role);
        }
    }
};

// Draws a cell's own background even when its row is selected, so that the row that plays stays visible
// as the selection follows it; and shows the whole text of a cell too narrow for it as its tooltip.
class RowCells : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.data(Qt::BackgroundRole).isValid())
            option->state &= ~QStyle::State_Selected;
    }

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
        if (event->type() != QEvent::ToolTip || !index.isValid())
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        if (textIsCut(cell, view))
            QToolTip::showText(event->globalPos(), cell.text, view->viewport(), cell.rect);
        else
            QToolTip::hideText();
        return true;
    }

private:
    static bool textIsCut(const QStyleOptionViewItem& cell, const QAbstractItemView* view) {
        if (cell.text.isEmpty())
            return false;
        const QStyle* style = view->style();
        const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &cell, view);
        // The style keeps a margin on each side of the text.
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
        return cell.fontMetrics.horizontalAdvance(cell.text) > textRect.width() - 2 * margin;
    }
};

} // namespace

RecordListPage::RecordListPage(int pageType, AppState& state, QWidget* parent)
    : QWidget(parent), pageType_(pageType), state_(state), model_(new RecordListModel(pageType, this)),
      icons_(new RowIcons(this)), table_(new QTableView(this)) {
    setObjectName(QStringLiteral("page%1").arg(pageType));
    table_->setObjectName(QStringLiteral("ctl1001"));
    // model -> filter -> icons -> table: every view row is turned back into a model row through both.
    filter_ = new RecordFilterProxy(this);
    filter_->setSourceModel(model_);
    icons_->setSourceModel(filter_);
    filterBox_ = new RecordFilterBox(*filter_, this);
    connect(filterBox_, &RecordFilterBox::playRequested, this, [this] { emit command(CmdPlay); });
    table_->setModel(icons_);
    table_->setItemDelegate(new RowCells(table_));
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setShowGrid(true);
    table_->setWordWrap(false);
    table_->setIconSize(QSize(16, 16));
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(20);
    table_->horizontalHeader()->setSectionsClickable(true);
    table_->horizontalHeader()->setHighlightSections(false);
    table_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The header shows the column the rows are sorted by and the direction; none until a sort.
    table_->horizontalHeader()->setSortIndicatorShown(true);
    table_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    table_->setContextMenuPolicy(Qt::CustomContextMenu);
    table_->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(filterBox_);
    layout->addWidget(table_);

    model_->setModelCode(state_.modelCode);
    applyStoredWidths();

    connect(table_->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        model_->sortByColumnClick(column);
        showSortIndicator();
    });
    // Rows added or set anew leave the list unsorted: the next click sorts ascending again.
    connect(model_, &QAbstractItemModel::rowsInserted, this, &RecordListPage::showSortIndicator);
    connect(model_, &QAbstractItemModel::modelReset, this, &RecordListPage::showSortIndicator);
    connect(model_, &QAbstractItemModel::dataChanged, this, &RecordListPage::showSortIndicator);
    // A double click plays the row under the mouse; one on the empty space below the rows plays nothing.
    connect(table_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            emit command(CmdPlay);
    });
    connect(table_, &QTableView::clicked, this, [this](const QModelIndex& index) {
        // The mark command is posted, so the click has finished selecting the row first.
        if (index.isValid() && index.column() == RecordListModel::ColumnMark)
            QMetaObject::invokeMethod(
                this, [this] { emit command(CmdMark); }, Qt::QueuedConnection);
    });
    connect(table_, &QTableView::customContextMenuRequested, this,
            [this](const QPoint& pos) { emit contextMenuRequested(table_->viewport()->mapToGlobal(pos)); });
}

RecordListPage::~RecordListPage() {
    // The all-records page keeps the column widths for the next start.
    if (pageType_ == 1)
        RecordListModel::saveColumnWidths(columnWidths());
}

void RecordListPage::applyStoredWidths() {
    const std::vector<int> stored = RecordListModel::loadColumnWidths();
    for (int column = 0; column < RecordListModel::kColumnCount; ++column) {
        const int width = column < int(stored.size()) ? stored[size_t(column)] : -1;
        if (width < 0) {
            table_->setColumnWidth(column, RecordListModel::defaultColumnWidth(column));
            table_->resizeColumnToContents(column);
        } else {
            table_->setColumnWidth(column, width);
        }
    }
}

void RecordListPage::showSortIndicator() {
    QHeaderView* header = table_->horizontalHeader();
    const int column = model_->sortColumn();
    const Qt::SortOrder order = model_->sortAscending() ? Qt::AscendingOrder : Qt::DescendingOrder;
    if (header->sortIndicatorSection() != column || header->sortIndicatorOrder() != order)
        header->setSortIndicator(column, order);
}

int RecordListPage::rowCount() const {
    return model_->rowCount();
}

std::vector<int> RecordListPage::selectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows())
        if (const int row = modelRowOf(index); row >= 0)
            rows.push_back(row);
    std::sort(rows.begin(), rows.end());
    return rows;
}

void RecordListPage::selectRow(int row) {
    // A model row; a row the filter hides is not selected.
    const QModelIndex at = icons_->mapFromSource(filter_->mapFromSource(model_->index(row, 0)));
    if (!at.isValid())
        return;
    table_->selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect |
                                                      QItemSelectionModel::Rows);
    table_->scrollTo(at);
}

int RecordListPage::modelRowOf(const QModelIndex& viewIndex) const {
    const QModelIndex shown = icons_->mapToSource(viewIndex);
    return shown.isValid() ? filter_->modelRow(shown.row()) : -1;
}

int RecordListPage::playRow() const {
    const std::vector<int> selected = selectedRows();
    if (!selected.empty())
        return selected.front();
    const int first = filter_->modelRow(0);
    return first >= 0 ? first : 0;
}

std::vector<int> RecordListPage::columnWidths() const {
    std::vector<int> widths;
    for (int column = 0; column < RecordListModel::kColumnCount; ++column)
        widths.push_back(table_->columnWidth(column));
    return widths;
}

void RecordListPage::setModelCode(int modelCode) {
    model_->setModelCode(modelCode);
    const int width = model_->modelColumnWidth();
    table_->setColumnHidden(RecordListModel::ColumnRemark, width == 0);
    if (width > 0)
        table_->setColumnWidth(RecordListModel::ColumnRemark, width);
}

void RecordListPage::relabel() {
    model_->relabel();
    filterBox_->relabel();
}

bool RecordListPage::eventFilter(QObject* watched, QEvent* event) {
    // Enter and Escape never close the page; Enter plays the selected row.
    if (watched == table_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (!key->isAutoRepeat())
                emit command(CmdPlay);
            return true;
        }
        if (key->key() == Qt::Key_Escape)
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tessa
