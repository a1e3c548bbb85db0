#include "store/RecordWriteBack.h"

#include "config/ProgramFolder.h"
#include "config/Settings.h"
#include "store/AppState.h"
#include "store/CallLogFile.h"
#include "store/CardRecordCodec.h"
#include "support/CardFixtures.h"
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
    void SetUp() override {
        setConfigLocations(portableConfigLocations(config.path()));
        writeStringSetting(QStringLiteral("BackupPath"), backup.path() + "/");
    }
    void TearDown() override { setConfigLocations(portableConfigLocations(QStringLiteral("/nonexistent"))); }

    // A card log of three live records on drive E, loaded into the card collection.
    QString loadCard() {
        auto card = test::workedCard128();
        QByteArray log;
        for (int i = 0; i < 3; ++i) {
            card[83 + 30] = uint8_t('0' + i); // different paths
            log += QByteArray(reinterpret_cast<const char*>(card.data()), 128);
        }
        const QString path = cardDir.write(QStringLiteral("CallLog.dat"), log);
        LogReadHandlers handlers;
        handlers.record = [&](uint32_t, uint32_t, CallRecord* r) {
            if (r)
                state.cardRecords.append(*r);
        };
        readCardLog(QStringLiteral("E:\\CallLog.dat"), 'E', ModelVX7, nullptr, nullptr, handlers);
        state.viewMode = ViewCard;
        return path;
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
        LogReadHandlers handlers;
        handlers.record = [&](uint32_t, uint32_t, CallRecord* r) {
            if (r)
                state.backupRecords.append(*r);
        };
        readMonthLog(path, nullptr, handlers);
        state.viewMode = ViewBackup;
        return path;
    }

    TempDir config, backup, cardDir;
    test::ScopedVolumes volumes{{test::removable('E', cardDir.path())}};
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
    EXPECT_EQ(written, WriteBack::NotWritten);
    EXPECT_EQ(TempDir::read(log), shortLog);

    QFile::remove(log);
    ASSERT_TRUE(deleteRecord(state, first, &written));
    EXPECT_EQ(written, WriteBack::NotWritten);
    EXPECT_FALSE(QFile::exists(log)); // never created by a write-back
}

TEST_F(WriteBackTest, RebuildAppendsOnARecordBoundary) {
    cardDir.write(QStringLiteral("CallLog.dat"), QByteArray(50, 'j'));
    const QString name = QStringLiteral("20180115093012-I-5551234.wav");
    cardDir.write(QStringLiteral("201801/") + name, QByteArray(60 + 4096 * 5, 'a'));
    ASSERT_TRUE(encodeCardRecord('E', name, ModelVX7));
    const QByteArray log = TempDir::read(cardDir.file(QStringLiteral("CallLog.dat")));
    ASSERT_EQ(log.size(), 256);
    EXPECT_EQ(log.left(50), QByteArray(50, 'j'));
    EXPECT_EQ(log[128], 1);
    EXPECT_EQ(uint8_t(log[128 + 82]), 5); // recording seconds
    EXPECT_FALSE(encodeCardRecord('E', QStringLiteral("not-a-recording.wav"), ModelVX7));
}
