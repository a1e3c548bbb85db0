// tessa-cli mark and delete on card logs made in the test: what they change on disk, and what they
// refuse to touch.

#include "support/CardFixtures.h"
#include "support/CliRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <iterator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>
#include <unistd.h>

using namespace tessa;
using tessa::test::runCli;
using tessa::test::TempDir;

namespace {

constexpr size_t kSlot = 128;

// A VX7 card record naming a card path.
QByteArray record(const QByteArray& cardPath, bool marked = false) {
    auto card = test::workedCard128();
    card[3] = marked ? 1 : 0;
    test::setCardPath(card.data(), 83, 45, cardPath);
    return QByteArray(reinterpret_cast<const char*>(card.data()), kSlot);
}

struct Card {
    TempDir dir;
    QString log;
    QString recording(const char* name) { return dir.file(QStringLiteral("201801/") + QLatin1String(name)); }
    void addRecording(const char* name) {
        QDir().mkpath(dir.file(QStringLiteral("201801")));
        dir.write(QStringLiteral("201801/") + QLatin1String(name), QByteArray(4000, 'a'));
    }
    QByteArray logBytes() const { return TempDir::read(log); }
};

} // namespace

TEST(RecordEditCli, MarkWritesOnlyTheMarkedByteOfEachSlot) {
    Card card;
    card.log = card.dir.write(QStringLiteral("CallLog.dat"), record("201801\\20180115093012-I-1.wav") +
                                                                 record("201801\\20180115093013-I-2.wav"));
    const QByteArray before = card.logBytes();
    const auto r = runCli({"mark", card.log, "1", "0", "7"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("1 marked\n0 marked\n7 not found\n"));
    QByteArray expected = before;
    expected[3] = 1;
    expected[int(kSlot) + 3] = 1;
    EXPECT_EQ(card.logBytes(), expected);

    const auto off = runCli({"mark", card.log, "0", "--off", "--json"});
    ASSERT_EQ(off.code, 0);
    EXPECT_TRUE(off.out.contains(QStringLiteral("\"unmarked\""))) << off.out.toStdString();
    expected[3] = 0;
    EXPECT_EQ(card.logBytes(), expected);

    EXPECT_EQ(runCli({"mark", card.log}).code, 2);
    EXPECT_EQ(runCli({"mark", card.log, "x"}).code, 2);
    EXPECT_EQ(runCli({"mark", card.dir.file(QStringLiteral("none/CallLog.dat")), "0"}).code, 1);
}

TEST(RecordEditCli, DeleteKeepsMarkedRecordsSharedRecordingsAndTheProgramsFiles) {
    Card card;
    card.addRecording("20180115093012-I-1.wav");
    card.addRecording("20180115093013-I-2.wav");
    card.addRecording("20180115093014-I-3.wav");
    card.dir.write(QStringLiteral("PhoneBook.dat"), QByteArray(64, 'p'));
    card.log = card.dir.write(QStringLiteral("CallLog.dat"),
                              record("201801\\20180115093012-I-1.wav") +           // 0: goes with its file
                                  record("201801\\20180115093013-I-2.wav", true) + // 1: marked, stays
                                  record("201801\\20180115093013-I-2.wav") +       // 2: its file stays for 1
                                  record("CallLog.dat") +                          // 3: names the log itself
                                  record("PhoneBook.dat") +                        // 4: names the phonebook
                                  record("201801") +                               // 5: names a folder
                                  record("201801\\..\\201801\\20180115093014-I-3.wav")); // 6: other spelling
    const QByteArray before = card.logBytes();
    const auto r = runCli({"delete", card.log, "0", "1", "2", "3", "4", "5", "6"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 7) << r.out.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("0 deleted"));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("1 kept"))) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("2 deleted"))) << lines[2].toStdString();
    for (int i = 3; i <= 5; ++i)
        EXPECT_TRUE(lines[i].startsWith(QString::number(i) + QStringLiteral(" kept")))
            << lines[i].toStdString();

    EXPECT_FALSE(QFileInfo::exists(card.recording("20180115093012-I-1.wav")));
    EXPECT_TRUE(QFileInfo::exists(card.recording("20180115093013-I-2.wav")));
    EXPECT_TRUE(QFileInfo::exists(card.dir.file(QStringLiteral("PhoneBook.dat"))));
    EXPECT_TRUE(QFileInfo(card.dir.file(QStringLiteral("201801"))).isDir());
    // Deleting clears byte 0 of the slots that went, and nothing else; the log keeps its size.
    const QByteArray after = card.logBytes();
    ASSERT_EQ(after.size(), before.size());
    for (int slot = 0; slot < 7; ++slot) {
        const bool gone = slot == 0 || slot == 2 || lines[slot].contains(QStringLiteral("deleted"));
        EXPECT_EQ(after[slot * int(kSlot)], gone ? 0 : 1) << slot;
        EXPECT_EQ(after.mid(slot * int(kSlot) + 1, int(kSlot) - 1),
                  before.mid(slot * int(kSlot) + 1, int(kSlot) - 1));
    }
}

// Every file the program keeps is kept whatever the record calls it: by name in any folder and any case,
// a month log, and a hard link to the card's own log under a recording's name.
TEST(RecordEditCli, DeleteNeverRemovesAFileTheProgramKeepsUnderAnyName) {
    Card card;
    card.addRecording("20180115093012-I-1.wav");
    card.dir.write(QStringLiteral("CallLog_BK.dat"), QByteArray(128, 'b'));
    card.dir.write(QStringLiteral("BEEP1.WAV"), QByteArray(64, 'w'));
    card.dir.write(QStringLiteral("201801/Beep3.wav"), QByteArray(64, 'w'));
    card.dir.write(QStringLiteral("201801/201801CallLogBK.dat"), QByteArray(128, 'm'));
    const struct {
        const char* cardPath;
        const char* file;
    } kept[] = {
        {"CallLog_BK.dat", "CallLog_BK.dat"},
        {"BEEP1.WAV", "BEEP1.WAV"},
        {"201801\\Beep3.wav", "201801/Beep3.wav"},
        {"201801\\201801CallLogBK.dat", "201801/201801CallLogBK.dat"},
        {"201801\\20180115093099-I-9.wav", "201801/20180115093099-I-9.wav"}, // a hard link to the log
    };
    QByteArray bytes = record("201801\\20180115093012-I-1.wav");
    for (const auto& k : kept)
        bytes += record(k.cardPath);
    card.log = card.dir.write(QStringLiteral("CallLog.dat"), bytes);
    ASSERT_EQ(::link(QFile::encodeName(card.log).constData(),
                     QFile::encodeName(card.recording("20180115093099-I-9.wav")).constData()),
              0);

    QStringList args{QStringLiteral("delete"), card.log};
    for (int i = 0; i <= int(std::size(kept)); ++i)
        args << QString::number(i);
    const auto r = runCli(args);
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), int(std::size(kept)) + 1) << r.out.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("0 deleted"));
    EXPECT_FALSE(QFileInfo::exists(card.recording("20180115093012-I-1.wav")));
    for (int i = 0; i < int(std::size(kept)); ++i) {
        EXPECT_TRUE(lines[i + 1].startsWith(QString::number(i + 1) + QStringLiteral(" kept")))
            << lines[i + 1].toStdString();
        EXPECT_TRUE(QFileInfo::exists(card.dir.file(QLatin1String(kept[i].file)))) << kept[i].file;
    }
    EXPECT_EQ(card.logBytes().size(), bytes.size());
}

TEST(RecordEditCli, ALinkedLogOutsideTheCardIsRefused) {
    TempDir outside;
    const QByteArray bytes = record("201801\\20180115093012-I-1.wav");
    const QString target = outside.write(QStringLiteral("elsewhere.dat"), bytes);
    Card card;
    card.log = card.dir.file(QStringLiteral("CallLog.dat"));
    ASSERT_TRUE(QFile::link(target, card.log));
    EXPECT_NE(runCli({"mark", card.log, "0"}).code, 0);
    EXPECT_NE(runCli({"delete", card.log, "0"}).code, 0);
    EXPECT_EQ(TempDir::read(target), bytes);
}

TEST(RecordEditCli, AStaleIndexChangesNothing) {
    Card card;
    card.addRecording("20180115093012-I-1.wav");
    card.log = card.dir.write(QStringLiteral("CallLog.dat"), record("201801\\20180115093012-I-1.wav"));
    // The index of another log's record: the slot does not exist here.
    const auto r = runCli({"delete", card.log, "3"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, QStringLiteral("3 not found\n"));
    EXPECT_TRUE(QFileInfo::exists(card.recording("20180115093012-I-1.wav")));
}

TEST(CliInputs, DecodeRefusesAnOutputThatIsItsInput) {
    TempDir dir;
    const QByteArray bytes(6000, '\x7f');
    const QString input = dir.write(QStringLiteral("a.xtr"), bytes);
    ASSERT_TRUE(QDir().mkpath(dir.file(QStringLiteral("sub"))));
    const QString link = dir.file(QStringLiteral("link.wav"));
    ASSERT_TRUE(QFile::link(input, link));
    for (const QString& out : {input, dir.file(QStringLiteral("sub/../a.xtr")), link}) {
        SCOPED_TRACE(out.toStdString());
        const auto r = runCli({"decode", input, out});
        EXPECT_EQ(r.code, 1);
        EXPECT_TRUE(r.err.contains(QStringLiteral("is the input"))) << r.err.toStdString();
        EXPECT_EQ(TempDir::read(input), bytes);
    }
}

TEST(CliInputs, MissingFoldersAndFifosGetClearMessagesAndNeverHang) {
    TempDir dir;
    const QString fifo = dir.file(QStringLiteral("pipe.xtr"));
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const struct {
        QString path;
        QString says;
    } cases[] = {
        {dir.file(QStringLiteral("missing.xtr")), QStringLiteral("no such file")},
        {dir.path(), QStringLiteral("folder")},
        {fifo, QStringLiteral("not a regular file")},
    };
    for (const auto& c : cases)
        for (const char* command : {"recording", "decode"}) {
            SCOPED_TRACE(std::string(command) + " " + c.path.toStdString());
            QStringList args{QLatin1String(command), c.path};
            if (QLatin1String(command) == QLatin1String("decode"))
                args << dir.file(QStringLiteral("out.wav"));
            const auto r = runCli(args);
            EXPECT_EQ(r.code, 1);
            EXPECT_TRUE(r.err.contains(c.says)) << r.err.toStdString();
        }
}
