#include "browse/ui/RecordListPage.h"

#include "browse/Commands.h"
#include "browse/RecordListModel.h"
#include "browse/ui/Icons.h"
#include "store/AppState.h"

#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QKeyEvent>
#include <QTableView>
#include <QVBoxLayout>

namespace tessa {
namespace {

// Turns the model's image numbers into the icons of the row image list.
class RowIcons : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::DecorationRole) {
            const QVariant image = QIdentityProxyModel::data(index, RecordListModel::ImageRole);
            if (!image.isValid() || image.toInt() < 0)
                return {};
            return listImage(ImageList::Row, image.toInt());
        }
        return QIdentityProxyModel::data(index, role);
    }
};

} // namespace

RecordListPage::RecordListPage(int pageType, AppState& state, QWidget* parent)
    : QWidget(parent), pageType_(pageType), state_(state), model_(new RecordListModel(pageType, this)),
      icons_(new RowIcons(this)), table_(new QTableView(this)) {
    setObjectName(QStringLiteral("page%1").arg(pageType));
    table_->setObjectName(QStringLiteral("ctl1001"));
    icons_->setSourceModel(model_);
    table_->setModel(icons_);
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
    table_->setContextMenuPolicy(Qt::CustomContextMenu);
    table_->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(table_);

    model_->setModelCode(state_.modelCode);
    applyStoredWidths();

    connect(table_->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int column) { model_->sortByColumnClick(column); });
    connect(table_, &QTableView::doubleClicked, this, [this] { emit command(CmdPlay); });
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

int RecordListPage::rowCount() const {
    return model_->rowCount();
}

std::vector<int> RecordListPage::selectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
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
