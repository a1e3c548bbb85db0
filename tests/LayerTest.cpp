// The layers of src/ as the build declares them: every #include must point at the file's own layer or at
// one below it, and widget or GUI headers belong in ui/ folders and the application only.

#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QStringList>

namespace layer_test {

using tessa::test::TempDir;

// The order of src/CMakeLists.txt: levels from the ground up, siblings of a level joined by commas.
const QStringList kCoreLevels = QString::fromUtf8(TESSA_CORE_LEVELS).split(QLatin1Char('|'));

struct Layer {
    QString name; // "store", "audio/ui", "app", "cli"
    int rank = -1;
    bool widgets = false; // may include widget and GUI headers
    bool valid() const { return rank >= 0; }
};

int coreRank(const QString& subsystem) {
    for (int i = 0; i < kCoreLevels.size(); ++i)
        if (kCoreLevels[i].split(QLatin1Char(',')).contains(subsystem))
            return i;
    return -1;
}

// The layer of a path relative to src/ ("store/CardScan.cpp", "audio/ui/PlayerPane.h").
Layer layerOf(const QString& relative) {
    const QStringList parts = relative.split(QLatin1Char('/'));
    if (parts.size() < 2)
        return {};
    const QString& sub = parts[0];
    const int top = 2 * int(kCoreLevels.size());
    if (sub == QLatin1String("app"))
        return {sub, top, true};
    if (sub == QLatin1String("cli"))
        return {sub, top, false};
    const int rank = coreRank(sub);
    if (rank < 0)
        return {};
    if (parts.size() > 2 && parts[1] == QLatin1String("ui"))
        return {sub + QLatin1String("/ui"), int(kCoreLevels.size()) + rank, true};
    return {sub, rank, false};
}

QSet<QString> headersIn(const QString& folder) {
    QSet<QString> names;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files))
        names.insert(name);
    return names;
}

struct Violation {
    QString file;
    int line = 0;
    QString include;
    QString why;
};

// Reads every source file under `srcRoot` and lists the includes that break the layering.
std::vector<Violation> layerViolations(const QString& srcRoot, const QSet<QString>& guiHeaders) {
    static const QRegularExpression includeLine(QStringLiteral(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])"));
    std::vector<Violation> found;
    QDirIterator it(srcRoot, {QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = QDir(srcRoot).relativeFilePath(path);
        const Layer from = layerOf(relative);
        QFile file(path);
        if (!from.valid() || !file.open(QIODevice::ReadOnly))
            continue;
        int lineNumber = 0;
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine());
            ++lineNumber;
            const QRegularExpressionMatch m = includeLine.match(line);
            if (!m.hasMatch())
                continue;
            const QString target = m.captured(2);
            if (m.captured(1) == QLatin1String("<")) {
                const QString module = target.section(QLatin1Char('/'), 0, 0);
                const bool gui = module == QLatin1String("QtWidgets") || module == QLatin1String("QtGui") ||
                                 guiHeaders.contains(target);
                if (gui && !from.widgets)
                    found.push_back(
                        {relative, lineNumber, target, QStringLiteral("a widget or GUI header outside ui/")});
                continue;
            }
            const Layer to = layerOf(target);
            if (!to.valid() || to.name == from.name)
                continue;
            if (from.name == QLatin1String("cli") && to.widgets)
                found.push_back({relative, lineNumber, target,
                                 QStringLiteral("the command-line tool includes a widget layer")});
            else if (to.rank == from.rank)
                found.push_back({relative, lineNumber, target,
                                 QStringLiteral("a sibling layer (") + to.name + QLatin1Char(')')});
            else if (to.rank > from.rank)
                found.push_back({relative, lineNumber, target,
                                 QStringLiteral("a layer above (") + to.name + QStringLiteral(" over ") +
                                     from.name + QLatin1Char(')')});
        }
    }
    return found;
}

QSet<QString> qtGuiHeaders() {
    return headersIn(QStringLiteral(TESSA_QT_HEADERS "/QtWidgets")) |
           headersIn(QStringLiteral(TESSA_QT_HEADERS "/QtGui"));
}

std::string describe(const std::vector<Violation>& violations) {
    std::string text;
    for (const Violation& v : violations)
        text += "src/" + v.file.toStdString() + ":" + std::to_string(v.line) + ": #include " +
                v.include.toStdString() + ": " + v.why.toStdString() + "\n";
    return text;
}

TEST(Layers, EveryIncludeRunsDownward) {
    const QSet<QString> gui = qtGuiHeaders();
    ASSERT_TRUE(gui.contains(QStringLiteral("QWidget"))) << "the Qt widget headers were not found";
    const std::vector<Violation> violations = layerViolations(QStringLiteral(TESSA_SOURCE_DIR "/src"), gui);
    EXPECT_TRUE(violations.empty()) << describe(violations);
}

TEST(Layers, UpwardSiblingAndWidgetIncludesAreFound) {
    TempDir dir;
    dir.write(QStringLiteral("store/CardScan.cpp"),
              "#include \"store/CardScan.h\"\n#include \"browse/RecordSort.h\"\n");
    dir.write(QStringLiteral("audio/Codec.cpp"),
              "#include \"phonebook/ContactList.h\"\n#include \"format/CallRecord.h\"\n");
    dir.write(QStringLiteral("audio/ui/Player.cpp"),
              "#include \"browse/ui/MainView.h\"\n#include \"browse/RecordListModel.h\"\n"
              "#include <QWidget>\n");
    dir.write(QStringLiteral("config/Settings.cpp"), "  #  include <QPainter>\n#include <QString>\n");
    dir.write(QStringLiteral("cli/LogCommand.cpp"),
              "#include \"browse/ui/RecordListPage.h\"\n#include \"store/AppState.h\"\n");
    dir.write(QStringLiteral("app/ui/MainWindow.cpp"),
              "#include \"browse/ui/MainView.h\"\n#include <QMainWindow>\n");

    std::vector<Violation> found = layerViolations(dir.path(), qtGuiHeaders());
    std::sort(found.begin(), found.end(),
              [](const Violation& a, const Violation& b) { return a.file < b.file; });
    ASSERT_EQ(found.size(), 5u) << describe(found);
    EXPECT_EQ(found[0].file, QStringLiteral("audio/Codec.cpp"));
    EXPECT_EQ(found[0].include, QStringLiteral("phonebook/ContactList.h"));
    EXPECT_EQ(found[1].file, QStringLiteral("audio/ui/Player.cpp"));
    EXPECT_EQ(found[1].line, 1);
    EXPECT_EQ(found[2].file, QStringLiteral("cli/LogCommand.cpp"));
    EXPECT_EQ(found[3].file, QStringLiteral("config/Settings.cpp"));
    EXPECT_EQ(found[3].include, QStringLiteral("QPainter"));
    EXPECT_EQ(found[4].file, QStringLiteral("store/CardScan.cpp"));
    EXPECT_EQ(found[4].line, 2);
}

} // namespace layer_test
