#pragma once

// The record commands of the main view: the busy guard, the context menus of the record list pages and
// the toolbar drop-down menus, delete and the mark toggle.

#include <functional>
#include <QObject>
#include <set>

class QMenu;
class QPoint;
class QToolButton;
class QWidget;

namespace tessa {

struct AppState;
class MainView;
class RecordListPage;

class RecordCommands : public QObject {
    Q_OBJECT
public:
    RecordCommands(MainView& view, AppState& state, QWidget* dialogParent);

    // Commands whose features have landed; menus show the others disabled.
    void setAvailable(int commandId, bool available);
    bool available(int commandId) const { return available_.count(commandId) != 0; }

    // Handles a record command; false when it is not one of these.
    bool handle(int commandId);

    // Shows the message of a refused command and returns true while a call log loads or lists.
    bool refuseWhileBusy();

    // Builds the context menu of a page (entries, separators, grey states) without showing it.
    void fillContextMenu(QMenu& menu, int pageType, bool hasSelection);
    // Fills the drop-down menu of a toolbar button.
    void fillDropDown(QMenu& menu, int commandId);

    void deleteSelected();
    void toggleMarks();

    // Hooks to the window for what lies outside the view.
    std::function<void()> refresh;

signals:
    void command(int commandId);

private:
    void showContextMenu(RecordListPage* page, const QPoint& globalPos);
    void updateOtherPages(int sourcePage, struct CallRecord* record);
    void reportWriteFailure(int captionText);

    MainView& view_;
    AppState& state_;
    QWidget* dialogParent_;
    std::set<int> available_;
};

} // namespace tessa
