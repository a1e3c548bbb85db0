#include "browse/ui/CommandKeys.h"

#include "browse/Commands.h"

#include <QAction>

namespace tessa {

QKeySequence commandKey(int commandId) {
    switch (commandId) {
    case CmdPlay:
        return QKeySequence(Qt::Key_Return);
    case CmdDelete:
        return QKeySequence(QKeySequence::Delete);
    case CmdMark:
        return QKeySequence(Qt::CTRL | Qt::Key_M);
    case CmdRefresh:
        return QKeySequence(Qt::Key_F5);
    default:
        return {};
    }
}

void bindCommandKey(QAction& action, int commandId) {
    const QKeySequence key = commandKey(commandId);
    if (key.isEmpty())
        return;
    QString label = action.text();
    label.remove(QLatin1Char('&'));
    action.setToolTip(QStringLiteral("%1 (%2)").arg(label, key.toString(QKeySequence::NativeText)));
    if (commandId != CmdPlay) {
        action.setShortcut(key);
        action.setShortcutContext(Qt::WindowShortcut);
    }
}

QString menuTextWithKey(const QString& label, int commandId) {
    const QKeySequence key = commandKey(commandId);
    if (key.isEmpty())
        return label;
    return label + QLatin1Char('\t') + key.toString(QKeySequence::NativeText);
}

} // namespace tessa
