#include "backup/ui/BackupPathDialog.h"

#include "config/Settings.h"
#include "config/StringTable.h"
#include "config/ui/FolderPicker.h"
#include "platform/NativePath.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tessa {

BackupPathDialog::FolderChooser desktopFolderChooser() {
    return [](QWidget* parent, const QString& initial, QString* chosen) {
        return pickFolder(parent, initial, true, chosen);
    };
}

BackupPathDialog::BackupPathDialog(QWidget* parent)
    : QDialog(parent), path_(new QLineEdit(this)), chooser_(desktopFolderChooser()) {
    setObjectName(QStringLiteral("dlg153"));
    setWindowTitle(text(153));
    auto* layout = new QGridLayout(this);
    auto* label = new QLabel(text(100), this);
    label->setObjectName(QStringLiteral("ctl1005"));
    path_->setObjectName(QStringLiteral("ctl1067"));
    path_->setReadOnly(true);
    path_->setMinimumWidth(360);
    path_->setText(readStringSetting(QStringLiteral("BackupPath")));
    auto* browseButton = new QPushButton(QStringLiteral("..."), this);
    browseButton->setObjectName(QStringLiteral("ctl1069"));
    auto* ok = new QPushButton(text(154), this);
    ok->setObjectName(QStringLiteral("ctl1"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(text(155), this);
    cancel->setObjectName(QStringLiteral("ctl2"));
    layout->addWidget(label, 0, 0);
    layout->addWidget(path_, 0, 1);
    layout->addWidget(browseButton, 0, 2);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(ok, QDialogButtonBox::AcceptRole);
    buttons->addButton(cancel, QDialogButtonBox::RejectRole);
    layout->addWidget(buttons, 1, 0, 1, 3);
    connect(browseButton, &QPushButton::clicked, this, &BackupPathDialog::browse);
    connect(buttons, &QDialogButtonBox::accepted, this, &BackupPathDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &BackupPathDialog::reject);
}

void BackupPathDialog::browse() {
    QString start = readStringSetting(QStringLiteral("BackupPath"));
    if (start.isEmpty())
        start = QStringLiteral("C:\\");
    QString chosen;
    if (!chooser_ || !chooser_(this, platform::nativePath(start), &chosen))
        return;
    if (chosen != start)
        changed_ = true;
    path_->setText(chosen);
}

void BackupPathDialog::accept() {
    if (changed_ && writeStringSetting(QStringLiteral("BackupPath"), path_->text()) && pathChanged)
        pathChanged();
    QDialog::accept();
}

} // namespace tessa
