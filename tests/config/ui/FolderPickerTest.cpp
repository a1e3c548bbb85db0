#include "config/ui/FolderPicker.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>

using namespace tessa;

namespace {

// Answers the picker once it is up: accepts it, or rejects it.
void answerPicker(bool accept, QString* shownFolder) {
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            answerPicker(accept, shownFolder);
            return;
        }
        *shownFolder = dialog->directory().absolutePath();
        QDialog* asDialog = dialog;
        accept ? asDialog->accept() : asDialog->reject();
    });
}

} // namespace

TEST(FolderPicker, StartsAtTheInitialFolderAndEndsTheResultWithASeparator) {
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("inner"));
    const QString initial = dir.path() + QStringLiteral("/inner/");
    QString shown, chosen;
    answerPicker(true, &shown);
    ASSERT_TRUE(pickFolder(nullptr, initial, true, &chosen));
    // Confirming at once chooses the preselected initial folder, with one trailing separator.
    EXPECT_EQ(chosen, QDir(dir.path()).canonicalPath() + QStringLiteral("/inner/")) << shown.toStdString();
}

TEST(FolderPicker, CancelGivesFalse) {
    QString shown, chosen = QStringLiteral("unchanged");
    answerPicker(false, &shown);
    EXPECT_FALSE(pickFolder(nullptr, QDir::tempPath(), true, &chosen));
    EXPECT_EQ(chosen, QStringLiteral("unchanged"));
}
