#pragma once

// The navigation tree on the left of the main view: fixed nodes, one per page type.

#include <QWidget>

class QTreeWidget;
class QTreeWidgetItem;

namespace tessa {

class TreePane : public QWidget {
    Q_OBJECT
public:
    explicit TreePane(QWidget* parent = nullptr);

    // Builds the nodes and selects each as it is inserted, ending on page type 1 with it and the root
    // expanded. Every selection is reported through pageSelected.
    void build();
    void setRootLabel(const QString& label);
    // Selects the first node of the page type, walking the visible items and expanding them; false when
    // no node has that page type (the selection then stays).
    bool selectPage(int pageType);
    int selectedPage() const;
    QTreeWidget* tree() const { return tree_; }

signals:
    void pageSelected(int pageType);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QTreeWidgetItem* addNode(QTreeWidgetItem* parent, int pageType, const QString& label, int image);

    QTreeWidget* tree_;
};

} // namespace tessa
