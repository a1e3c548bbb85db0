#pragma once

// The main view: the navigation tree on the left, and on the right the page of the selected node with the
// toolbars and the player pane. It receives the record commands of toolbars, menus and pages.

#include <array>
#include <QWidget>

class QLabel;
class QToolBar;
class QToolButton;

namespace tessa {

struct AppState;
class ParametersPage;
class PhonebookPage;
class RecordListPage;
class TreePane;

class MainView : public QWidget {
    Q_OBJECT
public:
    explicit MainView(AppState& state, QWidget* parent = nullptr);

    // Switches the right-hand side to the page of the type and reports it through statusReport.
    void showPage(int pageType);
    int currentPageType() const { return currentPage_; }
    void setRootLabel(const QString& label);
    // The model whose records the ten record lists show: the VX5 shows the remark column (7).
    void setModelCode(int modelCode);
    // The record list page of a page type 1-10, or null.
    RecordListPage* page(int pageType) const;
    // The record list page on view, or null when the current page is not a record list.
    RecordListPage* currentRecordPage() const { return page(currentPage_); }
    void relabel();

    TreePane* treePane() const { return tree_; }
    QToolBar* recordToolbar() const { return recordToolbar_; }
    QToolBar* importToolbar() const { return importToolbar_; }
    QWidget* webPane() const { return webPane_; }
    QWidget* playerPane() const { return playerPane_; }
    ParametersPage* parametersPage() const { return parametersPage_; }
    PhonebookPage* phonebookPage() const { return phonebookPage_; }
    // Replaces the player placeholder with the real player pane (the view takes ownership).
    void setPlayerPane(QWidget* player);

public slots:
    // Routes a record command (toolbars, menus, pages).
    void onCommand(int commandId);

signals:
    void statusReport(int pageType, int rowCount);
    // A command this view passes on to its owners (play, delete, query, ...).
    void commandRequested(int commandId);
    // The drop-down arrow of a toolbar button was pressed; the menu belongs under the button.
    void dropDownRequested(int commandId, QToolButton* button);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QToolBar* buildToolbar(const QString& name, const std::vector<std::tuple<int, int, int, bool>>& buttons);
    void buildWebPane();
    void layoutParts();

    AppState& state_;
    TreePane* tree_ = nullptr;
    QToolBar* recordToolbar_ = nullptr;
    QToolBar* importToolbar_ = nullptr;
    QWidget* webPane_ = nullptr;
    QLabel* webLink_ = nullptr;
    std::array<RecordListPage*, 10> pages_{};
    QWidget* playerPane_ = nullptr;
    ParametersPage* parametersPage_ = nullptr;
    PhonebookPage* phonebookPage_ = nullptr;
    int currentPage_ = 1;
    bool switching_ = false;
};

} // namespace tessa
