#pragma once

// Screenshots of widget tests, for a person to look at: written only when TESSA_TEST_SCREENSHOTS names a
// folder, so that a test run leaves nothing behind by default.

#include <gtest/gtest.h>
#include <QDir>
#include <QString>
#include <QWidget>

namespace tessa::test {

inline void saveScreenshot(QWidget& widget, const QString& name) {
    const QImage shot = widget.grab().toImage();
    EXPECT_FALSE(shot.isNull()) << name.toStdString();
    const QString folder = qEnvironmentVariable("TESSA_TEST_SCREENSHOTS");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    EXPECT_TRUE(shot.save(QDir(folder).filePath(name + QStringLiteral(".png")))) << name.toStdString();
}

} // namespace tessa::test
