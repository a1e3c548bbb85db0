#include "config/ui/FolderPicker.h"

#include <QDir>
#include <QFileDialog>

namespace tessa {

bool pickFolder(QWidget* parent, const QString& initialFolder, bool withEditBox, QString* chosen) {
    QString start = initialFolder;
    if (start.size() > 1 && (start.endsWith(QLatin1Char('/')) || start.endsWith(QLatin1Char('\\'))))
        start.chop(1);

    QFileDialog dialog(parent, QStringLiteral("TessaDevice Backup Folder"), start);
    dialog.setObjectName(QStringLiteral("folderPicker"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (!withEditBox)
        dialog.setOption(QFileDialog::ReadOnly, true); // no new-folder button
    if (!start.isEmpty())
        dialog.selectFile(start);
    if (dialog.exec() != QDialog::Accepted)
        return false;

    QString folder;
    const QStringList files = dialog.selectedFiles();
    if (!files.isEmpty() && !files.first().isEmpty()) {
        folder = QDir::toNativeSeparators(files.first());
        if (!folder.endsWith(QDir::separator()))
            folder += QDir::separator();
    }
    if (chosen)
        *chosen = folder;
    return true;
}

} // namespace tessa
