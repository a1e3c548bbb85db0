#include "config/ProgramFolder.h"
#include "support/CliRunner.h"
#include "support/ScopedConfig.h"
#include "support/TempDir.h"

#include <cstring>
#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tessa {
namespace {

using test::runCli;
using test::TempDir;

QByteArray entry(uint8_t inUse, const char* name, const char* n1, const char* n2, const char* n3,
                 uint8_t type) {
    QByteArray b(155, '\0');
    b[0] = char(inUse);
    std::memcpy(b.data() + 1, n1, std::strlen(n1));
    std::memcpy(b.data() + 31, n2, std::strlen(n2));
    std::memcpy(b.data() + 61, n3, std::strlen(n3));
    std::memcpy(b.data() + 91, name, std::strlen(name));
    b[126] = char(type);
    return b;
}

class PhonebookCliTest : public ::testing::Test {
protected:
    test::ScopedConfig config{test::shippedConfigFolder()};
    TempDir dir;
};

TEST_F(PhonebookCliTest, JsonListsTheEntriesInUseInFileOrder) {
    const QString path =
        dir.write(QStringLiteral("PhoneBook.dat"),
                  entry(1, "Zed", "9", "", "", 2) + entry(0, "Gone", "1", "", "", 0) +
                      entry(1, "Al \"Q\"", "5551234", "66", "777", 0) + entry(3, "Odd", "1", "", "", 1));
    const auto result = runCli({QStringLiteral("phonebook"), path, QStringLiteral("--json")});
    ASSERT_EQ(result.code, 0) << result.err.toStdString();
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(result.out.toUtf8(), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << result.out.toStdString();
    const QJsonArray entries = doc.array();
    ASSERT_EQ(entries.size(), 2);
    const QJsonObject zed = entries[0].toObject();
    EXPECT_EQ(zed.value("index").toInt(), 0);
    EXPECT_EQ(zed.value("name").toString(), QStringLiteral("Zed"));
    EXPECT_EQ(zed.value("type").toInt(), 2);
    EXPECT_EQ(zed.value("typeText").toString(), QStringLiteral("Private"));
    const QJsonObject al = entries[1].toObject();
    EXPECT_EQ(al.keys(), (QStringList{"index", "name", "number1", "number2", "number3", "type", "typeText"}));
    EXPECT_EQ(al.value("index").toInt(), 2);
    EXPECT_EQ(al.value("name").toString(), QStringLiteral("Al \"Q\""));
    EXPECT_EQ(al.value("number1").toString(), QStringLiteral("5551234"));
    EXPECT_EQ(al.value("number2").toString(), QStringLiteral("66"));
    EXPECT_EQ(al.value("number3").toString(), QStringLiteral("777"));
    EXPECT_EQ(al.value("typeText").toString(), QStringLiteral("Normal"));
    // The keys come in this order, as a reader of the raw text sees them.
    EXPECT_TRUE(result.out.contains(QStringLiteral(
        R"({"index":2,"name":"Al \"Q\"","number1":"5551234","number2":"66","number3":"777","type":0,"typeText":"Normal"})")))
        << result.out.toStdString();

    const auto text = runCli({QStringLiteral("phonebook"), path});
    EXPECT_EQ(text.code, 0);
    EXPECT_EQ(text.out.count(QLatin1Char('\n')), 2);
    EXPECT_TRUE(text.out.contains(QStringLiteral("5551234  66  777  Normal")));
    EXPECT_TRUE(text.err.contains(QStringLiteral("2 entries")));
}

TEST_F(PhonebookCliTest, AFileOfBrokenSizeListsNothingAndSaysSo) {
    const QString path = dir.write(QStringLiteral("PhoneBook.dat"), entry(1, "Ann", "1", "", "", 0) + "x");
    const auto json = runCli({QStringLiteral("phonebook"), path, QStringLiteral("--json")});
    EXPECT_EQ(json.code, 0);
    EXPECT_EQ(QJsonDocument::fromJson(json.out.toUtf8()).array().size(), 0);
    EXPECT_TRUE(json.out.trimmed() == QStringLiteral("[]"));
    EXPECT_TRUE(json.err.contains(QStringLiteral("155"))) << json.err.toStdString();
    const auto text = runCli({QStringLiteral("phonebook"), path});
    EXPECT_EQ(text.code, 0);
    EXPECT_TRUE(text.out.isEmpty());
    EXPECT_FALSE(text.err.isEmpty());
}

TEST_F(PhonebookCliTest, MissingFilesAndWrongUsageAreRefused) {
    const auto missing = runCli({QStringLiteral("phonebook"), dir.file(QStringLiteral("none.dat"))});
    EXPECT_EQ(missing.code, 1);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("no such file")));
    const auto folder = runCli({QStringLiteral("phonebook"), dir.path()});
    EXPECT_EQ(folder.code, 1);
    EXPECT_TRUE(folder.err.contains(QStringLiteral("folder")));
    EXPECT_EQ(runCli({QStringLiteral("phonebook")}).code, 2);
    EXPECT_EQ(runCli({QStringLiteral("phonebook"), QStringLiteral("a"), QStringLiteral("b")}).code, 2);
    EXPECT_TRUE(runCli({QStringLiteral("help")}).out.contains(QStringLiteral("phonebook FILE [--json]")));
}

} // namespace
} // namespace tessa
