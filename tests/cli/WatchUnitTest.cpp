#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <QProcess>
#include <QStandardPaths>

namespace tessa {
namespace {

using test::TempDir;

// The systemd user unit of the watcher, with the tool of this build in its ExecStart, passes
// systemd-analyze verify without a complaint.
TEST(WatchUnit, SystemdAcceptsTheUnit) {
    const QString analyze = QStandardPaths::findExecutable("systemd-analyze");
    if (analyze.isEmpty())
        GTEST_SKIP() << "systemd-analyze is not installed";
    QByteArray unit = TempDir::read(TESSA_SOURCE_DIR "/dist/tessa-watch.service.in");
    ASSERT_TRUE(unit.contains("@TESSA_BINDIR@/tessa-cli watch --to "));
    unit.replace("@TESSA_BINDIR@", TESSA_BIN_DIR);
    TempDir dir;
    const QString path = dir.write("tessa-watch.service", unit);
    QProcess p;
    p.start(analyze, {"verify", "--man=no", path});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(p.readAllStandardError()).trimmed(), QString());
}

} // namespace
} // namespace tessa
