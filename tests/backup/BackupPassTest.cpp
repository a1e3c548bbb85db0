#include "backup/BackupPass.h"

#include "backup/BackupLayout.h"
#include "platform/ConfinedFiles.h"
#include "platform/FileFaults.h"
#include "platform/NativePath.h"
#include "store/CallLogFile.h"
#include "support/BackupScene.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFileInfo>
#include <unistd.h>

namespace tessa {
namespace {

using test::BackupScene;
using test::RecordingObserver;
using test::TempDir;

BackupSummary runPass(BackupScene& scene, bool move, RecordingObserver* observer = nullptr,
                      const std::function<bool()>& stop = nullptr) {
    RecordingObserver local;
    return runBackupPass(scene.request(move), scene.load(), stop, observer ? *observer : local);
}

bool cardValidByte(const BackupScene& scene, int index) {
    return scene.cardLog().at(index * qsizetype(cardRecordSize(scene.model()))) == 1;
}

TEST(BackupPass, WorkedExampleLandsInItsDayFolderAndMonthLog) {
    BackupScene scene;
    // An incoming call of 2009-05-12 10:30:00 from 5551234 whose card path names the RECORD folder.
    const QString name = QStringLiteral("20090512103000-I-5551234.wav");
    scene.addWithCardPath(name, "RECORD\\200905\\" + name.toLatin1());
    scene.dir.write("card/RECORD/200905/" + name, BackupScene::contentOf(name));

    RecordingObserver seen;
    const BackupSummary summary = runPass(scene, false, &seen);
    EXPECT_TRUE(summary.allBackedUp());
    EXPECT_EQ(summary.copied, 1u);
    const QString copy = scene.backup + "TessaDeviceBackup/200905/20090512/" + name;
    EXPECT_EQ(TempDir::read(copy), BackupScene::contentOf(name));
    EXPECT_EQ(TempDir::read(scene.card + "/RECORD/200905/" + name), BackupScene::contentOf(name));

    // The month log holds one record: the card's record with the PC path in the full-path field.
    const auto logged = scene.monthLogRecords("200905");
    ASSERT_EQ(logged.size(), 1u);
    const CallRecord& r = logged[0];
    EXPECT_EQ(r.fullPath.text(), scene.backup + "TessaDeviceBackup\\200905\\20090512\\" + name);
    EXPECT_EQ(r.shortPath.text(), "E:\\RECORD\\200905\\" + name);
    EXPECT_EQ(r.callType.get(), uint32_t(CallIncoming));
    EXPECT_EQ(r.number.text(), QStringLiteral("5551234"));
    // Every byte but the full-path field is the loaded record's.
    const CallRecord loaded = scene.load().front();
    EXPECT_EQ(std::memcmp(r.bytes(), loaded.bytes(), offsetof(CallRecord, fullPath)), 0);
    for (size_t i = r.fullPath.length(); i < 260; ++i)
        EXPECT_EQ(r.fullPath.units[i].get(), 0) << i;
    // The loader finds that month log by its month number.
    EXPECT_TRUE(QFileInfo::exists(platform::nativePath(monthLogPathOfMonth(scene.backup, 0, 200905))));

    // Progress: range, then the position before the record; the destination shown before the copy.
    EXPECT_EQ(seen.ranges, std::vector<uint32_t>{1});
    EXPECT_EQ(seen.positions, std::vector<uint32_t>{1});
    ASSERT_EQ(seen.destinations.size(), 1u);
    EXPECT_EQ(seen.destinations[0], r.fullPath.text());
    // The backup collection's copy carries its place in the month log.
    ASSERT_EQ(seen.logged.size(), 1u);
    EXPECT_EQ(seen.logged[0].index.get(), 0u);
    EXPECT_EQ(seen.logged[0].fullPath.text(), r.fullPath.text());

    // A second pass over the same card copies and logs nothing.
    RecordingObserver again;
    const BackupSummary second = runPass(scene, false, &again);
    EXPECT_EQ(second.alreadyThere, 1u);
    EXPECT_EQ(second.copied, 0u);
    EXPECT_TRUE(again.logged.empty());
    EXPECT_EQ(scene.monthLogRecords("200905").size(), 1u);
}

TEST(BackupPass, AMissingRecordingIsLoggedOnceAsAPlaceholder) {
    BackupScene scene;
    const QString name = QStringLiteral("20180115093012-I-5551234.wav");
    scene.add(name, true);
    RecordingObserver seen;
    const BackupSummary summary = runPass(scene, false, &seen);
    EXPECT_EQ(summary.placeholders, 1u);
    EXPECT_TRUE(summary.allBackedUp());
    const QString placeholder = scene.onPc(name) + ".tmp";
    ASSERT_TRUE(QFileInfo(placeholder).isFile());
    EXPECT_EQ(QFileInfo(placeholder).size(), 0);
    EXPECT_FALSE(QFileInfo::exists(scene.onPc(name)));
    const auto logged = scene.monthLogRecords("201801");
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].fullPath.text(), scene.loggedPath(name) + ".tmp");

    EXPECT_EQ(runPass(scene, false).alreadyThere, 1u);
    EXPECT_EQ(runPass(scene, true).alreadyThere, 1u);
    EXPECT_EQ(scene.monthLogRecords("201801").size(), 1u);

    // A recording backed up earlier that has since gone from the card needs no placeholder.
    BackupScene other;
    other.add(name);
    runPass(other, false);
    QFile::remove(other.onCard(name));
    EXPECT_EQ(runPass(other, false).alreadyThere, 1u);
    EXPECT_FALSE(QFileInfo::exists(other.onPc(name) + ".tmp"));
    EXPECT_EQ(other.monthLogRecords("201801").size(), 1u);
}

TEST(BackupPass, KeepModeCopiesAndMoveModeEmptiesTheCard) {
    const QStringList names = {"20180115093012-I-5551234.wav", "20180115100000-O-0123.wav",
                               "20180203080000-NOTE-.xtr"};
    for (const bool move : {false, true}) {
        SCOPED_TRACE(move ? "move" : "keep");
        BackupScene scene;
        for (const QString& n : names)
            scene.add(n);
        // An earlier backup of February already holds two records.
        QDir().mkpath(scene.modelFolder() + "/CallLog");
        scene.dir.write("backup/TessaDeviceBackup/CallLog/201802CallLogBK.dat", QByteArray(2 * 1076, '\0'));

        RecordingObserver seen;
        const BackupSummary summary = runPass(scene, move, &seen);
        EXPECT_TRUE(summary.allBackedUp());
        EXPECT_EQ(move ? summary.moved : summary.copied, 3u);
        for (const QString& n : names) {
            EXPECT_EQ(TempDir::read(scene.onPc(n)), BackupScene::contentOf(n)) << n.toStdString();
            EXPECT_EQ(QFileInfo::exists(scene.onCard(n)), !move) << n.toStdString();
        }
        // Nothing but the recordings stands in the day folders: no temporary copy is left behind.
        EXPECT_EQ(QDir(scene.modelFolder() + "/201801/20180115").entryList(QDir::Files | QDir::Hidden),
                  (QStringList{names[0], names[1]}));
        // Indexes are the places in the month logs, after what a log held before.
        ASSERT_EQ(seen.logged.size(), 3u);
        EXPECT_EQ(seen.logged[0].index.get(), 0u);
        EXPECT_EQ(seen.logged[1].index.get(), 1u);
        EXPECT_EQ(seen.logged[2].index.get(), 2u);
        EXPECT_EQ(scene.monthLogRecords("201802").size(), 3u);
        // A complete move pass leaves nothing on the card for its call log to name.
        EXPECT_EQ(QFileInfo::exists(scene.card + "/CallLog.dat"), !move);
        EXPECT_EQ(summary.cardLog, move ? CardLogChange::Deleted : CardLogChange::Untouched);
    }
}

TEST(BackupPass, MoveLeavesTheCardOnlyWhenThePcCopyIsEqual) {
    BackupScene scene;
    const QString same = QStringLiteral("20180115093012-I-5551234.wav");
    const QString differs = QStringLiteral("20180115100000-O-0123.wav");
    const QString fresh = QStringLiteral("20180116080000-O-777.wav");
    for (const QString& n : {same, differs, fresh})
        scene.add(n);
    runPass(scene, false);
    // Someone changed the PC's copy of one recording since, keeping its size.
    QByteArray changed = BackupScene::contentOf(differs);
    changed[100] = char(~changed[100]);
    scene.dir.write("backup/TessaDeviceBackup/201801/20180115/" + differs, changed);
    QFile::remove(scene.onPc(fresh));

    RecordingObserver seen;
    const BackupSummary summary = runPass(scene, true, &seen);
    ASSERT_EQ(seen.results.size(), 3u);
    EXPECT_EQ(seen.results[0].outcome, BackupOutcome::AlreadyThere);
    EXPECT_TRUE(seen.results[0].leftCard);
    EXPECT_EQ(seen.results[1].outcome, BackupOutcome::Skipped);
    EXPECT_FALSE(seen.results[1].reason.isEmpty());
    EXPECT_EQ(seen.results[2].outcome, BackupOutcome::Moved);
    EXPECT_FALSE(summary.allBackedUp());

    EXPECT_FALSE(QFileInfo::exists(scene.onCard(same)));
    EXPECT_EQ(TempDir::read(scene.onCard(differs)), BackupScene::contentOf(differs));
    EXPECT_EQ(TempDir::read(scene.onPc(differs)), changed);
    EXPECT_FALSE(QFileInfo::exists(scene.onCard(fresh)));
    EXPECT_EQ(TempDir::read(scene.onPc(fresh)), BackupScene::contentOf(fresh));
    // Each was logged by the first pass and is not logged again, the one copied anew included.
    EXPECT_TRUE(seen.logged.empty());
    EXPECT_EQ(scene.monthLogRecords("201801").size(), 3u);
    // The card keeps naming the recording that stayed; the entries of those that left are cleared.
    EXPECT_EQ(summary.cardLog, CardLogChange::EntriesCleared);
    EXPECT_FALSE(cardValidByte(scene, 0));
    EXPECT_TRUE(cardValidByte(scene, 1));
    EXPECT_FALSE(cardValidByte(scene, 2));
    EXPECT_EQ(scene.cardLog().size(), 3 * 128);
}

TEST(BackupPass, ACopyWithoutItsLogEntryIsLoggedByTheNextPass) {
    BackupScene scene;
    const QString name = QStringLiteral("20180115093012-I-5551234.wav");
    scene.add(name);
    // The machine stopped after the copy took its name and before the month log took the record.
    QDir().mkpath(QFileInfo(scene.onPc(name)).path());
    scene.dir.write("backup/TessaDeviceBackup/201801/20180115/" + name, BackupScene::contentOf(name));
    RecordingObserver seen;
    EXPECT_EQ(runPass(scene, false, &seen).alreadyThere, 1u);
    ASSERT_EQ(scene.monthLogRecords("201801").size(), 1u);
    EXPECT_EQ(scene.monthLogRecords("201801")[0].fullPath.text(), scene.loggedPath(name));
    EXPECT_EQ(seen.logged.size(), 1u);
    EXPECT_EQ(runPass(scene, true).alreadyThere, 1u);
    EXPECT_EQ(scene.monthLogRecords("201801").size(), 1u);
    EXPECT_FALSE(QFileInfo::exists(scene.onCard(name)));
}

TEST(BackupPass, ALoggedCopyCutShortIsCopiedAgain) {
    for (const bool move : {false, true}) {
        SCOPED_TRACE(move ? "move" : "keep");
        BackupScene scene;
        const QString name = QStringLiteral("20180115093012-I-5551234.wav");
        scene.add(name);
        runPass(scene, false);
        // A power cut left the logged copy shorter than the recording.
        QFile::resize(scene.onPc(name), 1000);
        RecordingObserver seen;
        const BackupSummary summary = runPass(scene, move, &seen);
        ASSERT_EQ(seen.results.size(), 1u);
        EXPECT_EQ(seen.results[0].outcome, move ? BackupOutcome::Moved : BackupOutcome::Copied);
        EXPECT_TRUE(seen.results[0].reason.contains("incomplete")) << seen.results[0].reason.toStdString();
        EXPECT_TRUE(summary.allBackedUp());
        EXPECT_EQ(TempDir::read(scene.onPc(name)), BackupScene::contentOf(name));
        EXPECT_EQ(scene.monthLogRecords("201801").size(), 1u);
        EXPECT_TRUE(seen.logged.empty());
        EXPECT_EQ(QFileInfo::exists(scene.onCard(name)), !move);
    }
}

TEST(BackupPass, RecordsThatCannotBePlacedOrLeaveTheCardAreSkipped) {
    BackupScene scene;
    TempDir outside;
    outside.write("20180115093012-I-1.wav", "secret");
    ASSERT_EQ(::symlink(outside.path().toUtf8().constData(), (scene.card + "/201801").toUtf8().constData()),
              0);
    scene.add("20180115093012-I-1.wav", true);                                        // through a link out
    scene.addWithCardPath("20180115093013-I-2.wav", "..\\20180115093013-I-2.wav");    // climbs out
    scene.addWithCardPath("20180115093014-I-3.wav", "201802\\2018011509301-I-3.wav"); // 13 stamp characters
    scene.dir.write("card/201802/2018011509301-I-3.wav", "still on the card");
    scene.addWithCardPath("20180115093015-I-4.wav", "201802\\2018O115093015-I-4.wav"); // a letter O
    scene.addWithCardPath("20180115093016-I-5.wav", "201802\\20180115093016-I\\..\\x.wav");
    scene.add("20180203080000-NOTE-.xtr");

    RecordingObserver seen;
    const BackupSummary summary = runPass(scene, true, &seen);
    ASSERT_EQ(seen.results.size(), 6u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(seen.results[i].outcome, BackupOutcome::Skipped) << i;
        EXPECT_FALSE(seen.results[i].reason.isEmpty()) << i;
    }
    EXPECT_EQ(seen.results[5].outcome, BackupOutcome::Moved);
    EXPECT_EQ(summary.skipped, 5u);
    EXPECT_EQ(TempDir::read(outside.file("20180115093012-I-1.wav")), "secret");
    // Nothing was written for the skipped records: only the moved one's month log, manifest and tree exist.
    EXPECT_EQ(QDir(scene.modelFolder() + "/CallLog").entryList(QDir::Files),
              (QStringList{"201802.sha256", "201802CallLogBK.dat"}));
    EXPECT_EQ(QDir(scene.modelFolder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
              (QStringList{"201802", "CallLog"}));
    // Its log still names the records whose recordings did not leave.
    EXPECT_TRUE(QFileInfo::exists(scene.card + "/CallLog.dat"));
}

TEST(BackupPass, AStopEndsTheWalkAndClearsOnlyTheEntriesThatLeft) {
    BackupScene scene;
    const QStringList names = {"20180115093012-I-1.wav", "20180115093013-I-2.wav", "20180115093014-I-3.wav"};
    for (const QString& n : names)
        scene.add(n);
    RecordingObserver seen;
    int asked = 0;
    const BackupSummary summary = runPass(scene, true, &seen, [&] { return ++asked > 2; });
    EXPECT_FALSE(summary.complete);
    EXPECT_EQ(summary.handled, 2u);
    EXPECT_EQ(seen.positions, (std::vector<uint32_t>{1, 2}));
    EXPECT_EQ(summary.cardLog, CardLogChange::EntriesCleared);
    EXPECT_FALSE(cardValidByte(scene, 0));
    EXPECT_FALSE(cardValidByte(scene, 1));
    EXPECT_TRUE(cardValidByte(scene, 2));
    EXPECT_TRUE(QFileInfo::exists(scene.onCard(names[2])));
    // The card, read again, lists what is still on it.
    const auto left = scene.load();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].shortPath.text(), "E:\\201801\\" + names[2]);
}

TEST(BackupPass, VX5CardsGoToTheirOwnModelFolder) {
    BackupScene scene(ModelVX5);
    const QString name = QStringLiteral("20180115093012-I-5551234.wav");
    scene.add(name);
    scene.add("20180116093012-O-42.wav");
    const BackupSummary summary = runPass(scene, true);
    EXPECT_EQ(summary.moved, 2u);
    EXPECT_TRUE(scene.modelFolder().endsWith("TessaDeviceBackupM"));
    EXPECT_EQ(TempDir::read(scene.onPc(name)), BackupScene::contentOf(name));
    EXPECT_FALSE(QFileInfo::exists(scene.card + "/RECORD/201801/" + name));
    const auto logged = scene.monthLogRecords("201801");
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_EQ(logged[0].shortPath.text(), "E:\\RECORD\\201801\\" + name);
    EXPECT_TRUE(QFileInfo::exists(platform::nativePath(monthLogPathOfMonth(scene.backup, 1, 201801))));
    EXPECT_EQ(summary.cardLog, CardLogChange::Deleted);
}

TEST(BackupPass, ACardPulledMidPassEndsItWithWhatWasDoneKept) {
    for (const bool move : {false, true}) {
        SCOPED_TRACE(move ? "move" : "keep");
        BackupScene scene;
        const QStringList names = {"20180115093012-I-1.wav", "20180115093013-I-2.wav",
                                   "20180115093014-I-3.wav"};
        for (const QString& n : names)
            scene.add(n);
        const QString pulled = scene.dir.file("pulled");
        RecordingObserver seen;
        seen.afterRecord = [&](const BackupRecordResult& r) {
            if (r.position == 1) {
                ASSERT_TRUE(QDir().rename(scene.card, pulled));
            }
        };
        const BackupSummary summary = runPass(scene, move, &seen);
        EXPECT_TRUE(summary.cardGone);
        EXPECT_FALSE(summary.complete);
        EXPECT_EQ(summary.handled, 2u);
        EXPECT_EQ(seen.results[1].outcome, BackupOutcome::Skipped);
        // No placeholder stands for recordings that only went with the card.
        EXPECT_EQ(QDir(scene.modelFolder() + "/201801/20180115").entryList(QDir::Files | QDir::Hidden),
                  QStringList{names[0]});
        EXPECT_EQ(scene.monthLogRecords("201801").size(), 1u);
        EXPECT_EQ(QFileInfo::exists(pulled + "/201801/" + names[0]), !move);
        for (int i = 1; i < 3; ++i)
            EXPECT_EQ(TempDir::read(pulled + "/201801/" + names[i]), BackupScene::contentOf(names[i]));
        EXPECT_EQ(summary.cardLog, CardLogChange::Untouched);
    }
}

TEST(BackupPass, AMonthLogThatCannotTakeTheRecordKeepsTheRecordingOnTheCard) {
    BackupScene scene;
    const QString name = QStringLiteral("20180115093012-I-5551234.wav");
    scene.add(name);
    // The month log's name is taken by a folder: no append can succeed.
    QDir().mkpath(scene.monthLog("201801"));
    RecordingObserver seen;
    const BackupSummary summary = runPass(scene, true, &seen);
    EXPECT_EQ(summary.skipped, 1u);
    EXPECT_TRUE(seen.logged.empty());
    EXPECT_EQ(TempDir::read(scene.onCard(name)), BackupScene::contentOf(name));
    EXPECT_TRUE(cardValidByte(scene, 0));
    // The copy stays, complete; once the log can be written the next pass logs it and moves on.
    EXPECT_EQ(TempDir::read(scene.onPc(name)), BackupScene::contentOf(name));
    QDir().rmdir(scene.monthLog("201801"));
    EXPECT_EQ(runPass(scene, true).alreadyThere, 1u);
    EXPECT_EQ(scene.monthLogRecords("201801").size(), 1u);
    EXPECT_FALSE(QFileInfo::exists(scene.onCard(name)));
}

// Faults at every file operation of a pass, in both modes: afterwards each recording is complete on the
// card or on the PC, nothing but a whole recording stands under a recording's name, every month log holds
// whole records only, and a pass without faults finishes the backup with every record logged once.
TEST(BackupPass, NoInjectedFaultLosesARecording) {
    const QStringList names = {"20180115093012-I-1.wav", "20180115093013-O-2.wav",
                               "20180203080000-NOTE-.xtr"};
    const QString missing = QStringLiteral("20180204080000-I-9.wav");
    // Hundreds of passes, each syncing what it writes: in memory where the machine offers it.
    const QString base =
        QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm") : QString();
    int runs = 0;
    for (const bool move : {false, true})
        for (const auto fault :
             {platform::FileFault::NoSpace, platform::FileFault::IoError, platform::FileFault::Vanished})
            for (int nth = 1;; ++nth) {
                SCOPED_TRACE(testing::Message() << (move ? "move" : "keep") << " fault " << int(fault)
                                                << " at operation " << nth);
                BackupScene scene(ModelVX7, base);
                for (const QString& n : names)
                    scene.add(n, false, 300 * 1024);
                scene.add(missing, true);
                const std::vector<CallRecord> records = scene.load();
                RecordingObserver seen;
                bool fired = false;
                {
                    platform::ScopedFileFault plan({.nth = nth,
                                                    .fault = fault,
                                                    .ops = platform::kAnyFileOp,
                                                    .sticky = fault == platform::FileFault::Vanished});
                    runBackupPass(scene.request(move), records, nullptr, seen);
                    fired = platform::fileFaultsFired() > 0;
                }
                ++runs;
                for (const QString& n : names) {
                    const QByteArray want = BackupScene::contentOf(n, 300 * 1024);
                    const bool onCard = TempDir::read(scene.onCard(n)) == want;
                    const bool onPc = TempDir::read(scene.onPc(n)) == want;
                    EXPECT_TRUE(onCard || onPc) << n.toStdString();
                    if (QFileInfo::exists(scene.onPc(n))) {
                        EXPECT_TRUE(onPc) << "a partial copy under " << n.toStdString();
                    }
                    if (!QFileInfo::exists(scene.onCard(n))) {
                        EXPECT_TRUE(onPc) << n.toStdString();
                    }
                }
                for (const QString& month : {QStringLiteral("201801"), QStringLiteral("201802")})
                    for (const CallRecord& r : scene.monthLogRecords(month))
                        EXPECT_TRUE(r.validByte() && r.fullPath.text().startsWith(scene.backup));
                // Every collection copy stands for a record that is in its month log.
                for (const CallRecord& r : seen.logged) {
                    const auto log = scene.monthLogRecords(r.shortPath.text().mid(10, 6));
                    ASSERT_LT(r.index.get(), log.size());
                    EXPECT_EQ(log[r.index.get()].fullPath.text(), r.fullPath.text());
                }

                // A complete move pass removed the card's log: nothing is left on the card to back up.
                if (QFileInfo::exists(scene.card + "/CallLog.dat")) {
                    const BackupSummary after = runBackupPass(scene.request(move), records, nullptr, seen);
                    EXPECT_TRUE(after.allBackedUp());
                }
                QStringList logged;
                for (const QString& month : {QStringLiteral("201801"), QStringLiteral("201802")})
                    for (const CallRecord& r : scene.monthLogRecords(month))
                        logged << r.fullPath.text();
                logged.sort();
                QStringList expected = {scene.loggedPath(names[0]), scene.loggedPath(names[1]),
                                        scene.loggedPath(names[2]), scene.loggedPath(missing) + ".tmp"};
                expected.sort();
                EXPECT_EQ(logged.join('\n').toStdString(), expected.join('\n').toStdString());
                for (const QString& n : names) {
                    EXPECT_EQ(TempDir::read(scene.onPc(n)), BackupScene::contentOf(n, 300 * 1024));
                    if (move) {
                        EXPECT_FALSE(QFileInfo::exists(scene.onCard(n))) << n.toStdString();
                    }
                }
                if (!fired)
                    break; // the plan outlasted every operation of the pass
            }
    EXPECT_GT(runs, 60);
}

} // namespace
} // namespace tessa
