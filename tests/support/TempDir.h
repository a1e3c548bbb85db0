#pragma once

#include <gtest/gtest.h>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace tessa::test {

// A scratch folder that disappears with the test.
class TempDir {
public:
    TempDir() { EXPECT_TRUE(dir_.isValid()); }
    // A scratch folder made inside base (the system's temporary folder when base is empty).
    explicit TempDir(const QString& base)
        : dir_(base.isEmpty() ? QDir::tempPath() + "/tessa-XXXXXX" : base + "/tessa-XXXXXX") {
        EXPECT_TRUE(dir_.isValid());
    }
    QString path() const { return dir_.path(); }
    QString file(const QString& relative) const { return dir_.filePath(relative); }
    QString write(const QString& relative, const QByteArray& bytes) const {
        const QString path = file(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
        f.write(bytes);
        return path;
    }
    static QByteArray read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private:
    QTemporaryDir dir_;
};

} // namespace tessa::test
