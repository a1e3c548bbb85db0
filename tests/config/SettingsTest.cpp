#include "config/Settings.h"

#include "config/IniFile.h"
#include "config/ProgramFolder.h"
#include "config/StringTable.h"
#include "support/ScopedConfig.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>

using namespace tessa;
using tessa::test::TempDir;

namespace {

class SettingsTest : public ::testing::Test {
protected:
    QString settingsText() const { return QString::fromUtf8(TempDir::read(dir.file("TessaSet.ini"))); }
    TempDir dir;
    test::ScopedConfig config{dir.path()};
};

} // namespace

TEST_F(SettingsTest, MissingFileReadsAsAbsent) {
    EXPECT_EQ(readIntSetting(QStringLiteral("DevType")), -1);
    EXPECT_EQ(readStringSetting(QStringLiteral("Software")), QString());
    EXPECT_EQ(text(85), QString());
}

TEST_F(SettingsTest, ProfileSemantics) {
    dir.write(QStringLiteral("TessaSet.ini"), "; comment\r\n[other]\r\nDevType=5\r\n[ SETTING ]\r\n"
                                              "  devtype = 1 \r\nSoftware = \"  Tessa  \"\r\nTwo=a\\nb\r\n"
                                              "Bad=x1\r\nNeg=-3\r\nEmpty=\r\n");
    EXPECT_EQ(readIntSetting(QStringLiteral("DEVTYPE")), 1);
    EXPECT_EQ(readStringSetting(QStringLiteral("software")), QStringLiteral("  Tessa  "));
    EXPECT_EQ(readStringSetting(QStringLiteral("Two")), QStringLiteral("a\nb"));
    EXPECT_EQ(readIntSetting(QStringLiteral("Bad")), 0);
    EXPECT_EQ(readIntSetting(QStringLiteral("Neg")), -3);
    EXPECT_EQ(readIntSetting(QStringLiteral("Empty")), 0);
    EXPECT_EQ(readIntSetting(QStringLiteral("Absent")), -1);
}

TEST_F(SettingsTest, WritesKeepEveryOtherLine) {
    dir.write(QStringLiteral("TessaSet.ini"),
              "; keep me\r\n[Setting]\r\nDevType=0\r\nDevice=VX7\r\n\r\n[Tail]\r\nX=1\r\n");
    ASSERT_TRUE(writeIntSetting(QStringLiteral("devtype"), 1));
    ASSERT_TRUE(writeStringSetting(QStringLiteral("BackupPath"), QStringLiteral("/home/u/backup/")));
    EXPECT_EQ(settingsText(), QStringLiteral("; keep me\r\n[Setting]\r\ndevtype=1\r\nDevice=VX7\r\n"
                                             "BackupPath=/home/u/backup/\r\n\r\n[Tail]\r\nX=1\r\n"));
    EXPECT_EQ(readIntSetting(QStringLiteral("DevType")), 1);

    // A line break in a value cannot smuggle in another key.
    ASSERT_TRUE(writeStringSetting(QStringLiteral("SearchedNum"), QStringLiteral("1\nDevType=7")));
    EXPECT_EQ(readIntSetting(QStringLiteral("DevType")), 1);
    EXPECT_EQ(readStringSetting(QStringLiteral("SearchedNum")), QStringLiteral("1\nDevType=7"));
}

TEST_F(SettingsTest, WritesCreateFileSectionAndKey) {
    ASSERT_TRUE(writeIntSetting(QStringLiteral("AutoBackup"), 1));
    EXPECT_EQ(readIntSetting(QStringLiteral("AutoBackup")), 1);
    EXPECT_EQ(settingsText(), QStringLiteral("[Setting]\nAutoBackup=1\n"));
    const IniFile other(dir.file(QStringLiteral("TessaSet.ini")));
    ASSERT_TRUE(other.write(QStringLiteral("More"), QStringLiteral("K"), QStringLiteral("v")));
    EXPECT_EQ(settingsText(), QStringLiteral("[Setting]\nAutoBackup=1\n\n[More]\nK=v\n"));
}

TEST_F(SettingsTest, ReadOnlyFileFailsWithoutDamage) {
    const QString path = dir.write(QStringLiteral("TessaSet.ini"), "[Setting]\nDevType=1\n");
    QFile::setPermissions(path, QFile::ReadOwner);
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    const bool root = QFileInfo(path).isWritable(); // root writes anyway
    EXPECT_EQ(writeIntSetting(QStringLiteral("DevType"), 0), root);
    if (!root) {
        EXPECT_EQ(readIntSetting(QStringLiteral("DevType")), 1);
    }
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(SettingsTest, StringTableKeysAndEncodings) {
    dir.write(QStringLiteral("TessaLang.ini"),
              "\xEF\xBB\xBF[English]\n0007=Seven\n0085=About\\nTessa\n0100=\n");
    EXPECT_EQ(text(7), QStringLiteral("Seven"));
    EXPECT_EQ(text(85), QStringLiteral("About\nTessa"));
    EXPECT_EQ(text(100), QString());
    EXPECT_EQ(text(8), QString());

    QStringEncoder toUtf16(QStringEncoder::Utf16LE);
    const QByteArray utf16 = QByteArray("\xFF\xFE", 2) +
                             QByteArray(toUtf16(QStringLiteral("[English]\r\n0159=Busy \u2014 wait\r\n")));
    dir.write(QStringLiteral("TessaLang.ini"), utf16);
    EXPECT_EQ(text(159), QStringLiteral("Busy \u2014 wait"));

    dir.write(QStringLiteral("TessaLang.ini"), "[English]\n0001=" + QByteArray(2000, 'x') + "\n");
    EXPECT_EQ(text(1).size(), 1023);
}

// Texts are looked up once per version of the table: an edit shows at once, even one that keeps the
// file's size, and so do a removed table and a table in another place.
TEST_F(SettingsTest, AnEditedStringTableShowsAtOnce) {
    dir.write(QStringLiteral("TessaLang.ini"), "[English]\n0272=of\n0273=and\n");
    EXPECT_EQ(text(272), QStringLiteral("of"));
    EXPECT_EQ(text(272), QStringLiteral("of"));
    dir.write(QStringLiteral("TessaLang.ini"), "[English]\n0272=de\n0273=und\n");
    EXPECT_EQ(text(272), QStringLiteral("de"));
    EXPECT_EQ(text(273), QStringLiteral("und"));

    ASSERT_TRUE(QFile::remove(dir.file("TessaLang.ini")));
    EXPECT_EQ(text(272), QString());

    TempDir other;
    other.write(QStringLiteral("TessaLang.ini"), "[English]\n0272=van\n");
    dir.write(QStringLiteral("TessaLang.ini"), "[English]\n0272=von\n");
    EXPECT_EQ(text(272), QStringLiteral("von"));
    test::ScopedConfig elsewhere{other.path()};
    EXPECT_EQ(text(272), QStringLiteral("van"));
}

TEST_F(SettingsTest, AFileThatCannotBeReadIsNeverReplaced) {
    // A folder in the file's place exists but cannot be read as the file (permissions do not stop root).
    const QString path = dir.file(QStringLiteral("TessaSet.ini"));
    ASSERT_TRUE(QDir().mkpath(path + QStringLiteral("/inside")));
    EXPECT_FALSE(writeIntSetting(QStringLiteral("DevType"), 1));
    EXPECT_TRUE(QFileInfo(path + QStringLiteral("/inside")).isDir());
    EXPECT_EQ(readIntSetting(QStringLiteral("DevType")), -1);
}

TEST_F(SettingsTest, ForeignLinesKeepTheirBytes) {
    // Latin-1 bytes that are no valid UTF-8, a line without an end, and a comment in another code page.
    const QByteArray before =
        QByteArray("; caf\xE9 \xFF\xFE\r\n[Setting]\r\nCompany=M\xFCller\r\nDevType=0\r\n"
                   "Address=Stra\xDF"
                   "e 1");
    const QString path = dir.write(QStringLiteral("TessaSet.ini"), before);
    ASSERT_TRUE(writeIntSetting(QStringLiteral("DevType"), 1));
    EXPECT_EQ(TempDir::read(path), QByteArray(before).replace("DevType=0", "DevType=1"));
    ASSERT_TRUE(writeStringSetting(QStringLiteral("BackupPath"), QStringLiteral("/b/")));
    EXPECT_EQ(TempDir::read(path),
              QByteArray(before).replace("DevType=0", "DevType=1") + "\r\nBackupPath=/b/\r\n");
}

TEST_F(SettingsTest, Utf16FilesAreWrittenBackInTheirOwnByteOrder) {
    for (const auto order : {QStringEncoder::Utf16LE, QStringEncoder::Utf16BE}) {
        SCOPED_TRACE(int(order));
        QStringEncoder encoder(order);
        const auto bytes = [&](const QString& s) { return QByteArray(encoder(s)); };
        const QByteArray bom =
            order == QStringEncoder::Utf16LE ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF");
        const QString path =
            dir.write(QStringLiteral("TessaSet.ini"),
                      bom + bytes(QStringLiteral("[Setting]\r\nDevice=VX7 \u00e9\u4e2d\r\nDevType=0\r\n")));
        EXPECT_EQ(readStringSetting(QStringLiteral("Device")), QStringLiteral("VX7 \u00e9\u4e2d"));
        ASSERT_TRUE(writeIntSetting(QStringLiteral("DevType"), 1));
        ASSERT_TRUE(writeStringSetting(QStringLiteral("ExportPath"), QStringLiteral("/\u00fc/")));
        EXPECT_EQ(TempDir::read(path),
                  bom + bytes(QStringLiteral(
                            "[Setting]\r\nDevice=VX7 \u00e9\u4e2d\r\nDevType=1\r\nExportPath=/\u00fc/\r\n")));
        EXPECT_EQ(readIntSetting(QStringLiteral("DevType")), 1);
    }
}

TEST_F(SettingsTest, TheReplacedFileKeepsItsMode) {
    const QString path = dir.write(QStringLiteral("TessaSet.ini"), "[Setting]\nDevType=0\n");
    const auto mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    ASSERT_TRUE(QFile::setPermissions(path, mode));
    ASSERT_TRUE(writeIntSetting(QStringLiteral("DevType"), 1));
    EXPECT_EQ(QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser), mode);
    const auto narrow = QFile::ReadOwner | QFile::WriteOwner;
    ASSERT_TRUE(QFile::setPermissions(path, narrow));
    ASSERT_TRUE(writeIntSetting(QStringLiteral("DevType"), 0));
    EXPECT_EQ(QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser), narrow);
    // No temporary file is left beside it.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("TessaSet.ini")});
}

TEST_F(SettingsTest, AFileWithoutReadPermissionIsNeverReplaced) {
    const QByteArray before("[Setting]\nBackupPath=/b/\nSoftware=Tessa\n");
    const QString path = dir.write(QStringLiteral("TessaSet.ini"), before);
    ASSERT_TRUE(QFile::setPermissions(path, QFile::WriteOwner));
    if (QFile(path).open(QIODevice::ReadOnly)) {
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        GTEST_SKIP() << "the permission does not stop this user from reading";
    }
    EXPECT_FALSE(writeIntSetting(QStringLiteral("DevType"), 1));
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    EXPECT_EQ(TempDir::read(path), before);
}
