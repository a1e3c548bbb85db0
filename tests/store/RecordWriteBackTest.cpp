#include "store/RecordWriteBack.h"

#include "config/ProgramFolder.h"
#include "config/Settings.h"
#include "platform/ConfinedFiles.h"
#include "platform/NativePath.h"
#include "store/AppState.h"
#include "store/CallLogFile.h"
#include "store/CardRecordCodec.h"
#include "support/CardFixtures.h"
#include "support/ScopedConfig.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <QFile>

using namespace tessa;
using tessa::test::TempDir;

namespace {

// Compares two files and returns the offsets that differ.
std::vector<qsizetype> changedOffsets(const QByteArray& before, const QByteArray& after) {
    std::vector<qsizetype> changed;
    EXPECT_EQ(before.size(), after.size());
    for (qsizetype i = 0; i < std::min(before.size(), after.size()); ++i)
        if (before[i] != after[i])
            changed.push_back(i);
    return changed;
}

class WriteBackTest : public ::testing::Test {
protected:
    void SetUp() override { writeStringSetting(QStringLiteral("BackupPath"), backup.path() + "/"); }

    // A card log of three live records on drive E, loaded into the card collection.
    QString loadCard() {
        auto card = test::workedCard128();
        QByteArray log;
        for (int i = 0; i < 3; ++i) {
            card[83 + 30] = uint8_t('0' + i); // different paths
            log += QByteArray(reinterpret_cast<const char*>(card.data()), 128);
        }
        const QString path = cardDir.write(QStringLiteral("CallLog.dat"), log);
        readInto(state.cardRecords, path, ModelVX7);
        state.viewMode = ViewCard;
        return path;
    }

    // Reads a log into a collection the way the loader does, each record with its origin.
    static void readInto(RecordCollection& records, const QString& nativeLog, int model,
                         bool monthLog = false) {
        const RecordOrigin origin{nativeLog,
                                  uint32_t(monthLog ? kMonthLogRecordSize : cardRecordSize(model))};
        LogReadHandlers handlers;
        handlers.record = [&](uint32_t, uint32_t, CallRecord* r) {
            if (r)
                records.append(*r, origin);
        };
        if (monthLog)
            readMonthLog(nativeLog, platform::Area::Backup, nullptr, handlers);
        else
            readCardLog(nativeLog, platform::Area::Card, 'E', model, nullptr, nullptr, handlers);
    }

    // A month log of January 2018 with three live records, loaded into the backup collection.
    QString loadMonth() {
        QByteArray log;
        for (int i = 0; i < 3; ++i) {
            CallRecord r{};
            r.cardBytes[0] = 1;
            r.valid = 1;
            r.time.year = 2018;
            r.time.month = 1;
            r.fullPath.setText(QStringLiteral("/pc/copy%1.wav").arg(i));
            r.shortPath.setText(QStringLiteral("E:\\x%1").arg(i));
            for (auto& b : r.cardBytes)
                b = b == 0 ? 0x5C : b; // noise around the flags
            r.cardBytes[0] = 1;
            r.cardBytes[3] = 0;
            log += QByteArray(reinterpret_cast<const char*>(&r), sizeof r);
        }
        const QString path = monthLogPath(backup.path() + "/", ModelVX7, 2018, 1).replace('\\', '/');
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(log);
        f.close();
        readInto(state.backupRecords, path, ModelVX7, true);
        state.viewMode = ViewBackup;
        return path;
    }

    test::ScratchConfig config;
    TempDir backup, cardDir;
    test::ScopedVolumes volumes{{test::removable('E', cardDir.path())}};
    platform::ScopedFileRoots roots{cardDir.path(), backup.path()};
    AppState state;
};

} // namespace

TEST_F(WriteBackTest, MarkingACardRecordWritesOnlyItsMarkedByte) {
    const QString log = loadCard();
    const QByteArray before = TempDir::read(log);
    const QString second = std::next(state.cardRecords.begin())->fullPath.text();
    WriteBack written{};
    ASSERT_TRUE(setMarked(state, second, 1, &written));
    EXPECT_EQ(written, WriteBack::Written);
    EXPECT_EQ(changedOffsets(before, TempDir::read(log)), (std::vector<qsizetype>{128 + 3}));
    ASSERT_TRUE(setMarked(state, second, 0, &written));
    EXPECT_EQ(TempDir::read(log), before);
    EXPECT_FALSE(setMarked(state, QStringLiteral("E:\\nothing"), 1));
}

TEST_F(WriteBackTest, DeletingACardRecordClearsByteZeroAndKeepsTheSize) {
    const QString log = loadCard();
    const QByteArray before = TempDir::read(log);
    const QString first = state.cardRecords.begin()->fullPath.text();
    ASSERT_TRUE(deleteRecord(state, first));
    EXPECT_EQ(changedOffsets(before, TempDir::read(log)), (std::vector<qsizetype>{0}));
    EXPECT_EQ(state.cardRecords.count(), 2u);
    EXPECT_FALSE(deleteRecord(state, first)); // gone from the collection
}

TEST_F(WriteBackTest, MonthLogWriteBacksTouchOnlyTheFlagBytes) {
    const QString log = loadMonth();
    const QByteArray before = TempDir::read(log);
    const CallRecord& third = *std::next(state.backupRecords.begin(), 2);
    ASSERT_TRUE(setMarked(state, third.fullPath.text(), 1));
    const qsizetype base = 2 * 1076;
    EXPECT_EQ(changedOffsets(before, TempDir::read(log)), (std::vector<qsizetype>{base + 7, base + 144}));

    const QByteArray marked = TempDir::read(log);
    ASSERT_TRUE(deleteRecord(state, QStringLiteral("/pc/copy0.wav")));
    EXPECT_EQ(changedOffsets(marked, TempDir::read(log)), (std::vector<qsizetype>{4, 132}));
    EXPECT_EQ(state.backupRecords.count(), 2u);
}

TEST_F(WriteBackTest, AFileThatCannotTakeTheWriteIsReportedAndLeftAlone) {
    const QString log = loadCard();
    const QString first = state.cardRecords.begin()->fullPath.text();
    // A record whose place lies beyond the end of the log must not extend it.
    QFile::resize(log, 128);
    const QByteArray shortLog = TempDir::read(log);
    WriteBack written{};
    ASSERT_TRUE(setMarked(state, std::next(state.cardRecords.begin())->fullPath.text(), 1, &written));
    EXPECT_EQ(written, WriteBack::Stale);
    EXPECT_EQ(TempDir::read(log), shortLog);

    QFile::remove(log);
    ASSERT_TRUE(deleteRecord(state, first, &written));
    EXPECT_EQ(written, WriteBack::NotWritten);
    // Not read from a log: nothing to write it to.
    CallRecord loose = *state.cardRecords.begin();
    EXPECT_EQ(writeMarked(loose, nullptr, 1), WriteBack::NoOrigin);
    EXPECT_FALSE(QFile::exists(log)); // never created by a write-back
}

TEST_F(WriteBackTest, RebuildAppendsOnARecordBoundary) {
    cardDir.write(QStringLiteral("CallLog.dat"), QByteArray(50, 'j'));
    const QString name = QStringLiteral("20180115093012-I-5551234.wav");
    cardDir.write(QStringLiteral("201801/") + name, QByteArray(60 + 4096 * 5, 'a'));
    ASSERT_TRUE(encodeCardRecord('E', name, ModelVX7).appended());
    const QByteArray log = TempDir::read(cardDir.file(QStringLiteral("CallLog.dat")));
    ASSERT_EQ(log.size(), 256);
    EXPECT_EQ(log.left(50), QByteArray(50, 'j'));
    EXPECT_EQ(log[128], 1);
    EXPECT_EQ(uint8_t(log[128 + 82]), 5); // recording seconds
    EXPECT_TRUE(encodeCardRecord('E', QStringLiteral("not-a-recording.wav"), ModelVX7).nameRejected);
}

// A VX5 card of three records; decoded as the loader does.
QByteArray vx5Log() {
    QByteArray log;
    for (int i = 0; i < 3; ++i) {
        uint8_t card[256] = {};
        card[0] = 1;
        card[1] = CallIncoming;
        card[10] = 18;
        card[11] = 1;
        card[12] = 15;
        const QByteArray path = "RECORD\\201801\\2018011509301" + QByteArray::number(i) + "-I-555.wav";
        test::setCardPath(card, 88, 64, path);
        std::memset(card + 184, 0x77, 72); // bytes the recorder keeps to itself
        log += QByteArray(reinterpret_cast<const char*>(card), 256);
    }
    return log;
}

TEST_F(WriteBackTest, Vx5WriteBacksUseTheir256ByteSlotsWhateverModelIsShownNow) {
    const QString log = cardDir.write(QStringLiteral("CallLog.dat"), vx5Log());
    readInto(state.cardRecords, log, ModelVX5);
    ASSERT_EQ(state.cardRecords.count(), 3u);
    state.viewMode = ViewCard;
    state.modelCode = ModelVX7; // the view moved on to the other model meanwhile
    const QByteArray before = TempDir::read(log);
    CallRecord& third = *std::next(state.cardRecords.begin(), 2);
    EXPECT_EQ(writeMarked(third, state.cardRecords.origin(&third), 1), WriteBack::Written);
    EXPECT_EQ(changedOffsets(before, TempDir::read(log)), (std::vector<qsizetype>{512 + 3}));
    const QByteArray marked = TempDir::read(log);
    CallRecord& second = *std::next(state.cardRecords.begin());
    EXPECT_EQ(writeDeleted(second, state.cardRecords.origin(&second)), WriteBack::Written);
    EXPECT_EQ(changedOffsets(marked, TempDir::read(log)), (std::vector<qsizetype>{256}));
    EXPECT_EQ(writeRestored(second, state.cardRecords.origin(&second)), WriteBack::Written);
    EXPECT_EQ(TempDir::read(log), marked);
}

TEST_F(WriteBackTest, AMonthLogRecordIsWrittenBackToTheLogItWasReadFromNotTheOneOfItsTime) {
    // A record of March kept in January's log (backed up late), and March's own log beside it.
    CallRecord january{}, march{};
    for (CallRecord* r : {&january, &march}) {
        r->cardBytes[0] = 1;
        r->valid = 1;
        r->time.year = 2018;
        r->time.month = 3;
    }
    january.fullPath.setText(QStringLiteral("/pc/late.wav"));
    march.fullPath.setText(QStringLiteral("/pc/march.wav"));
    const auto image = [](const CallRecord& r) {
        return QByteArray(reinterpret_cast<const char*>(&r), sizeof r);
    };
    const QString janLog = backup.write("TessaDeviceBackup/CallLog/201801CallLogBK.dat", image(january));
    const QString marLog = backup.write("TessaDeviceBackup/CallLog/201803CallLogBK.dat", image(march));
    readInto(state.backupRecords, janLog, ModelVX7, true);
    state.viewMode = ViewBackup;
    const QByteArray marBefore = TempDir::read(marLog);
    ASSERT_TRUE(deleteRecord(state, QStringLiteral("/pc/late.wav")));
    EXPECT_EQ(TempDir::read(marLog), marBefore);
    EXPECT_EQ(TempDir::read(janLog)[4], 0);
    EXPECT_EQ(TempDir::read(janLog)[132], 0);
}

TEST_F(WriteBackTest, ASlotThatNoLongerHoldsTheRecordIsLeftAlone) {
    const QString log = loadCard();
    CallRecord& second = *std::next(state.cardRecords.begin());
    const RecordOrigin* origin = state.cardRecords.origin(&second);

    // The log was rewritten meanwhile: its records changed places.
    QByteArray swapped = TempDir::read(log);
    const QByteArray first = swapped.mid(0, 128);
    swapped.replace(0, 128, swapped.mid(128, 128));
    swapped.replace(128, 128, first);
    cardDir.write(QStringLiteral("CallLog.dat"), swapped);
    EXPECT_EQ(writeMarked(second, origin, 1), WriteBack::Stale);
    EXPECT_EQ(writeDeleted(second, origin), WriteBack::Stale);
    EXPECT_EQ(TempDir::read(log), swapped);

    // Another card in the reader under the same letter and folder: a log of other recordings.
    auto otherCard = test::workedCard128();
    test::setCardPath(otherCard.data(), 83, 45, "201905\\20190501120000-O-42.wav");
    QByteArray other;
    for (int i = 0; i < 3; ++i)
        other += QByteArray(reinterpret_cast<const char*>(otherCard.data()), 128);
    cardDir.write(QStringLiteral("CallLog.dat"), other);
    EXPECT_EQ(writeDeleted(second, origin), WriteBack::Stale);
    EXPECT_EQ(writeMarked(second, origin, 1), WriteBack::Stale);
    EXPECT_EQ(TempDir::read(log), other);

    // A stale index beyond the end.
    CallRecord beyond = second;
    beyond.index = 40;
    EXPECT_EQ(writeMarked(beyond, origin, 1), WriteBack::Stale);
    EXPECT_EQ(TempDir::read(log), other);
}

TEST_F(WriteBackTest, ACardLogThatLinksOffTheCardIsNeverPatched) {
    TempDir elsewhere;
    auto card = test::workedCard128();
    const QByteArray image(reinterpret_cast<const char*>(card.data()), 128);
    const QString target = elsewhere.write(QStringLiteral("victim.dat"), image);
    ASSERT_TRUE(QFile::link(target, cardDir.file(QStringLiteral("CallLog.dat"))));
    // Read as the user's own file (the link is followed), then written back as the card's log.
    RecordCollection records;
    const RecordOrigin origin{cardDir.file(QStringLiteral("CallLog.dat")), 128};
    LogReadHandlers handlers;
    handlers.record = [&](uint32_t, uint32_t, CallRecord* r) {
        if (r)
            records.append(*r, origin);
    };
    EXPECT_EQ(readCardLog(origin.logPath, platform::Area::Card, 'E', ModelVX7, nullptr, nullptr, handlers),
              LogReadStatus::Unreadable);
    readCardLog(origin.logPath, platform::Area::User, 'E', ModelVX7, nullptr, nullptr, handlers);
    ASSERT_EQ(records.count(), 1u);
    EXPECT_EQ(writeMarked(*records.begin(), &origin, 1), WriteBack::Refused);
    EXPECT_EQ(writeDeleted(*records.begin(), &origin), WriteBack::Refused);
    EXPECT_EQ(TempDir::read(target), image);
}

TEST_F(WriteBackTest, ARebuildAppendOnAFullCardReportsItAndLeavesTheLog) {
    cardDir.write(QStringLiteral("CallLog.dat"), QByteArray(128, 'j'));
    const QString name = QStringLiteral("20180115093012-I-5551234.wav");
    cardDir.write(QStringLiteral("201801/") + name, QByteArray(60 + 4096 * 5, 'a'));
    {
        platform::ScopedFileFault full(
            {.nth = 1, .fault = platform::FileFault::NoSpace, .ops = uint32_t(platform::FileOp::Write)});
        const EncodeOutcome outcome = encodeCardRecord('E', name, ModelVX7);
        EXPECT_FALSE(outcome.appended());
        EXPECT_EQ(outcome.written, platform::FileError::NoSpace);
    }
    EXPECT_EQ(TempDir::read(cardDir.file(QStringLiteral("CallLog.dat"))), QByteArray(128, 'j'));
}
