#pragma once

// The keys of the record commands: Enter plays the selected row, Delete deletes, Ctrl+M marks, F5
// refreshes. Toolbar buttons carry them as shortcuts of the window and name them in their tooltips;
// context menu entries show them beside their text.

#include <QKeySequence>
#include <QString>

class QAction;

namespace tessa {

// The key of a command; empty when it has none.
QKeySequence commandKey(int commandId);

// A toolbar action: its tooltip names the key, and the key triggers it while the toolbar is shown.
// Enter is only named: the record page plays on it itself, so that Enter keeps its meaning in the
// window's other parts and dialogs.
void bindCommandKey(QAction& action, int commandId);

// A context menu entry's text with its key beside it (the menu's shortcut column); the entry gets no
// shortcut of its own, so that Enter still picks the highlighted entry.
QString menuTextWithKey(const QString& label, int commandId);

} // namespace tessa
