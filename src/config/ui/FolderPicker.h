#pragma once

#include <QString>

class QWidget;

namespace tessa {

// Lets the user choose a folder, starting at initialFolder. True when the user confirmed; the chosen
// folder then ends with a separator (it is empty when the choice has no file-system path). withEditBox
// asks for the dialog that also takes a typed path and can create folders.
bool pickFolder(QWidget* parent, const QString& initialFolder, bool withEditBox, QString* chosen);

} // namespace tessa
