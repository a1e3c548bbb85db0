// `cmake --install` of this build into a scratch folder: every file where the freedesktop conventions put
// it, the desktop files accepted by their checkers, and the installed programs running from there with
// the shipped Config and the user's settings in the XDG places.

#include "cli/Command.h"
#include "cli/ManPage.h"
#include "demo/DemoCard.h"
#include "support/PeerTool.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <memory>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <thread>

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
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAll())};
}

// One installation for the whole suite: cmake --install of the build into a DESTDIR, prefix /usr.
class Install : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dest_ = std::make_unique<TempDir>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DESTDIR", dest_->path());
        const QString build = QFileInfo(QStringLiteral(TESSA_BIN_DIR)).dir().absolutePath();
        const ProcessRun installed = runProgram("cmake", {"--install", build, "--prefix", "/usr"}, env);
        installLog_ = installed.output;
        installed_ = installed.code == 0;
    }
    static void TearDownTestSuite() { dest_.reset(); }
    void SetUp() override { ASSERT_TRUE(installed_) << installLog_.toStdString(); }

    static QString usr(const QString& relative) { return dest_->path() + "/usr/" + relative; }

    static std::unique_ptr<TempDir> dest_;
    static bool installed_;
    static QString installLog_;
};
std::unique_ptr<TempDir> Install::dest_;
bool Install::installed_ = false;
QString Install::installLog_;

TEST_F(Install, PutsEveryFileInItsPlace) {
    const QStringList expected{
        "bin/tessa",
        "bin/tessa-cli",
        "lib/libTessaDevice.so",
        "share/tessa/Config/TessaLang.ini",
        "share/tessa/Config/TessaSet.ini",
        "share/tessa/Config/logo.bmp",
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
        EXPECT_TRUE(QFileInfo(usr(file)).isFile()) << file.toStdString();
    EXPECT_TRUE(QFileInfo(usr("bin/tessa")).isExecutable());
    EXPECT_TRUE(QFileInfo(usr("bin/tessa-cli")).isExecutable());
    // Nothing of the build tree's layout comes along: no Config folder beside the programs.
    EXPECT_FALSE(QFileInfo::exists(usr("bin/Config")));
    // The shipped string table is the repository's.
    EXPECT_EQ(TempDir::read(usr("share/tessa/Config/TessaLang.ini")),
              TempDir::read(TESSA_SOURCE_DIR "/data/Config/TessaLang.ini"));

    // The PNG sizes are what their folders say (width and height of the IHDR chunk).
    for (const int size : {16, 48, 256}) {
        const QByteArray png = TempDir::read(
            usr(QStringLiteral("share/icons/hicolor/%1x%1/apps/org.tessa.Tessa.png").arg(size)));
        ASSERT_GE(png.size(), 24) << size;
        EXPECT_TRUE(png.startsWith("\x89PNG"));
        const auto be32 = [&](int at) {
            return (uint32_t(uint8_t(png[at])) << 24) | (uint32_t(uint8_t(png[at + 1])) << 16) |
                   (uint32_t(uint8_t(png[at + 2])) << 8) | uint32_t(uint8_t(png[at + 3]));
        };
        EXPECT_EQ(be32(16), uint32_t(size));
        EXPECT_EQ(be32(20), uint32_t(size));
    }
    // The unit starts the tool where this installation put it.
    EXPECT_TRUE(TempDir::read(usr("lib/systemd/user/tessa-watch.service"))
                    .contains("\nExecStart=/usr/bin/tessa-cli watch --to %h/TessaBackup\n"));
}

TEST_F(Install, TheManualPageNamesEveryCommandOfTheTool) {
    const QString page = QString::fromUtf8(TempDir::read(usr("share/man/man1/tessa-cli.1")));
    ASSERT_TRUE(page.startsWith(".TH TESSA\\-CLI 1")) << page.left(80).toStdString();
    EXPECT_EQ(page, cli::manPageText(QStringLiteral(TESSA_VERSION)));
    ASSERT_GT(cli::commandList().size(), 5u);
    for (const auto& command : cli::commandList()) {
        const QString name = QString::fromLatin1(command->name()).replace("-", "\\-");
        EXPECT_TRUE(page.contains(".B " + name + "\n")) << command->name();
    }
    // Options keep their hyphens as troff needs them, so that they can be searched and copied.
    EXPECT_TRUE(page.contains("\\-\\-to BACKUP_ROOT"));
    if (!test::havePeer("man"))
        GTEST_SKIP() << "man is not installed: the page was not formatted";
    const ProcessRun shown = runProgram("man", {"-l", "-Tutf8", usr("share/man/man1/tessa-cli.1")});
    EXPECT_EQ(shown.code, 0) << shown.output.toStdString();
    // Without a terminal, man emboldens by overstriking (c, backspace, c).
    const QString plain = QString(shown.output).remove(QRegularExpression(QStringLiteral(".\\x08")));
    for (const auto& command : cli::commandList()) {
        const QRegularExpression tag(QStringLiteral("\\n {7}%1\\s").arg(QLatin1String(command->name())));
        EXPECT_TRUE(plain.contains(tag)) << command->name() << "\n" << plain.toStdString();
    }
}

TEST_F(Install, TheDesktopEntryValidates) {
    if (!test::havePeer("desktop-file-validate"))
        GTEST_SKIP() << "desktop-file-validate is not installed (scripts/install-deps installs it)";
    const ProcessRun valid =
        runProgram("desktop-file-validate", {usr("share/applications/org.tessa.Tessa.desktop")});
    EXPECT_EQ(valid.code, 0) << valid.output.toStdString();
    EXPECT_EQ(valid.output.trimmed(), QString()) << "hints: " << valid.output.toStdString();
}

TEST_F(Install, TheMetainfoValidates) {
    const QString metainfo = usr("share/metainfo/org.tessa.Tessa.metainfo.xml");
    if (test::havePeer("appstreamcli")) {
        const ProcessRun valid = runProgram("appstreamcli", {"validate", "--no-net", metainfo});
        EXPECT_EQ(valid.code, 0) << valid.output.toStdString();
    } else if (test::havePeer("appstream-util")) {
        const ProcessRun valid = runProgram("appstream-util", {"validate-relax", "--nonet", metainfo});
        EXPECT_EQ(valid.code, 0) << valid.output.toStdString();
    } else {
        GTEST_SKIP() << "neither appstreamcli nor appstream-util is installed (scripts/install-deps installs "
                        "appstream)";
    }
}

// The installed programs run from the prefix alone. The window takes the shipped Config read-only and
// keeps its settings in $XDG_CONFIG_HOME/tessa, made from the shipped default on the first start.
TEST_F(Install, TheInstalledProgramsRunWithTheirSettingsInTheXdgPlaces) {
    TempDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name :
         {"TESSA_CONFIG_DIR", "TESSA_DEVICE_STATE", "DBUS_SESSION_BUS_ADDRESS", "LD_LIBRARY_PATH"})
        env.remove(name);
    QDir().mkpath(home.file("runtime"));
    QFile::setPermissions(home.file("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.file("config"));
    env.insert("XDG_DATA_HOME", home.file("data"));
    env.insert("XDG_CACHE_HOME", home.file("cache"));
    env.insert("XDG_RUNTIME_DIR", home.file("runtime"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("TESSA_AUDIO", "null");

    const ProcessRun help = runProgram(usr("bin/tessa-cli"), {"--help"}, env);
    EXPECT_EQ(help.code, 0) << help.output.toStdString();
    EXPECT_TRUE(help.output.contains("verify BACKUP_ROOT")) << help.output.toStdString();

    // A VX5 card: the window writes DevType 1 into the user's settings when it finds it.
    QString error;
    ASSERT_TRUE(writeDemoCard(home.file("card"), DemoCardOptions{1, 6, 2}, &error)) << error.toStdString();
    env.insert("TESSA_DRIVES", ("E=" + home.file("card")).toUtf8());
    const QString settings = home.file("config/tessa/TessaSet.ini");
    QProcess window;
    window.setProcessEnvironment(env);
    window.setProcessChannelMode(QProcess::MergedChannels);
    window.start(usr("bin/tessa"), {});
    ASSERT_TRUE(window.waitForStarted(10000));
    QElapsedTimer clock;
    clock.start();
    while (!TempDir::read(settings).contains("DevType=1") && window.state() == QProcess::Running &&
           clock.elapsed() < 30000)
        window.waitForFinished(200);
    const bool ran = window.state() == QProcess::Running;
    window.terminate();
    if (!window.waitForFinished(10000)) {
        window.kill();
        window.waitForFinished();
    }
    ASSERT_TRUE(ran) << "the installed window ended: " << window.readAll().toStdString();

    const QByteArray written = TempDir::read(settings);
    EXPECT_TRUE(written.contains("DevType=1")) << written.toStdString();
    // Made from the shipped default: its other keys and comments are there.
    EXPECT_TRUE(written.contains("Device2=VX5")) << written.toStdString();
    EXPECT_EQ(QFileInfo(settings).permissions() & (QFile::ReadOther | QFile::WriteOther),
              QFile::Permissions());
    // The shipped default stayed as installed.
    EXPECT_EQ(TempDir::read(usr("share/tessa/Config/TessaSet.ini")),
              TempDir::read(TESSA_SOURCE_DIR "/data/Config/TessaSet.ini"));
    EXPECT_FALSE(QFileInfo::exists(usr("bin/Config")));
}

} // namespace
} // namespace tessa
