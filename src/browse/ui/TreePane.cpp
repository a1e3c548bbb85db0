#include "browse/ui/TreePane.h"

#include "browse/ui/Icons.h"
#include "config/Settings.h"
#include "config/StringTable.h"
#include "store/LoadSink.h"

#include <QHeaderView>
#include <QResizeEvent>
#include <QTreeWidget>

namespace tessa {
namespace {

constexpr int kPageRole = Qt::UserRole + 1;

} // namespace

TreePane::TreePane(QWidget* parent) : QWidget(parent), tree_(new QTreeWidget(this)) {
    setObjectName(QStringLiteral("dlg130"));
    tree_->setObjectName(QStringLiteral("ctl1000"));
    tree_->setHeaderHidden(true);
    tree_->setColumnCount(1);
    tree_->setIconSize(QSize(16, 16));
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item && item->data(0, kPageRole).isValid())
            emit pageSelected(item->data(0, kPageRole).toInt());
    });
}

QTreeWidgetItem* TreePane::addNode(QTreeWidgetItem* parent, int pageType, const QString& label, int image) {
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree_);
    item->setText(0, label);
    item->setIcon(0, listImage(ImageList::Tree, image));
    item->setData(0, kPageRole, pageType);
    tree_->setCurrentItem(item);
    return item;
}

void TreePane::build() {
    tree_->clear();
    auto* root = addNode(nullptr, PageRoot, readStringSetting(QStringLiteral("Device")), 12);
    auto* all = addNode(root, PageAll, text(2), 11);
    addNode(all, PageOutgoing, text(3), 1);
    addNode(all, PageIncoming, text(4), 0);
    addNode(all, PageNotes, text(5), 2);
    addNode(all, PageTriggered, text(163), 2);
    // Answering-machine messages get a node of their own so that they can be seen at all.
    addNode(all, PageAnswering, text(25), 10);
    addNode(all, PageMarked, text(105), 15);
    addNode(all, PageMissed, text(106), 22);
    addNode(all, PageQuery, text(156), 19);
    addNode(all, PageImport, text(215), 19);
    addNode(nullptr, PageDevice, text(6), 9);
    tree_->setCurrentItem(all);
    all->setExpanded(true);
    root->setExpanded(true);
}

void TreePane::setRootLabel(const QString& label) {
    if (tree_->topLevelItemCount() > 0)
        tree_->topLevelItem(0)->setText(0, label);
}

int TreePane::selectedPage() const {
    const QTreeWidgetItem* item = tree_->currentItem();
    return item && item->data(0, kPageRole).isValid() ? item->data(0, kPageRole).toInt() : -1;
}

bool TreePane::selectPage(int pageType) {
    if (selectedPage() == pageType)
        return true;
    for (QTreeWidgetItemIterator it(tree_); *it; ++it) {
        (*it)->setExpanded(true);
        if ((*it)->data(0, kPageRole).toInt() == pageType) {
            tree_->setCurrentItem(*it);
            return true;
        }
    }
    return false;
}

void TreePane::resizeEvent(QResizeEvent* event) {
    tree_->setGeometry(1, 1, event->size().width() - 2, event->size().height() - 2);
}

} // namespace tessa
