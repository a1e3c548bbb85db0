// The shipped string table must hold a text for every number the sources ask for, and stay in a shape that
// the lookup reads the way its authors meant. The table is parsed here directly, not through the lookup, so
// that a fault in either shows up on its own.

#include <gtest/gtest.h>
#include <map>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <set>
#include <vector>

namespace tessa::string_table_coverage {

const QString kSourceRoot = QString::fromUtf8(TESSA_SOURCE_DIR);
const QString kTablePath = kSourceRoot + QStringLiteral("/data/Config/TessaLang.ini");

struct TableLine {
    int lineNumber;
    QString key;
    QString value; // trimmed and without one pair of surrounding quotes, as the lookup hands it out
};

struct StringTableFile {
    bool opened = false;
    std::vector<TableLine> entries; // section "English", in file order
    std::vector<int> malformedLines;
};

StringTableFile readStringTable() {
    StringTableFile table;
    QFile file(kTablePath);
    if (!file.open(QIODevice::ReadOnly))
        return table;
    table.opened = true;
    QString content = QString::fromUtf8(file.readAll());
    if (content.startsWith(QChar(0xFEFF)))
        content.remove(0, 1);

    bool inEnglish = false;
    const QStringList lines = content.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            inEnglish = line.mid(1, line.size() - 2)
                            .trimmed()
                            .compare(QStringLiteral("English"), Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inEnglish)
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0) {
            table.malformedLines.push_back(i + 1);
            continue;
        }
        QString value = line.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2);
        table.entries.push_back({i + 1, line.left(equals).trimmed(), value});
    }
    return table;
}

// First occurrence wins, as with the profile functions.
std::map<QString, QString> textsByKey(const StringTableFile& table) {
    std::map<QString, QString> texts;
    for (const TableLine& entry : table.entries)
        texts.emplace(entry.key, entry.value);
    return texts;
}

QString keyOf(int number) {
    return QStringLiteral("%1").arg(number, 4, 10, QLatin1Char('0'));
}

struct TextUse {
    QString file;
    int number;
};

// Every text(N) call in the sources; member calls such as item->text(0) are a widget's column text.
std::vector<TextUse> textUsesInSources(int* filesScanned) {
    static const QRegularExpression call(QStringLiteral(R"((?<![\w.>])text\(\s*(\d+)\s*\))"));
    std::vector<TextUse> uses;
    const QDir root(kSourceRoot);
    QDirIterator it(kSourceRoot + QStringLiteral("/src"), {QStringLiteral("*.cpp"), QStringLiteral("*.h")},
                    QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        ++*filesScanned;
        const QString source = QString::fromUtf8(file.readAll());
        for (auto match = call.globalMatch(source); match.hasNext();) {
            const QString digits = match.next().captured(1);
            bool fits = false;
            const int number = digits.toInt(&fits);
            uses.push_back({root.relativeFilePath(file.fileName()), fits ? number : -1});
        }
    }
    return uses;
}

TEST(StringTableCoverage, EveryTextNumberUsedInTheSourcesHasAText) {
    const StringTableFile table = readStringTable();
    ASSERT_TRUE(table.opened) << kTablePath.toStdString();
    const auto texts = textsByKey(table);

    int filesScanned = 0;
    const std::vector<TextUse> uses = textUsesInSources(&filesScanned);
    ASSERT_GT(filesScanned, 0) << "no source files found under " << kSourceRoot.toStdString() << "/src";

    for (const TextUse& use : uses) {
        const auto found = use.number >= 0 ? texts.find(keyOf(use.number)) : texts.end();
        if (found == texts.end() || found->second.isEmpty())
            ADD_FAILURE() << use.file.toStdString() << ": text(" << use.number
                          << ") has no text in data/Config/TessaLang.ini";
    }
}

TEST(StringTableCoverage, KeysAreUniqueFourDigitNumbersInAscendingOrder) {
    const StringTableFile table = readStringTable();
    ASSERT_TRUE(table.opened) << kTablePath.toStdString();
    ASSERT_FALSE(table.entries.empty()) << "no [English] section with texts";
    for (int line : table.malformedLines)
        ADD_FAILURE() << "line " << line << " is neither a comment nor NNNN=text";

    static const QRegularExpression fourDigits(QStringLiteral(R"(^\d{4}$)"));
    std::set<QString> seen;
    QString previous;
    for (const TableLine& entry : table.entries) {
        const std::string where =
            "line " + std::to_string(entry.lineNumber) + " (" + entry.key.toStdString() + ")";
        EXPECT_TRUE(fourDigits.match(entry.key).hasMatch()) << where << ": key is not four digits";
        EXPECT_TRUE(seen.insert(entry.key).second) << where << ": duplicate key";
        EXPECT_TRUE(entry.key > previous) << where << ": keys out of ascending order";
        EXPECT_FALSE(entry.value.isEmpty()) << where << ": empty text";
        EXPECT_LE(entry.value.size(), 1023) << where << ": longer than the lookup returns";
        previous = entry.key;
    }
}

// No text is a format of its own: every one is an argument of the program's formats (page summary,
// free space, e-mail body, delete report...). A % in one would be expanded again by a chained
// QString::arg, so the table keeps % out altogether.
TEST(StringTableCoverage, TextsFitTheFormatsTheyArePlacedIn) {
    const StringTableFile table = readStringTable();
    ASSERT_TRUE(table.opened) << kTablePath.toStdString();
    const auto texts = textsByKey(table);

    // Labels that a format follows with its own ": ": page summary "%s:  %d", free space
    // "%s: %s(%s: %.2f%s, %s: %.2f%s)" and the e-mail body lines "%s:...".
    const int labelsBeforeColon[] = {2, 3, 4, 5, 163, 25, 105, 106, 156, 215, 142, 146, 147, 11, 12, 13, 16};
    // Message box texts, the only ones that may span lines.
    const QSet<int> messages = {92, 107, 109, 113, 115, 116, 140, 159, 164, 169, 185, 188, 207};

    for (const auto& [key, value] : texts) {
        EXPECT_FALSE(value.contains(QLatin1Char('%'))) << key.toStdString() << ": holds a % sign";
        if (!messages.contains(key.toInt())) {
            EXPECT_FALSE(value.contains(QStringLiteral("\\n")))
                << key.toStdString() << ": a caption, label or menu text spans lines";
        }
    }
    for (int number : labelsBeforeColon) {
        const auto found = texts.find(keyOf(number));
        ASSERT_NE(found, texts.end()) << keyOf(number).toStdString() << " missing";
        EXPECT_FALSE(found->second.endsWith(QLatin1Char(':')))
            << found->first.toStdString() << ": ends with a colon that its format adds again";
    }
}

} // namespace tessa::string_table_coverage
