#include "phonebook/ContactFetch.h"

#include "cli/Cli.h"
#include "format/CardRecord.h"
#include "store/AppState.h"
#include "store/CallLogFile.h"
#include "store/CardRecordCodec.h"
#include "support/CardFixtures.h"
#include "support/CliRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace tessa;
using tessa::test::TempDir;

namespace {

QByteArray card(const char* name, const char* number) {
    return QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:") + name + "\r\nTEL;TYPE=CELL:" + number +
           "\r\nEND:VCARD\r\n";
}

// A card log of incoming calls from the given numbers (VX7 records).
QString writeCardLog(const TempDir& dir, const QStringList& numbers) {
    QByteArray log;
    for (int i = 0; i < numbers.size(); ++i) {
        const auto record = buildCardRecord(
            'E', QStringLiteral("2018011509%1-I-%2.wav").arg(i, 4, 10, QLatin1Char('0')).arg(numbers[i]),
            ModelVX7, 30);
        EXPECT_TRUE(record.has_value());
        log.append(reinterpret_cast<const char*>(record->data()), 128);
    }
    return dir.write(QStringLiteral("CallLog.dat"), log);
}

// The reload after a fetch: the names the card log decodes to with the state's contacts.
QStringList reloadNames(const QString& log, const AppState& state) {
    QStringList names;
    LogReadHandlers handlers;
    handlers.record = [&](uint32_t, uint32_t, CallRecord* r) {
        if (r)
            names.append(r->name.text());
    };
    readCardLog(log, platform::Area::User, 'E', ModelVX7, &state.contacts, nullptr, handlers);
    return names;
}

using tessa::test::CliResult;
using tessa::test::runCli;

} // namespace

TEST(ContactFetch, FetchFillsTheListAndTheReloadNamesTheCallers) {
    TempDir dir;
    dir.write("contacts/1-family.vcf", card("Mum", "+44 1632 960001") + card("Dad", "01632960002"));
    dir.write("contacts/2-work.vcf", card("Office", "960003"));
    const QString log = writeCardLog(dir, {"01632960001", "441632960002", "960003", "07700900123"});

    AppState state;
    EXPECT_EQ(reloadNames(log, state), (QStringList{"", "", "", ""})); // no contacts yet

    const ContactFetchResult first =
        fetchContacts(state.contacts, state.busy, vcardContacts(dir.file("contacts")));
    EXPECT_EQ(first.status, ContactFetchStatus::Fetched);
    EXPECT_EQ(first.count, 3u);
    ASSERT_EQ(state.contacts.size(), 3u);
    EXPECT_EQ(state.contacts.at(0).name.text(), QStringLiteral("Mum")); // delivery order is kept
    EXPECT_EQ(state.contacts.at(2).name.text(), QStringLiteral("Office"));
    EXPECT_EQ(reloadNames(log, state), (QStringList{"Mum", "Dad", "Office", ""}));

    // The address book changes: Dad is gone, the office moved. The second fetch replaces the first.
    dir.write("contacts/1-family.vcf", card("Mum", "+44 1632 960001"));
    dir.write("contacts/2-work.vcf", card("New Office", "07700 900123"));
    const ContactFetchResult second =
        fetchContacts(state.contacts, state.busy, vcardContacts(dir.file("contacts")));
    EXPECT_EQ(second.count, 2u);
    EXPECT_EQ(reloadNames(log, state), (QStringList{"Mum", "", "", "New Office"}));

    // A folder that vanished leaves nobody to name anyone.
    const ContactFetchResult none =
        fetchContacts(state.contacts, state.busy, vcardContacts(dir.file("gone")));
    EXPECT_EQ(none.status, ContactFetchStatus::Fetched);
    EXPECT_EQ(none.count, 0u);
    EXPECT_TRUE(state.contacts.empty());
    EXPECT_EQ(reloadNames(log, state), (QStringList{"", "", "", ""}));
}

TEST(ContactFetch, RefusedWhileACallLogLoads) {
    AppState state;
    state.contacts.append(test::contact(QStringLiteral("Kept"), {QStringLiteral("5550100")}));
    state.busy = true;
    bool sourceCalled = false;
    const ContactFetchResult r =
        fetchContacts(state.contacts, state.busy, [&](const platform::ContactCallback& deliver) {
            sourceCalled = true;
            deliver(test::contact(QStringLiteral("New"), {QStringLiteral("5550199")}));
        });
    EXPECT_EQ(r.status, ContactFetchStatus::RefusedBusy);
    EXPECT_FALSE(sourceCalled);
    ASSERT_EQ(state.contacts.size(), 1u);
    EXPECT_EQ(state.contacts.resolve(QStringLiteral("5550100")), QStringLiteral("Kept"));

    state.busy = false;
    const ContactFetchResult done =
        fetchContacts(state.contacts, state.busy, [](const platform::ContactCallback& deliver) {
            EXPECT_TRUE(deliver(test::contact(QStringLiteral("New"), {QStringLiteral("5550199")})));
        });
    EXPECT_EQ(done.status, ContactFetchStatus::Fetched);
    EXPECT_EQ(done.count, 1u);
    EXPECT_TRUE(state.contacts.resolve(QStringLiteral("5550100")).isEmpty());
    EXPECT_EQ(state.contacts.resolve(QStringLiteral("5550199")), QStringLiteral("New"));
}

TEST(CliLogContacts, NamesCardRecordsFromAFileOrAFolder) {
    TempDir dir;
    const QString vcf = dir.write("book/people.vcf", card("Ann Lee", "0555 0100") + card("Bob", "5550177"));
    const QString log = writeCardLog(dir, {"05550100", "5550177", "5550199"});

    for (const QString& path : {vcf, dir.file("book")}) {
        const CliResult r = runCli({"log", log, "--drive", "e", "--json", "--contacts", path});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        const QJsonArray records = QJsonDocument::fromJson(r.out.toUtf8()).array();
        ASSERT_EQ(records.size(), 3);
        EXPECT_EQ(records[0].toObject()["name"].toString(), QString()); // "0555 0100" ends in "5 0100"
        EXPECT_EQ(records[1].toObject()["name"].toString(), QStringLiteral("Bob"));
        EXPECT_EQ(records[2].toObject()["name"].toString(), QString());
    }
    const CliResult text = runCli({"log", log, "--drive", "e", "--contacts", vcf});
    EXPECT_EQ(text.code, 0);
    EXPECT_TRUE(text.out.contains(QStringLiteral("5550177 (Bob)")));
    EXPECT_TRUE(text.err.contains(QStringLiteral("2 contact(s)")));

    // Without --contacts nothing is named.
    EXPECT_FALSE(runCli({"log", log, "--drive", "e"}).out.contains(QStringLiteral("(Bob)")));
}

TEST(CliLogContacts, MissingContactsAreAnInputError) {
    TempDir dir;
    const QString log = writeCardLog(dir, {"5550177"});
    const CliResult missing = runCli({"log", log, "--contacts", dir.file("nowhere.vcf")});
    EXPECT_EQ(missing.code, 1);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("nowhere.vcf")));
    EXPECT_TRUE(missing.out.isEmpty());
    EXPECT_EQ(runCli({"log", log, "--contacts"}).code, 2);

    const QString unreadable = dir.write("locked.vcf", card("Bob", "5550177"));
    QFile::setPermissions(unreadable, QFileDevice::WriteOwner);
    if (!QFileInfo(unreadable).isReadable()) { // running as root reads anything
        EXPECT_EQ(runCli({"log", log, "--contacts", unreadable}).code, 1);
    }
}

TEST(CliLogContacts, MonthLogsKeepTheirStoredNames) {
    TempDir dir;
    CallRecord r{};
    decodeCardRecord(test::workedCard128().data(), r, 'E', ModelVX7, nullptr);
    const QString month = dir.write(QStringLiteral("201801CallLogBK.dat"),
                                    QByteArray(reinterpret_cast<const char*>(&r), sizeof r));
    const QString vcf = dir.write("people.vcf", card("Ann", "5551234"));
    const CliResult result = runCli({"log", month, "--json", "--contacts", vcf});
    ASSERT_EQ(result.code, 0) << result.err.toStdString();
    const QJsonArray records = QJsonDocument::fromJson(result.out.toUtf8()).array();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].toObject()["name"].toString(), QString());
    EXPECT_TRUE(result.err.contains(QStringLiteral("card records only")));
}
