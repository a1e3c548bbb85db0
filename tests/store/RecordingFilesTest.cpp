#include "store/RecordingFiles.h"

#include "audio/OpenRecording.h"
#include "format/ContainerHeader.h"
#include "phonebook/ContactList.h"
#include "platform/FileRoots.h"
#include "support/CardFixtures.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace tessa;
using tessa::test::TempDir;

namespace {

const QString kStamp = QStringLiteral("20180115093012");

QByteArray container(uint32_t size, uint32_t dataOffset, uint32_t format) {
    QByteArray bytes(int(size), '\0');
    writeLeU32(reinterpret_cast<uint8_t*>(bytes.data()) + 4, dataOffset);
    writeLeU32(reinterpret_cast<uint8_t*>(bytes.data()) + 8, format);
    return bytes;
}

} // namespace

TEST(RecordingName, AcceptsTheRecorderNames) {
    const auto r = parseRecordingName(kStamp + "-I-5551234.wav");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->callType, uint32_t(CallIncoming));
    EXPECT_EQ(r->number, QStringLiteral("5551234"));
    EXPECT_EQ(r->year, 2018);
    EXPECT_EQ(r->month, 1);
    EXPECT_EQ(r->day, 15);
    EXPECT_EQ(r->hour, 9);
    EXPECT_EQ(r->minute, 30);
    EXPECT_EQ(r->second, 12);

    const auto note = parseRecordingName(kStamp + "-NOTE-.wav");
    ASSERT_TRUE(note);
    EXPECT_EQ(note->callType, uint32_t(CallNote));
    EXPECT_TRUE(note->number.isEmpty());

    EXPECT_EQ(parseRecordingName(kStamp + "-I-555.12.wav")->number, QStringLiteral("555.12"));
    EXPECT_EQ(parseRecordingName(kStamp + "-O-1.xtr")->callType, uint32_t(CallOutgoing));
    EXPECT_EQ(parseRecordingName(kStamp + "-TRIG-1.xtr")->callType, uint32_t(CallTriggered));
    EXPECT_EQ(parseRecordingName(kStamp + "-N-1.xtr")->callType, uint32_t(CallNote));
}

TEST(RecordingName, RejectsNamesThatBreakTheGrammar) {
    const QStringList bad = {
        kStamp + "-X-5551234.wav",                      // unknown tag
        QStringLiteral("20181315093012-I-5551234.wav"), // month 13
        QStringLiteral("20180115243012-I-5551234.wav"), // hour 24
        QStringLiteral("19990115093012-I-5551234.wav"), // year before 2000
        QStringLiteral("20180132093012-I-5551234.wav"), // day 32
        kStamp + "-I-555-1234.wav",                     // the tag runs to the last "-"
        kStamp + "-TRIG.wav",                           // no "-" after the tag
        kStamp + "-i-5551234.wav",                      // tags are case-sensitive
        kStamp + "-I-5551234",                          // no extension
        kStamp + "_I-5551234.wav",                      // character 14 is not "-"
        kStamp + "-I-" + QString(31, '1') + ".w",       // longer than 45 characters
        kStamp + "-I.wav",                              // too short
        kStamp + "-I-" + QString(25, '1') + ".wav",     // 46 characters
        QStringLiteral("2018AB15093012-I-5551234.wav"),
        QString(),
    };
    for (const QString& name : bad)
        EXPECT_FALSE(parseRecordingName(name)) << name.toStdString();
}

TEST(RecordingName, ImportAlsoTakesNamesWithoutANumber) {
    const auto trig = parseImportName(kStamp + "-TRIG.wav");
    ASSERT_TRUE(trig);
    EXPECT_EQ(trig->callType, uint32_t(CallTriggered));
    EXPECT_TRUE(trig->number.isEmpty());
    // Year and month are taken as they stand by the import.
    EXPECT_TRUE(parseImportName(QStringLiteral("19991315093012-I-1.wav")));
    EXPECT_FALSE(parseImportName(QStringLiteral("20180115243012-I-1.wav")));
    EXPECT_FALSE(parseImportName(kStamp + "-I-555-1234.wav"));
    EXPECT_FALSE(parseImportName(kStamp + "-TRIGG.wav"));
    EXPECT_FALSE(parseImportName(kStamp + "-TRIG"));
}

TEST(RecordingName, ImportTakesTheTwentyCharacterNamesOfTheBackup) {
    // stamp, "-", a one-letter tag, ".wav": what the backup writes for a record without a number.
    const QString name = kStamp + "-O.wav";
    ASSERT_EQ(name.size(), 20);
    const auto parsed = parseImportName(name);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->callType, uint32_t(CallOutgoing));
    EXPECT_TRUE(parsed->number.isEmpty());
    EXPECT_FALSE(parseRecordingName(name)); // the rebuild keeps its grammar
    // Twenty characters with a number part are still too short, and nineteen never do.
    EXPECT_FALSE(parseImportName(kStamp + "-I-.wa"));
    EXPECT_FALSE(parseImportName(kStamp + "-I.wa"));
}

TEST(MonthFolders, OnlyYearAndMonthNamesCount) {
    EXPECT_EQ(monthFolderValue(QStringLiteral("201801")), 201801u);
    for (const char* name : {"201813", "199912", "2018AB", "2018012", "20180", "300001", "201800"})
        EXPECT_EQ(monthFolderValue(QString::fromLatin1(name)), 0u) << name;

    TempDir card;
    platform::ScopedFileRoots roots{card.path(), {}}; // the folder stands for the card
    for (const char* name : {"201801", "201813", "199912", "2018AB", "2018012"})
        QDir(card.path()).mkpath(QString::fromLatin1(name));
    card.write(QStringLiteral("201802"), "a file, not a folder");
    QDir(card.path()).mkpath(QStringLiteral("RECORD/201905"));
    test::ScopedVolumes volumes({test::removable('E', card.path())});
    EXPECT_EQ(listCardMonthFolders('E', ModelVX7, nullptr), std::vector<uint32_t>{201801});
    EXPECT_EQ(listCardMonthFolders('E', ModelVX5, nullptr), std::vector<uint32_t>{201905});
    std::atomic<bool> quit{true};
    EXPECT_TRUE(listCardMonthFolders('E', ModelVX7, &quit).empty());
    EXPECT_EQ(monthFolderPath('E', ModelVX7, 201801), QStringLiteral("E:\\201801\\*.*"));
    EXPECT_EQ(monthFolderPath('E', ModelVX5, 201801), QStringLiteral("E:\\RECORD\\201801\\*.*"));
}

TEST(RecordingLength, StoredAndDisplayedMeasuresDiffer) {
    TempDir dir;
    platform::ScopedFileRoots roots{dir.path(), {}}; // the folder stands for the card
    const QString wav = kStamp + "-I-1.wav";
    EXPECT_EQ(storedDuration(dir.write(wav, QByteArray(4155, 'x'))), 0u);
    EXPECT_EQ(storedDuration(dir.write(wav, QByteArray(8252, 'x'))), 2u);
    EXPECT_EQ(displayLength(dir.file(wav)), 2u);
    EXPECT_EQ(displayLength(dir.write(wav, QByteArray(60 + 4055 * 3 - 1, 'x'))), 2u);
    EXPECT_EQ(displayLength(dir.write(wav, QByteArray(59, 'x'))), 0u);

    const QString xtr = kStamp + "-I-1.xtr";
    EXPECT_EQ(storedDuration(dir.write(xtr, container(4000, 1440, FormatGsm))), 2u);
    EXPECT_EQ(displayLength(dir.file(xtr)), 1u);
    EXPECT_EQ(storedDuration(dir.write(xtr, container(3089, 1440, FormatGsm))), 0u);
    EXPECT_EQ(storedDuration(dir.write(xtr, container(1440 + 4096 * 2, 1440, FormatImaAdpcm))), 2u);
    EXPECT_EQ(displayLength(dir.file(xtr)), 2u); // 8192 / 4055
    EXPECT_EQ(storedDuration(dir.write(xtr, container(1440 + 8001, 1440, FormatMuLaw))), 2u);
    EXPECT_EQ(displayLength(dir.file(xtr)), 1u);
    // A data offset beyond the end of the file gives no length.
    EXPECT_EQ(storedDuration(dir.write(xtr, container(4000, 900000, FormatGsm))), 0u);
    EXPECT_EQ(displayLength(dir.file(xtr)), 0u);

    EXPECT_EQ(storedDuration(dir.file(QStringLiteral("missing.wav"))), 0u);
    EXPECT_EQ(displayLength(dir.file(QStringLiteral("missing.wav"))), 0u);
    EXPECT_TRUE(isRecordingFileName(QStringLiteral("a.wav.bak")));
    EXPECT_TRUE(isRecordingFileName(QStringLiteral("a.xtr")));
    EXPECT_FALSE(isRecordingFileName(QStringLiteral("a.WAV")));
}

TEST(ImportRecord, BuiltFromTheNameAndTheFile) {
    TempDir dir;
    platform::ScopedFileRoots roots{dir.path(), {}}; // the folder stands for the card
    const QString path = dir.write(kStamp + "-O-0123456789.wav", QByteArray(60 + 4096 * 3, 'x'));
    ContactList contacts;
    contacts.append(test::contact(QStringLiteral("Office"), {QStringLiteral("99123456789")}));
    const auto r = buildRecordFromFile(path, &contacts);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->valid.get(), 1u);
    EXPECT_EQ(r->callType.get(), uint32_t(CallOutgoing));
    EXPECT_EQ(r->auxFlag.get(), 1u);
    EXPECT_EQ(r->time.second.get(), 12);
    EXPECT_EQ(r->callDuration.get(), 3u);
    EXPECT_EQ(r->recordingDuration.get(), 3u);
    EXPECT_EQ(r->name.text(), QStringLiteral("Office"));
    EXPECT_EQ(r->fullPath.text(), path);
    EXPECT_EQ(r->index.get(), 0u);
    EXPECT_FALSE(buildRecordFromFile(dir.file(QStringLiteral("20180115093012-X-1.wav")), nullptr));
}

// One rule tells a container from a plain WAV recording for every reader: the path contains ".xtr",
// whatever part of it and whatever the file's own name says.
TEST(RecordingLength, TheWholePathTellsAContainerAsThePlayerSees) {
    TempDir dir;
    platform::ScopedFileRoots roots{dir.path(), {}}; // the folder stands for the card
    const QByteArray gsm = container(1440 + 1650 * 3, 1440, FormatGsm);
    const QString inContainerFolder = dir.write(QStringLiteral("old.xtr/") + kStamp + "-I-1.wav", gsm);
    EXPECT_EQ(storedDuration(inContainerFolder), 3u);
    EXPECT_EQ(displayLength(inContainerFolder), 3u);
    EXPECT_EQ(inspectRecording(inContainerFolder).duration, 3u);
    EXPECT_TRUE(inspectRecording(inContainerFolder).container);

    // Capitals are no container: the same bytes measure as IMA ADPCM from byte 60.
    const QString capitals = dir.write(kStamp + "-I-1.XTR", gsm);
    EXPECT_EQ(storedDuration(capitals), uint32_t((gsm.size() - 60) / 4096));
    EXPECT_EQ(displayLength(capitals), uint32_t((gsm.size() - 60) / 4055));
    EXPECT_EQ(inspectRecording(capitals).duration, uint32_t((gsm.size() - 60) / 4055));
    EXPECT_FALSE(inspectRecording(capitals).container);
}
