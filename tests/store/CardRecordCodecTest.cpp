#include "store/CardRecordCodec.h"

#include "phonebook/ContactList.h"
#include "support/CardFixtures.h"

#include <gtest/gtest.h>

using namespace tessa;
using tessa::test::contact;
using tessa::test::setCardPath;
using tessa::test::workedCard128;

namespace {

CallRecord decode(const std::array<uint8_t, 256>& card, int model = ModelVX7,
                  const ContactList* contacts = nullptr, char drive = 'E') {
    CallRecord r{};
    EXPECT_TRUE(decodeCardRecord(card.data(), r, drive, model, contacts));
    return r;
}

QString timeOf(const CallRecord& r) {
    return QStringLiteral("%1-%2-%3 %4:%5:%6")
        .arg(r.time.year.get())
        .arg(r.time.month.get())
        .arg(r.time.day.get())
        .arg(r.time.hour.get())
        .arg(r.time.minute.get())
        .arg(r.time.second.get());
}

} // namespace

TEST(CardRecordDecode, WorkedExample128) {
    const auto card = workedCard128();
    const CallRecord r = decode(card);
    EXPECT_EQ(r.valid.get(), 1u);
    EXPECT_EQ(r.callType.get(), 2u);
    EXPECT_EQ(r.auxFlag.get(), 1u);
    EXPECT_EQ(r.marked.get(), 0u);
    EXPECT_EQ(timeOf(r), QStringLiteral("2018-1-15 9:30:12"));
    EXPECT_EQ(r.time.dayOfWeek.get(), 0);
    EXPECT_EQ(r.time.milliseconds.get(), 0);
    EXPECT_EQ(r.number.text(), QStringLiteral("5551234"));
    EXPECT_TRUE(r.name.empty());
    EXPECT_EQ(r.callDuration.get(), 90u);
    EXPECT_EQ(r.recordingDuration.get(), 96u);
    const QString path = QStringLiteral("E:\\201801\\20180115093012-I-5551234.wav");
    EXPECT_EQ(r.shortPath.text(), path);
    EXPECT_EQ(r.fullPath.text(), path);
    EXPECT_EQ(0, std::memcmp(r.cardBytes, card.data(), 128));
}

TEST(CardRecordDecode, RejectsRecordsNotInUse) {
    auto card = workedCard128();
    CallRecord r{};
    for (uint8_t flag : {0, 2, 0xFF}) {
        card[0] = flag;
        EXPECT_FALSE(decodeCardRecord(card.data(), r, 'E', ModelVX7, nullptr)) << int(flag);
    }
    EXPECT_FALSE(decodeCardRecord(nullptr, r, 'E', ModelVX7, nullptr));
}

TEST(CardRecordDecode, LengthsAreClampedToTheirFields) {
    auto card = workedCard128();
    card[10] = 40;
    card[41] = 50;
    for (int i = 0; i < 35; ++i)
        card[42 + i] = 'a';
    const CallRecord r = decode(card);
    EXPECT_EQ(r.number.length(), 30u);
    EXPECT_EQ(r.name.length(), 35u);
    EXPECT_EQ(r.name.text(), QString(35, QLatin1Char('a')));
}

TEST(CardRecordDecode, DigitCodesAndPlainCharactersForNotes) {
    auto card = workedCard128();
    card[10] = 5;
    const uint8_t codes[] = {1, 11, 12, 10, 20};
    std::memcpy(card.data() + 11, codes, sizeof codes);
    EXPECT_EQ(decode(card).number.text(), QStringLiteral("1#A**"));

    card[1] = CallNote;
    const uint8_t chars[] = {'N', 'o', 't', 'e', '1'};
    std::memcpy(card.data() + 11, chars, sizeof chars);
    EXPECT_EQ(decode(card).number.text(), QStringLiteral("Note1"));
}

TEST(CardRecordDecode, DateCorrectionReadsTheStampOfTheCardPath) {
    auto card = workedCard128();
    // Stored minute 29, second 0: the stamp carries 09:30:12.
    EXPECT_EQ(timeOf(decode(card)), QStringLiteral("2018-1-15 9:30:12"));

    // Month folder, slash, day folder, slash, name: the stamp starts at character 10.
    setCardPath(card.data(), 83, 45, "201801/15/20180115093012-I-5551234.wav");
    EXPECT_EQ(timeOf(decode(card)), QStringLiteral("2018-1-15 9:30:12"));

    // Zero seconds in the stamp leave the second at 0; a stamp equal to the stored time changes nothing.
    setCardPath(card.data(), 83, 45, "201801\\20180115092900-I-5551234.wav");
    EXPECT_EQ(timeOf(decode(card)), QStringLiteral("2018-1-15 9:29:0"));

    // A short path (24 characters with the drive) is not read for a stamp.
    setCardPath(card.data(), 83, 45, "201801\\201802160000");
    EXPECT_EQ(timeOf(decode(card)), QStringLiteral("2018-1-15 9:29:0"));
}

TEST(CardRecordDecode, DateCorrectionOfVx5RecordsStartsAtCharacter14) {
    std::array<uint8_t, 256> card{};
    card[0] = 1;
    card[1] = CallOutgoing;
    card[10] = 19;
    card[11] = 3;
    card[12] = 4;
    card[13] = 5;
    card[14] = 6;
    setCardPath(card.data(), 88, 64, "RECORD\\201903\\20190304050647-O-0123456789.xtr");
    const CallRecord r = decode(card, ModelVX5);
    EXPECT_EQ(timeOf(r), QStringLiteral("2019-3-4 5:6:47"));
    EXPECT_EQ(r.number.text(), QString());
}

TEST(CardRecordDecode, Vx5RecordCarriesBytesAndRemark) {
    std::array<uint8_t, 256> card{};
    card[0] = 1;
    card[1] = CallIncoming;
    card[2] = 7;
    card[3] = 1;
    card[4] = 0x5A;
    card[5] = 0x77; // not interpreted, not carried
    card[10] = 20;
    card[11] = 2;
    card[12] = 3;
    card[15] = 40; // longer than the 32-byte field
    for (int i = 0; i < 32; ++i)
        card[16 + i] = uint8_t('0' + i % 10);
    card[82] = 1; // 1 h 0 m 5 s
    card[84] = 5;
    card[87] = 9;
    setCardPath(card.data(), 88, 64, "RECORD\\202002\\x.wav");
    std::memcpy(card.data() + 152, "Office", 6);
    const CallRecord r = decode(card, ModelVX5);
    EXPECT_EQ(r.auxFlag.get(), 7u);
    EXPECT_EQ(r.marked.get(), 1u);
    EXPECT_EQ(r.number.length(), 32u);
    EXPECT_EQ(r.callDuration.get(), 3605u);
    EXPECT_EQ(r.recordingDuration.get(), 9u);
    const uint8_t expected[] = {1, CallIncoming, 7, 1, 0x5A, 'R', 'M', ':', 'O', 'f', 'f', 'i', 'c', 'e', 0};
    EXPECT_EQ(0, std::memcmp(r.cardBytes, expected, sizeof expected));
    for (size_t i = 40; i < 128; ++i)
        EXPECT_EQ(r.cardBytes[i], 0) << i;
    EXPECT_EQ(r.fullPath.text(), QStringLiteral("E:\\RECORD\\202002\\x.wav"));

    card[152] = 0; // no remark: no "RM:" either
    EXPECT_EQ(decode(card, ModelVX5).cardBytes[5], 0);
}

TEST(CardRecordDecode, PathsOfFullWidthAreKeptWhole) {
    auto card = workedCard128();
    const QByteArray path45(45, 'p');
    setCardPath(card.data(), 83, 45, path45);
    EXPECT_EQ(decode(card).fullPath.text(), QStringLiteral("E:\\") + QString(path45));

    std::array<uint8_t, 256> vx5{};
    vx5[0] = 1;
    const QByteArray path64(64, 'q');
    setCardPath(vx5.data(), 88, 64, path64);
    const CallRecord r = decode(vx5, ModelVX5);
    EXPECT_EQ(r.fullPath.text(), QStringLiteral("E:\\") + QString(path64));
    EXPECT_EQ(r.shortPath.length(), 63u);
}

TEST(CardRecordDecode, CardPathUsesTheSystemCodePage) {
    auto card = workedCard128();
    setCardPath(card.data(), 83, 45, "201801\\\x80\xE9.wav");
    EXPECT_EQ(decode(card).fullPath.text(), QStringLiteral("E:\\201801\\\u20AC\u00E9.wav"));
}

TEST(NameResolution, FollowsTheContactWalk) {
    auto card = workedCard128();
    card[10] = 8; // 5551234#
    card[18] = 11;
    ContactList contacts;
    contacts.append(contact(QStringLiteral("Third number"),
                            {QStringLiteral("111"), QStringLiteral("222"), QStringLiteral("0085551234")}));
    // The key is the last six digits of 5551234 after the trailing # is removed: 551234.
    EXPECT_EQ(decode(card, ModelVX7, &contacts).name.text(), QStringLiteral("Third number"));

    // A first-number match wins over an earlier match on another number, and the last one wins.
    contacts.append(contact(QStringLiteral("First A"), {QStringLiteral("15551234")}));
    contacts.append(contact(QStringLiteral("First B"), {QStringLiteral("9551234")}));
    EXPECT_EQ(decode(card, ModelVX7, &contacts).name.text(), QStringLiteral("First B"));

    // A record that has a name keeps it.
    card[41] = 2;
    card[42] = 'M';
    card[43] = 'e';
    EXPECT_EQ(decode(card, ModelVX7, &contacts).name.text(), QStringLiteral("Me"));
}

TEST(NameResolution, ShortNumbersMatchExactlyAndTheLastContactWins) {
    auto card = workedCard128();
    card[10] = 3;
    const uint8_t codes[] = {1, 1, 0};
    std::memcpy(card.data() + 11, codes, sizeof codes);
    ContactList contacts;
    contacts.append(contact(QStringLiteral("Longer"), {QStringLiteral("1100")}));
    EXPECT_TRUE(decode(card, ModelVX7, &contacts).name.empty());
    contacts.append(contact(QStringLiteral("Police"), {QStringLiteral("x"), QStringLiteral("110")}));
    contacts.append(contact(QStringLiteral("Police 2"), {QStringLiteral("110")}));
    EXPECT_EQ(decode(card, ModelVX7, &contacts).name.text(), QStringLiteral("Police 2"));

    // Nothing to resolve: an empty list, or a lone "#" that leaves no digits.
    EXPECT_TRUE(decode(card, ModelVX7, nullptr).name.empty());
    card[10] = 1;
    card[11] = 11;
    EXPECT_TRUE(decode(card, ModelVX7, &contacts).name.empty());
}

TEST(CardRecordEncode, RoundTripsThroughTheDecoders) {
    const QString name = QStringLiteral("20180115093012-I-5551234#.wav");
    for (int model : {ModelVX7, ModelVX5}) {
        const auto card = buildCardRecord('F', name, model, 3725);
        ASSERT_TRUE(card) << model;
        CallRecord r{};
        ASSERT_TRUE(decodeCardRecord(card->data(), r, 'F', model, nullptr));
        EXPECT_EQ(r.callType.get(), uint32_t(CallIncoming));
        EXPECT_EQ(r.auxFlag.get(), 1u);
        EXPECT_EQ(r.marked.get(), 0u);
        EXPECT_EQ(timeOf(r), QStringLiteral("2018-1-15 9:30:12"));
        EXPECT_EQ(r.number.text(), QStringLiteral("5551234#"));
        EXPECT_EQ(r.callDuration.get(), 3725u);
        EXPECT_EQ(r.recordingDuration.get(), 3725u);
        EXPECT_TRUE(r.name.empty());
        EXPECT_EQ(r.fullPath.text(), model == ModelVX5 ? QStringLiteral("F:\\RECORD\\201801\\") + name
                                                       : QStringLiteral("F:\\201801\\") + name);
    }
    const auto vx7 = buildCardRecord('F', name, ModelVX7, 0);
    EXPECT_EQ((*vx7)[4], 0); // not interpreted, written as 0
    for (size_t i = 128; i < 256; ++i)
        ASSERT_EQ((*vx7)[i], 0);
}

TEST(CardRecordEncode, NotesKeepTheirCharactersAndBadNamesAreRefused) {
    const auto note = buildCardRecord('E', QStringLiteral("20180115093012-NOTE-ab12.xtr"), ModelVX7, 1);
    ASSERT_TRUE(note);
    EXPECT_EQ((*note)[1], CallNote);
    EXPECT_EQ((*note)[10], 4);
    EXPECT_EQ(0, std::memcmp(note->data() + 11, "ab12", 4));

    const auto keypad = buildCardRecord('E', QStringLiteral("20180115093012-O-12ab*#x.wav"), ModelVX7, 1);
    ASSERT_TRUE(keypad);
    const uint8_t codes[] = {1, 2, 12, 13, 10, 11, 10};
    EXPECT_EQ(0, std::memcmp(keypad->data() + 11, codes, sizeof codes));

    EXPECT_FALSE(buildCardRecord('E', QStringLiteral("20180115093012-X-1.wav"), ModelVX7, 1));
    // A card path longer than the record's path field cannot be stored.
    const QString longName = QStringLiteral("20180115093012-I-") + QString(24, QLatin1Char('1')) + ".wav";
    EXPECT_FALSE(buildCardRecord('E', longName, ModelVX7, 1));
    EXPECT_TRUE(buildCardRecord('E', longName, ModelVX5, 1));
}

// Every field the encoder takes comes back from the decoder of its model, and nothing of one model's
// fields leaks into the other's record.
TEST(CardRecordEncode, FieldsOfEveryKindRoundTrip) {
    CardRecordFields f;
    f.valid = true;
    f.marked = true;
    f.callType = CallOutgoing;
    f.year = 2026;
    f.month = 11;
    f.day = 30;
    f.hour = 23;
    f.minute = 59;
    f.number = QStringLiteral("0049301234#");
    f.name = QStringLiteral("Claire Dubois");
    f.remark = QStringLiteral("Supplier");
    f.callSeconds = 3600 + 62;
    f.recordingSeconds = 61;
    for (int model : {ModelVX7, ModelVX5}) {
        SCOPED_TRACE(model);
        f.cardPath =
            QByteArray(model == ModelVX5 ? "RECORD\\" : "") + "202611\\20261130235901-O-0049301234#.xtr";
        const auto card = encodeCardFields(f, model);
        ASSERT_TRUE(card);
        const CallRecord r = decode(*card, model, nullptr, 'G');
        EXPECT_EQ(r.marked.get(), 1u);
        EXPECT_EQ(r.callType.get(), uint32_t(CallOutgoing));
        EXPECT_EQ(r.auxFlag.get(), 1u);
        EXPECT_EQ(timeOf(r), QStringLiteral("2026-11-30 23:59:1")); // seconds from the path's stamp
        EXPECT_EQ(r.number.text(), f.number);
        EXPECT_EQ(r.name.text(), model == ModelVX7 ? f.name : QString());
        EXPECT_EQ(r.callDuration.get(), 3662u);
        EXPECT_EQ(r.recordingDuration.get(), 61u);
        EXPECT_EQ(r.fullPath.text(), QStringLiteral("G:\\") + QString::fromLatin1(f.cardPath));
        const bool remark = std::memcmp(r.cardBytes + 5, "RM:Supplier", 11) == 0;
        EXPECT_EQ(remark, model == ModelVX5);
        for (size_t i = cardRecordSize(model); i < 256; ++i)
            ASSERT_EQ((*card)[i], 0) << i;
    }

    // A deleted record keeps its fields with byte 0 cleared; the decoder skips it.
    f.valid = false;
    f.cardPath = "202611\\20261130235901-O-0049301234#.xtr";
    const auto deleted = encodeCardFields(f, ModelVX7);
    ASSERT_TRUE(deleted);
    EXPECT_EQ((*deleted)[0], 0);
    EXPECT_EQ((*deleted)[1], CallOutgoing);
    CallRecord skipped{};
    EXPECT_FALSE(decodeCardRecord(deleted->data(), skipped, 'G', ModelVX7, nullptr));

    // A path that fills the VX7's 45 bytes is kept without a terminator; one byte more does not fit.
    f.cardPath = QByteArray(45, 'p');
    const auto full = encodeCardFields(f, ModelVX7);
    ASSERT_TRUE(full);
    EXPECT_EQ(0, std::memcmp(full->data() + 83, f.cardPath.constData(), 45));
    f.cardPath += 'p';
    EXPECT_FALSE(encodeCardFields(f, ModelVX7));
    EXPECT_TRUE(encodeCardFields(f, ModelVX5));
    f.cardPath = QByteArray(65, 'p');
    EXPECT_FALSE(encodeCardFields(f, ModelVX5));
}

// Each stamp group replaces its field only when it is not 0: a stamp of zeros changes nothing, and a group
// set on its own changes its field alone.
TEST(CardRecordDecode, DateCorrectionTakesOnlyTheStampGroupsThatAreNotZero) {
    auto card = workedCard128(); // stored 2018-01-15 09:29, no seconds
    const auto withStamp = [&](const char* stamp) {
        setCardPath(card.data(), 83, 45, QByteArray("201801\\") + stamp + "-I-5551234.wav");
        return timeOf(decode(card));
    };
    EXPECT_EQ(withStamp("00000000000000"), QStringLiteral("2018-1-15 9:29:0"));
    EXPECT_EQ(withStamp("20230000000000"), QStringLiteral("2023-1-15 9:29:0"));
    EXPECT_EQ(withStamp("00000700000000"), QStringLiteral("2018-7-15 9:29:0"));
    EXPECT_EQ(withStamp("00000028000000"), QStringLiteral("2018-1-28 9:29:0"));
    EXPECT_EQ(withStamp("00000000170000"), QStringLiteral("2018-1-15 17:29:0"));
    EXPECT_EQ(withStamp("00000000004400"), QStringLiteral("2018-1-15 9:44:0"));
    EXPECT_EQ(withStamp("00000000000033"), QStringLiteral("2018-1-15 9:29:33"));
    // Stored values that the stamp repeats stay as they are beside the groups that differ.
    EXPECT_EQ(withStamp("20180115092951"), QStringLiteral("2018-1-15 9:29:51"));
}

// The stamp is read only when the path text (drive, colon and backslash included) is longer than 24
// characters for a 128-byte record and 28 for a 256-byte one.
TEST(CardRecordDecode, DateCorrectionStartsPast24And28Characters) {
    auto card = workedCard128();                                // stored 2018-01-15 09:29
    setCardPath(card.data(), 83, 45, "201801\\20190216101112"); // 21 characters: 24 with "E:\"
    CallRecord r = decode(card);
    ASSERT_EQ(r.shortPath.length(), 24u);
    EXPECT_EQ(timeOf(r), QStringLiteral("2018-1-15 9:29:0"));
    setCardPath(card.data(), 83, 45, "201801\\20190216101112x");
    r = decode(card);
    ASSERT_EQ(r.shortPath.length(), 25u);
    EXPECT_EQ(timeOf(r), QStringLiteral("2019-2-16 10:11:12"));

    std::array<uint8_t, 256> vx5{};
    vx5[0] = 1;
    vx5[1] = CallOutgoing;
    const uint8_t stored[] = {19, 3, 4, 5, 6}; // 2019-03-04 05:06
    std::memcpy(vx5.data() + 10, stored, sizeof stored);
    setCardPath(vx5.data(), 88, 64, "RECORD\\201903\\20201112131"); // 28 with "E:\"
    r = decode(vx5, ModelVX5);
    ASSERT_EQ(r.shortPath.length(), 28u);
    EXPECT_EQ(timeOf(r), QStringLiteral("2019-3-4 5:6:0"));
    setCardPath(vx5.data(), 88, 64, "RECORD\\201903\\202011121314"); // 29: read up to the minute
    r = decode(vx5, ModelVX5);
    ASSERT_EQ(r.shortPath.length(), 29u);
    EXPECT_EQ(r.time.year.get(), 2020);
    EXPECT_EQ(r.time.month.get(), 11);
    EXPECT_EQ(r.time.day.get(), 12);
    EXPECT_EQ(r.time.hour.get(), 13);
    EXPECT_EQ(r.time.minute.get(), 14);
    // The 128-byte rule's limit does not apply to 256-byte records, nor the other way round.
    setCardPath(vx5.data(), 88, 64, "RECORD\\201903\\20201112"); // 25 characters
    EXPECT_EQ(timeOf(decode(vx5, ModelVX5)), QStringLiteral("2019-3-4 5:6:0"));
}

// The time bytes of an encoded record, read where the recorder reads them: the decoder's date correction
// would otherwise cover a wrong byte with the stamp of the path.
TEST(CardRecordEncode, TimeBytesSitAtTheirOffsetsWithoutSeconds) {
    const QString name = QStringLiteral("20231231235859-O-12.wav");
    const auto vx7 = buildCardRecord('E', name, ModelVX7, 1);
    ASSERT_TRUE(vx7);
    const uint8_t time[] = {23, 12, 31, 23, 58};
    EXPECT_EQ(0, std::memcmp(vx7->data() + 5, time, sizeof time));
    EXPECT_EQ((*vx7)[10], 2); // the number's length follows the minute: no second is stored

    const auto vx5 = buildCardRecord('E', name, ModelVX5, 1);
    ASSERT_TRUE(vx5);
    EXPECT_EQ(0, std::memcmp(vx5->data() + 10, time, sizeof time));
    for (size_t i = 4; i < 10; ++i)
        EXPECT_EQ((*vx5)[i], 0) << i;
    EXPECT_EQ((*vx5)[15], 2);
}
