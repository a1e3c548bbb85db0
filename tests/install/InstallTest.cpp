#include "cli/Command.h"
#include "cli/ManPage.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

namespace tessa {
namespace {

using test::TempDir;

struct ProcessRun {
    int code = -1;
    QString output;
};
ProcessRun runProgram(const QString& program, const QStringList& args, const QProcessEnvironment& env = {}) {
    QProcess p;
    if (!env.isEmpty())
        p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(120000))
        return {};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAll())};
}

// cmake --install of this build into a scratch DESTDIR puts every file where the freedesktop
// conventions want it, and the desktop checkers accept what it installed.
TEST(Install, PutsEveryFileInItsPlaceAndTheDesktopFilesValidate) {
    TempDir dest;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DESTDIR", dest.path());
    const QString build = QFileInfo(QStringLiteral(TESSA_BIN_DIR)).dir().absolutePath();
    const ProcessRun installed = runProgram("cmake", {"--install", build, "--prefix", "/usr"}, env);
    ASSERT_EQ(installed.code, 0) << installed.output.toStdString();

    const QString usr = dest.path() + "/usr";
    const QStringList expected{
        "bin/tessa",
        "bin/tessa-cli",
        "lib/libTessaDevice.so",
        "share/tessa/Config/TessaLang.ini",
        "share/tessa/Config/TessaSet.ini",
        "share/applications/org.tessa.Tessa.desktop",
        "share/metainfo/org.tessa.Tessa.metainfo.xml",
        "share/icons/hicolor/scalable/apps/org.tessa.Tessa.svg",
        "share/icons/hicolor/16x16/apps/org.tessa.Tessa.png",
        "share/icons/hicolor/48x48/apps/org.tessa.Tessa.png",
        "share/icons/hicolor/256x256/apps/org.tessa.Tessa.png",
        "share/man/man1/tessa-cli.1",
        "lib/systemd/user/tessa-watch.service",
    };
    for (const QString& file : expected)
        EXPECT_TRUE(QFileInfo(usr + "/" + file).isFile()) << file.toStdString();
    EXPECT_TRUE(QFileInfo(usr + "/bin/tessa-cli").isExecutable());
    // The PNG sizes are what their folders say (width and height of the IHDR chunk).
    for (const int size : {16, 48, 256}) {
        const QByteArray png = TempDir::read(
            usr + QStringLiteral("/share/icons/hicolor/%1x%1/apps/org.tessa.Tessa.png").arg(size));
        ASSERT_GE(png.size(), 24) << size;
        EXPECT_TRUE(png.startsWith("\x89PNG"));
        const auto be32 = [&](int at) {
            return (uint32_t(uint8_t(png[at])) << 24) | (uint32_t(uint8_t(png[at + 1])) << 16) |
                   (uint32_t(uint8_t(png[at + 2])) << 8) | uint32_t(uint8_t(png[at + 3]));
        };
        EXPECT_EQ(be32(16), uint32_t(size));
        EXPECT_EQ(be32(20), uint32_t(size));
    }
    // The unit starts the installed tool (under the prefix the build was configured with).
    EXPECT_TRUE(TempDir::read(usr + "/lib/systemd/user/tessa-watch.service")
                    .contains("/bin/tessa-cli watch --to %h/TessaBackup"));

    const QString desktopValidate = QStandardPaths::findExecutable("desktop-file-validate");
    if (desktopValidate.isEmpty()) {
        ADD_FAILURE() << "desktop-file-validate is missing: scripts/install-deps installs it";
    } else {
        const ProcessRun valid =
            runProgram(desktopValidate, {usr + "/share/applications/org.tessa.Tessa.desktop"});
        EXPECT_EQ(valid.code, 0) << valid.output.toStdString();
        EXPECT_EQ(valid.output.trimmed(), QString()) << valid.output.toStdString();
    }
    const QString appstream = QStandardPaths::findExecutable("appstreamcli");
    if (!appstream.isEmpty()) {
        const ProcessRun valid = runProgram(
            appstream, {"validate", "--no-net", usr + "/share/metainfo/org.tessa.Tessa.metainfo.xml"});
        EXPECT_EQ(valid.code, 0) << valid.output.toStdString();
    }
}

TEST(Install, TheManualPageNamesEveryCommandOfTheTool) {
    const QString page = cli::manPageText("1.0.0");
    EXPECT_TRUE(page.startsWith(".TH TESSA\\-CLI 1"));
    for (const auto& command : cli::commandList())
        EXPECT_TRUE(page.contains(".B " + QString::fromLatin1(command->name()).replace("-", "\\-") + "\n"))
            << command->name();
    // Options keep their hyphens as troff needs them, so that they can be searched and copied.
    EXPECT_TRUE(page.contains("\\-\\-to BACKUP_ROOT"));
    const QString man = QStandardPaths::findExecutable("man");
    if (man.isEmpty())
        return;
    TempDir dir;
    const QString file = dir.write("tessa-cli.1", page.toUtf8());
    const ProcessRun shown = runProgram(man, {"-l", "-Tutf8", file});
    EXPECT_EQ(shown.code, 0) << shown.output.toStdString();
}

} // namespace
} // namespace tessa
