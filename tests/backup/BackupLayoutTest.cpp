#include "backup/BackupLayout.h"

#include "format/CardRecord.h"
#include "store/CallLogFile.h"

#include <gtest/gtest.h>

namespace tessa {
namespace {

TEST(BackupLayout, TheTreeIsNamedFromTheRecordingStamp) {
    const QString root = QStringLiteral("/home/u/bk/");
    const QString modelRoot = backupModelRoot(root, ModelVX7);
    EXPECT_EQ(modelRoot, "/home/u/bk/TessaDeviceBackup\\");
    EXPECT_EQ(backupModelRoot(root, ModelVX5), "/home/u/bk/TessaDeviceBackupM\\");
    EXPECT_EQ(backupCallLogFolder(modelRoot), "/home/u/bk/TessaDeviceBackup\\CallLog\\");

    const auto p =
        placeRecording(modelRoot, QStringLiteral("E:\\RECORD\\200905\\20090512103000-I-5551234.wav"));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->stamp, "20090512103000");
    EXPECT_EQ(p->name, "20090512103000-I-5551234.wav");
    EXPECT_EQ(p->monthFolder, modelRoot + "200905\\");
    EXPECT_EQ(p->dayFolder, modelRoot + "200905\\20090512\\");
    EXPECT_EQ(p->destination, modelRoot + "200905\\20090512\\20090512103000-I-5551234.wav");
    EXPECT_EQ(p->monthLog, modelRoot + "CallLog\\200905CallLogBK.dat");
    EXPECT_EQ(p->month, 200905u);
    // The loader names the same month log from the month number and from the year and month.
    EXPECT_EQ(p->monthLog, monthLogPathOfMonth(root, ModelVX7, 200905));
    EXPECT_EQ(p->monthLog, monthLogPath(root, ModelVX7, 2009, 5));
    EXPECT_EQ(placeholderPath(p->destination), p->destination + ".tmp");

    // The stamp is the 14 characters before the first "-", whatever the record's date fields say; the
    // name starts with them.
    const auto longer = placeRecording(modelRoot, QStringLiteral("E:\\201801\\X20180115093012-I.wav"));
    ASSERT_TRUE(longer);
    EXPECT_EQ(longer->name, "20180115093012-I.wav");
    EXPECT_EQ(longer->dayFolder, modelRoot + "201801\\20180115\\");
}

TEST(BackupLayout, NamesThatAreNotRecordingsHaveNoPlace) {
    const QString modelRoot = backupModelRoot(QStringLiteral("/bk/"), ModelVX7);
    const std::pair<const char*, PlacementProblem> cases[] = {
        {"E:\\201801\\", PlacementProblem::NoDash},
        {"E:\\201801\\2018011509301-I.wav", PlacementProblem::ShortStamp},
        {"E:\\my-folder\\20180115093012-I.wav", PlacementProblem::ShortStamp},
        {"E:\\201801\\2018-0115093012-I.wav", PlacementProblem::ShortStamp},
        {"E:\\201801\\2018O115093012-I.wav", PlacementProblem::StampNotDigits},
        {"E:\\201801\\00180115093012-I.wav", PlacementProblem::StampNotDigits},
        {"E:\\201801\\20180115093012-I\\..\\..\\CallLog\\x.dat", PlacementProblem::NameHasFolder},
        {"E:\\201801\\20180115093012-I/x.wav", PlacementProblem::NameHasFolder},
    };
    for (const auto& [path, want] : cases) {
        PlacementProblem why = PlacementProblem::None;
        EXPECT_FALSE(placeRecording(modelRoot, QString::fromLatin1(path), &why)) << path;
        EXPECT_EQ(why, want) << path;
        EXPECT_FALSE(placementProblemText(why).isEmpty());
    }
    // A PC path that would not fit the month log's full-path field.
    const QString deep = QStringLiteral("/bk/") + QString(230, QLatin1Char('d')) + QStringLiteral("/");
    PlacementProblem why = PlacementProblem::None;
    EXPECT_FALSE(
        placeRecording(backupModelRoot(deep, 0), QStringLiteral("E:\\201801\\20180115093012-I.wav"), &why));
    EXPECT_EQ(why, PlacementProblem::PathTooLong);
}

CallRecord recordAt(uint32_t type, const QString& number, const QString& cardPath) {
    CallRecord r{};
    r.callType = type;
    r.number.setText(number);
    r.shortPath.setText(cardPath);
    r.fullPath.setText(cardPath);
    r.time.year = 2009;
    r.time.month = 5;
    r.time.day = 12;
    r.time.hour = 10;
    r.time.minute = 3;
    r.time.second = 7;
    return r;
}

TEST(BackupLayout, AFolderOnlyCardPathIsCompletedFromTheRecord) {
    const std::pair<uint32_t, const char*> tags[] = {{2, "I"},    {3, "I"},    {8, "I"}, {5, "NOTE"},
                                                     {6, "NOTE"}, {7, "TRIG"}, {4, "O"}, {9, "O"}};
    for (const auto& [type, tag] : tags)
        EXPECT_EQ(completionTag(type), QLatin1String(tag)) << type;

    CallRecord withNumber = recordAt(2, QStringLiteral("5551234"), QStringLiteral("E:\\"));
    EXPECT_EQ(completedCardPath(withNumber), "E:\\200905\\20090512100307-I-5551234.wav");
    CallRecord note = recordAt(5, QString(), QStringLiteral("E:\\RECORD\\"));
    completeRecordName(note);
    EXPECT_EQ(note.fullPath.text(), "E:\\RECORD\\200905\\20090512100307-NOTE.wav");
    EXPECT_EQ(note.shortPath.text(), note.fullPath.text());
    const auto place = placeRecording(backupModelRoot(QStringLiteral("/bk/"), 1), note.shortPath.text());
    ASSERT_TRUE(place);
    EXPECT_EQ(place->name, "20090512100307-NOTE.wav");

    // The full-path field takes the whole completed path, the short field at most 63 characters.
    const QString folder = QStringLiteral("E:\\") + QString(40, QLatin1Char('f')) + QStringLiteral("\\");
    CallRecord longPath = recordAt(4, QStringLiteral("0123456789"), folder);
    completeRecordName(longPath);
    const QString whole = folder + "200905\\20090512100307-O-0123456789.wav";
    EXPECT_EQ(longPath.fullPath.text(), whole);
    EXPECT_EQ(longPath.shortPath.text(), whole.left(63));
}

TEST(BackupLayout, TheLogCopyDiffersOnlyInItsFullPath) {
    CallRecord r =
        recordAt(2, QStringLiteral("5551234"), QStringLiteral("E:\\200905\\20090512100307-I-5551234.wav"));
    r.index = 17;
    r.marked = 1;
    r.fullPath.setText(QString(200, QLatin1Char('x'))); // longer than the new path: zero-filled after it
    const QString pc =
        QStringLiteral("/bk/TessaDeviceBackup\\200905\\20090512\\20090512100307-I-5551234.wav");
    const auto copy = monthLogCopy(r, pc);
    ASSERT_TRUE(copy);
    EXPECT_EQ(std::memcmp(copy->bytes(), r.bytes(), offsetof(CallRecord, fullPath)), 0);
    EXPECT_EQ(copy->fullPath.text(), pc);
    for (size_t i = size_t(pc.size()); i < 260; ++i)
        ASSERT_EQ(copy->fullPath.units[i].get(), 0) << i;
    EXPECT_TRUE(monthLogCopy(r, QString(259, QLatin1Char('p'))));
    EXPECT_FALSE(monthLogCopy(r, QString(260, QLatin1Char('p'))));
}

} // namespace
} // namespace tessa
