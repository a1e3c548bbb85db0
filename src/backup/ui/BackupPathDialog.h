#pragma once

// Dialog 153: the backup folder alone. "..." opens the folder browser; OK writes BackupPath only when the
// user picked a folder other than the one set, and reports the change.

#include <functional>
#include <QDialog>

class QLineEdit;

namespace tessa {

class BackupPathDialog : public QDialog {
    Q_OBJECT
public:
    // Lets the user choose a folder starting at initial; true with *chosen when confirmed.
    using FolderChooser = std::function<bool(QWidget* parent, const QString& initial, QString* chosen)>;

    explicit BackupPathDialog(QWidget* parent = nullptr);

    // The browser used by "..." (the desktop's folder dialog unless a test replaces it).
    void setFolderChooser(FolderChooser chooser) { chooser_ = std::move(chooser); }
    // Called after OK wrote a new BackupPath.
    std::function<void()> pathChanged;

    QLineEdit* pathEdit() const { return path_; }
    bool changed() const { return changed_; }

    // "..." (1069).
    void browse();
    void accept() override;

private:
    QLineEdit* path_;
    FolderChooser chooser_;
    bool changed_ = false;
};

// The folder chooser of the desktop (the folder dialog with an edit box).
BackupPathDialog::FolderChooser desktopFolderChooser();

} // namespace tessa
