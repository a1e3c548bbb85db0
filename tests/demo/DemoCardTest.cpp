#include "demo/DemoCard.h"

#include "format/CardRecord.h"
#include "format/LittleEndian.h"
#include "store/CardRecordCodec.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <optional>
#include <QDirIterator>
#include <set>

// Helpers live in a named namespace: the tests are compiled in unity batches.
namespace democard_test {

using namespace tessa;

struct Name {
    int year, month, day, hour, minute, second;
    QString tag, number, extension;
};

int decimal(const QString& s, int from, int count) {
    bool ok = false;
    const int v = s.mid(from, count).toInt(&ok);
    return ok ? v : -1;
}

// Recording names: stamp YYYYMMDDhhmmss, "-", tag of up to 4 characters, "-", number of up to 30
// characters, ".", extension; 21 to 45 characters in all.
std::optional<Name> parseName(const QString& name) {
    if (name.size() < 21 || name.size() > 45 || name[14] != u'-')
        return std::nullopt;
    for (int i = 0; i < 14; ++i) {
        if (!name[i].isDigit())
            return std::nullopt;
    }
    const qsizetype dash = name.lastIndexOf(u'-');
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dash < 15 || dash - 15 > 4 || dot < dash || dot - dash - 1 > 30)
        return std::nullopt;
    Name n{decimal(name, 0, 4),
           decimal(name, 4, 2),
           decimal(name, 6, 2),
           decimal(name, 8, 2),
           decimal(name, 10, 2),
           decimal(name, 12, 2),
           name.mid(15, dash - 15),
           name.mid(dash + 1, dot - dash - 1),
           name.mid(dot)};
    if (n.year < 2000 || n.year > 2999 || n.month < 1 || n.month > 12 || n.day < 1 || n.day > 31 ||
        n.hour > 23 || n.minute > 59 || n.second > 59)
        return std::nullopt;
    return n;
}

// Seconds the recorder stores for a recording file, measured from its size.
uint32_t storedSeconds(const QString& path) {
    const QByteArray file = tessa::test::TempDir::read(path);
    const qint64 size = file.size();
    if (!path.contains(QStringLiteral(".xtr")))
        return size <= 4155 ? 0 : uint32_t((size - 60) / 4096);
    if (size <= 3089)
        return 0;
    const auto* b = reinterpret_cast<const uint8_t*>(file.constData());
    const uint32_t code = readLeU32(b + 8);
    const qint64 rate = code == 49 ? 1650 : code == 17 ? 4096 : 8000;
    const qint64 audio = size - readLeU32(b + 4);
    return uint32_t((audio + rate - 1) / rate);
}

// One card record reduced to what the checks need.
struct Entry {
    bool valid, marked;
    int type, year, month, day, hour, minute;
    QString number;
    QByteArray path, name, remark;
    uint32_t callSeconds, recordingSeconds;
};

std::vector<Entry> readLog(const QByteArray& log, int model) {
    std::vector<Entry> entries;
    const size_t size = cardRecordSize(model);
    for (qsizetype at = 0; at + qsizetype(size) <= log.size(); at += qsizetype(size)) {
        Entry e{};
        if (model == ModelVX7) {
            CardRecord128 c;
            std::memcpy(&c, log.constData() + at, sizeof c);
            e = {c.valid == 1, c.marked == 1, c.callType, c.year + 2000, c.month, c.day, c.hour, c.minute};
            for (int i = 0; i < c.numberLength; ++i)
                e.number += isNoteType(c.callType) ? QChar(c.number[i]) : digitCodeToChar(c.number[i]);
            e.name = QByteArray(reinterpret_cast<const char*>(c.name), c.nameLength);
            e.path = QByteArray(reinterpret_cast<const char*>(c.cardPath), sizeof c.cardPath);
            e.callSeconds = c.callDuration.total();
            e.recordingSeconds = c.recordingDuration.total();
        } else {
            CardRecord256 c;
            std::memcpy(&c, log.constData() + at, sizeof c);
            e = {c.valid == 1, c.marked == 1, c.callType, c.year + 2000, c.month, c.day, c.hour, c.minute};
            e.number = QString::fromLatin1(reinterpret_cast<const char*>(c.number), c.numberLength);
            e.path = QByteArray(reinterpret_cast<const char*>(c.cardPath), sizeof c.cardPath);
            e.remark = QByteArray(reinterpret_cast<const char*>(c.remark), sizeof c.remark);
            e.callSeconds = c.callDuration.total();
            e.recordingSeconds = c.recordingDuration.total();
        }
        e.path.truncate(e.path.indexOf('\0') < 0 ? e.path.size() : e.path.indexOf('\0'));
        e.remark.truncate(e.remark.indexOf('\0') < 0 ? e.remark.size() : e.remark.indexOf('\0'));
        entries.push_back(e);
    }
    return entries;
}

std::map<QString, QByteArray> tree(const QString& root) {
    std::map<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files[QDir(root).relativeFilePath(path)] = tessa::test::TempDir::read(path);
    }
    return files;
}

const std::map<int, QStringList> kTableTags = {{2, {QStringLiteral("I")}},
                                               {4, {QStringLiteral("O")}},
                                               {5, {QStringLiteral("NOTE"), QStringLiteral("N")}},
                                               {7, {QStringLiteral("TRIG")}}};
const QStringList kAllTableTags = {QStringLiteral("I"), QStringLiteral("O"), QStringLiteral("NOTE"),
                                   QStringLiteral("TRIG"), QStringLiteral("N")};

} // namespace democard_test

using namespace democard_test;

TEST(DemoCard, WritesAConsistentCardForBothModels) {
    for (int model : {0, 1}) {
        SCOPED_TRACE(model);
        tessa::test::TempDir dir;
        const QString root = dir.file(QStringLiteral("card"));
        DemoCardOptions options;
        options.model = model;
        QString error;
        ASSERT_TRUE(writeDemoCard(root, options, &error)) << error.toStdString();

        const QByteArray log = tessa::test::TempDir::read(root + QStringLiteral("/CallLog.dat"));
        ASSERT_EQ(size_t(log.size()), 40 * cardRecordSize(model));
        const auto entries = readLog(log, model);

        std::set<int> liveTypes;
        std::set<uint32_t> formatCodes;
        int deleted = 0, marked = 0, unrecorded = 0, plainWavs = 0, notes = 0, bookmarks = 0, named = 0,
            remarks = 0;
        std::tuple<int, int, int, int, int> previous{};
        for (const Entry& e : entries) {
            const auto when = std::make_tuple(e.year, e.month, e.day, e.hour, e.minute);
            EXPECT_LE(previous, when) << "records out of time order";
            previous = when;
            if (!e.valid) {
                ++deleted;
                continue;
            }
            liveTypes.insert(e.type);
            marked += e.marked;
            named += !e.name.isEmpty();
            remarks += !e.remark.isEmpty();
            if (e.path.isEmpty()) {
                EXPECT_EQ(e.type, 3) << "only a missed call may lack a recording";
                EXPECT_EQ(e.recordingSeconds, 0u);
                ++unrecorded;
                continue;
            }
            const QString cardPath = QString::fromLatin1(e.path);
            SCOPED_TRACE(cardPath.toStdString());
            EXPECT_LE(e.path.size(), model == 0 ? 45 : 64);
            const QStringList parts = cardPath.split(u'\\');
            ASSERT_EQ(parts.size(), model == 0 ? 2 : 3);
            if (model == 1) {
                EXPECT_EQ(parts[0], QStringLiteral("RECORD"));
            }
            const auto name = parseName(parts.last());
            ASSERT_TRUE(name);
            EXPECT_EQ(parts[parts.size() - 2], parts.last().left(6));
            EXPECT_EQ(std::make_tuple(name->year, name->month, name->day, name->hour, name->minute), when);
            if (kTableTags.count(e.type))
                EXPECT_TRUE(kTableTags.at(e.type).contains(name->tag)) << e.type;
            else
                EXPECT_FALSE(kAllTableTags.contains(name->tag)) << e.type;
            EXPECT_EQ(name->number, e.number);

            const QString file = root + u'/' + parts.join(u'/');
            ASSERT_TRUE(QFile::exists(file));
            EXPECT_EQ(e.recordingSeconds, storedSeconds(file));
            EXPECT_GT(e.recordingSeconds, 0u);
            EXPECT_GE(e.callSeconds, e.recordingSeconds);
            if (name->extension == QStringLiteral(".wav")) {
                ++plainWavs;
                continue;
            }
            ASSERT_EQ(name->extension, QStringLiteral(".xtr"));
            const QByteArray bytes = tessa::test::TempDir::read(file);
            EXPECT_EQ(readLeU32(reinterpret_cast<const uint8_t*>(bytes.constData()) + 4), 1440u);
            formatCodes.insert(readLeU32(reinterpret_cast<const uint8_t*>(bytes.constData()) + 8));
            const QByteArray text = bytes.mid(144, 1024);
            notes += text[0] != '\0' && !text.startsWith("<bookmark>");
            bookmarks += text.contains("<bookmark>");
        }
        EXPECT_EQ(liveTypes, (std::set<int>{2, 3, 4, 5, 6, 7, 8}));
        EXPECT_EQ(formatCodes, (std::set<uint32_t>{7, 17, 49}));
        EXPECT_GE(deleted, 1);
        EXPECT_GE(marked, 1);
        EXPECT_GE(unrecorded, 1);
        EXPECT_GE(plainWavs, 1);
        EXPECT_GE(notes, 1);
        EXPECT_GE(bookmarks, 1);
        if (model == 0)
            EXPECT_GE(named, 1);
        else
            EXPECT_GE(remarks, 1);

        qint64 total = 0;
        for (const auto& [path, bytes] : tree(root))
            total += bytes.size();
        EXPECT_LT(total, 20 * 1024 * 1024);

        const QByteArray book = tessa::test::TempDir::read(root + QStringLiteral("/PhoneBook.dat"));
        EXPECT_EQ(QDir(root + QStringLiteral("/RECORD")).exists(), model == 1);
        if (model == 0) {
            EXPECT_TRUE(book.isEmpty());
            continue;
        }
        ASSERT_GE(book.size(), 3 * 155);
        ASSERT_EQ(book.size() % 155, 0);
        for (qsizetype at = 0; at < book.size(); at += 155) {
            EXPECT_EQ(book[at], 1);
            EXPECT_LE(uint8_t(book[at + 126]), 2);
            EXPECT_NE(book[at + 1], '\0');
            const QByteArray name = book.mid(at + 91, 35);
            EXPECT_NE(name[0], '\0');
            EXPECT_EQ(name[34], '\0');
            EXPECT_TRUE(std::all_of(name.begin(), name.end(), [](char c) { return uint8_t(c) < 128; }));
        }
    }
}

TEST(DemoCard, SameSeedSameBytesOtherSeedOtherCard) {
    tessa::test::TempDir dir;
    DemoCardOptions options;
    options.records = 12;
    options.seed = 5;
    options.model = 1;
    QString error;
    ASSERT_TRUE(writeDemoCard(dir.file(QStringLiteral("a")), options, &error)) << error.toStdString();
    ASSERT_TRUE(writeDemoCard(dir.file(QStringLiteral("b")), options, &error)) << error.toStdString();
    options.seed = 6;
    ASSERT_TRUE(writeDemoCard(dir.file(QStringLiteral("c")), options, &error)) << error.toStdString();
    const auto a = tree(dir.file(QStringLiteral("a")));
    EXPECT_EQ(a.size() > 2, true);
    EXPECT_TRUE(a == tree(dir.file(QStringLiteral("b"))));
    EXPECT_NE(a.at(QStringLiteral("CallLog.dat")),
              tree(dir.file(QStringLiteral("c"))).at(QStringLiteral("CallLog.dat")));
}

TEST(DemoCard, RefusesBadOptionsAndAnExistingLog) {
    tessa::test::TempDir dir;
    QString error;
    DemoCardOptions options;
    options.model = 2;
    EXPECT_FALSE(writeDemoCard(dir.path(), options, &error));
    options.model = 0;
    options.records = -1;
    EXPECT_FALSE(writeDemoCard(dir.path(), options, &error));

    const QByteArray existing(128, '\x01');
    dir.write(QStringLiteral("CallLog.dat"), existing);
    options.records = 3;
    EXPECT_FALSE(writeDemoCard(dir.path(), options, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(tessa::test::TempDir::read(dir.file(QStringLiteral("CallLog.dat"))), existing);
}

TEST(DemoCard, ALargeCardReusesAFewRecordingsUnderNamesOfItsOwn) {
    for (int model : {0, 1}) {
        SCOPED_TRACE(model);
        tessa::test::TempDir dir;
        const QString root = dir.file(QStringLiteral("card"));
        DemoCardOptions options;
        options.model = model;
        options.records = 400;
        QString error;
        ASSERT_TRUE(writeDemoCard(root, options, &error)) << error.toStdString();
        const auto entries =
            readLog(tessa::test::TempDir::read(root + QStringLiteral("/CallLog.dat")), model);
        ASSERT_EQ(entries.size(), 400u);

        std::set<QString> names;
        std::set<QByteArray> contents;
        std::set<int> liveTypes;
        int files = 0;
        for (const Entry& e : entries) {
            if (!e.valid || e.path.isEmpty())
                continue;
            liveTypes.insert(e.type);
            const QString cardPath = QString::fromLatin1(e.path);
            SCOPED_TRACE(cardPath.toStdString());
            EXPECT_TRUE(names.insert(cardPath).second) << "two records name one recording";
            const QString file = root + u'/' + cardPath.split(u'\\').join(u'/');
            ASSERT_TRUE(QFile::exists(file));
            // A reused recording still gives the record its own measure.
            EXPECT_EQ(e.recordingSeconds, storedSeconds(file));
            EXPECT_GE(e.callSeconds, e.recordingSeconds);
            const auto name = parseName(cardPath.split(u'\\').last());
            ASSERT_TRUE(name);
            // The kind of a reused recording matches its name's extension.
            const QByteArray bytes = tessa::test::TempDir::read(file);
            EXPECT_EQ(name->extension == QStringLiteral(".xtr"), !bytes.startsWith("RIFF"));
            contents.insert(bytes);
            ++files;
        }
        EXPECT_GT(files, 300);
        EXPECT_LE(contents.size(), 48u);
        EXPECT_EQ(liveTypes, (std::set<int>{2, 3, 4, 5, 6, 7, 8}));
    }
}

TEST(DemoCard, HoldsAtMostAHundredThousandRecords) {
    tessa::test::TempDir dir;
    DemoCardOptions options;
    options.records = kMaxDemoRecords + 1;
    QString error;
    EXPECT_FALSE(writeDemoCard(dir.file(QStringLiteral("card")), options, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(dir.file(QStringLiteral("card/CallLog.dat"))));
}
