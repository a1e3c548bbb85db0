#include "platform/VCardParser.h"

#include "format/CardRecord.h"
#include "phonebook/ContactList.h"
#include "store/CallLogFile.h"
#include "store/CardRecordCodec.h"
#include "support/TempDir.h"
#include "support/VCardSamples.h"

#include <gtest/gtest.h>
#include <random>

using namespace tessa;
using namespace tessa::platform;
using namespace tessa::test;

TEST(VCardParser, PhoneExportOfVersion21) {
    const auto contacts = parse(kPhoneExport);
    ASSERT_EQ(contacts.size(), 3u);
    EXPECT_EQ(contacts[0].name, QString::fromUtf8("Jürgen Müller-Lüdenscheid von Großenbach"));
    EXPECT_EQ(contacts[0].numbers, (QStringList{"+49 171 5550123", "030-5550199"}));
    EXPECT_EQ(contacts[1].name, QString::fromUtf8("Renée Lefèvre")); // from N: given, then family
    EXPECT_EQ(contacts[1].numbers, QStringList{"0145550177"});
    EXPECT_EQ(contacts[2].name, QString::fromUtf8("Dušan Novák €"));
    EXPECT_EQ(contacts[2].numbers, QStringList{"+420 555 010 203"});

    // Without a CHARSET, text that is not UTF-8 comes from the PC's code page (Windows-1252 here).
    const auto legacy =
        parse("BEGIN:VCARD\r\nVERSION:2.1\r\nN;ENCODING=QUOTED-PRINTABLE:Z=FCrn;Andr=E9\r\n"
              "END:VCARD\r\nBEGIN:VCARD\r\nVERSION:2.1\r\nFN:Fran\xC3\xA7oise\r\nEND:VCARD\r\n");
    ASSERT_EQ(legacy.size(), 2u);
    EXPECT_EQ(legacy[0].name, QString::fromUtf8("André Zürn"));
    EXPECT_EQ(legacy[1].name, QString::fromUtf8("Françoise"));
}

TEST(VCardParser, DesktopExportOfVersion30) {
    const auto contacts = parse(kDesktopExport);
    ASSERT_EQ(contacts.size(), 2u);
    EXPECT_EQ(contacts[0].name, QStringLiteral("Dr. Bartholomew Fitzgerald-Ramirez"));
    EXPECT_EQ(contacts[0].numbers, (QStringList{"+1 (555) 010-0001", "555 0102", "5550103"}));
    EXPECT_EQ(contacts[1].name, QStringLiteral("Smith, Jones \\ Partners; Ltd"));
    EXPECT_EQ(contacts[1].numbers, QStringList{"02075550100"}); // the empty fax takes no slot
}

TEST(VCardParser, Version40TelephoneUris) {
    const auto contacts = parse(kVersion4);
    ASSERT_EQ(contacts.size(), 1u);
    EXPECT_EQ(contacts[0].name, QStringLiteral("Simon Perreault"));
    EXPECT_EQ(contacts[0].numbers, (QStringList{"+1-418-656-9254", "+1-418-262-6501",
                                                "sip:5551234@example.com", "0800 555 0199"}));
}

TEST(VCardParser, NameFallsBackFromFnToNToOrganisation) {
    const auto contacts = parse("BEGIN:VCARD\nVERSION:3.0\nN:Doe;Jane;Q.;Dr.;\nTEL:1\nEND:VCARD\n"
                                "BEGIN:VCARD\nVERSION:3.0\nFN:  \nN:Doe;;;;\nTEL:2\nEND:VCARD\n"
                                "BEGIN:VCARD\nVERSION:3.0\nN:van der Berg;Anna,Maria;;;\nEND:VCARD\n"
                                "BEGIN:VCARD\nVERSION:3.0\nORG:Acme\\; Sons;Dispatch\nTEL:3\nEND:VCARD\n"
                                "BEGIN:VCARD\nVERSION:3.0\nTEL:4\nEMAIL:nobody@example.com\nEND:VCARD\n"
                                "BEGIN:VCARD\nVERSION:3.0\nFN:Line\\nBreak\nEND:VCARD\n");
    ASSERT_EQ(contacts.size(), 5u); // the nameless card is left out
    EXPECT_EQ(contacts[0].name, QStringLiteral("Jane Doe"));
    EXPECT_EQ(contacts[1].name, QStringLiteral("Doe"));
    EXPECT_EQ(contacts[2].name, QStringLiteral("Anna Maria van der Berg"));
    EXPECT_EQ(contacts[3].name, QStringLiteral("Acme; Sons"));
    EXPECT_EQ(contacts[4].name, QStringLiteral("Line Break"));
}

TEST(VCardParser, SevenNumbersAndSixtyThreeUnitsAtMost) {
    QByteArray card = "BEGIN:VCARD\nVERSION:3.0\nFN:" + QByteArray(70, 'x') + "\n";
    for (int i = 1; i <= 9; ++i)
        card += "TEL:" + QByteArray::number(i) + "00" + (i == 2 ? QByteArray(80, '9') : QByteArray()) + "\n";
    card += "END:VCARD\n";
    // A character outside the basic plane is never cut in half.
    card += "BEGIN:VCARD\nVERSION:4.0\nFN:" + QByteArray(62, 'a') + "\xF0\x9F\x93\x9E\nEND:VCARD\n";
    const auto contacts = parse(card);
    ASSERT_EQ(contacts.size(), 2u);
    EXPECT_EQ(contacts[0].name, QString(63, u'x'));
    ASSERT_EQ(contacts[0].numbers.size(), 7);
    EXPECT_EQ(contacts[0].numbers[0], QStringLiteral("100"));
    EXPECT_EQ(contacts[0].numbers[1], QStringLiteral("200") + QString(60, u'9'));
    EXPECT_EQ(contacts[0].numbers[6], QStringLiteral("700"));
    EXPECT_EQ(contacts[1].name, QString(62, u'a'));
}

TEST(VCardParser, LineEndingsAndFoldingRulesOfEachVersion) {
    const QByteArray lf = "BEGIN:VCARD\nVERSION:3.0\nFN:Ann\n  Lee\nTEL:555\n\t0100\nEND:VCARD\n";
    const auto expected = parse(lf);
    ASSERT_EQ(expected.size(), 1u);
    EXPECT_EQ(expected[0].name, QStringLiteral("Ann Lee")); // one blank removed, the other kept
    EXPECT_EQ(expected[0].numbers, QStringList{"5550100"});
    for (QByteArray other : {crlf(lf), QByteArray(lf).replace('\n', '\r')}) {
        const auto c = parse(other);
        ASSERT_EQ(c.size(), 1u);
        EXPECT_EQ(c[0].name, expected[0].name);
        EXPECT_EQ(c[0].numbers, expected[0].numbers);
    }
    // 2.1 folds where a blank stands, and the blank stays.
    const auto v21 = parse("BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Ann\r\n Lee\r\nEND:VCARD\r\n");
    ASSERT_EQ(v21.size(), 1u);
    EXPECT_EQ(v21[0].name, QStringLiteral("Ann Lee"));
    // Byte order marks of UTF-8 and UTF-16 files.
    const QString text =
        QString::fromUtf8("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Zoë\r\nTEL:5550100\r\nEND:VCARD\r\n");
    QByteArray utf16("\xFF\xFE", 2);
    utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    for (const QByteArray& bom : {QByteArray("\xEF\xBB\xBF") + text.toUtf8(), utf16}) {
        const auto c = parse(bom);
        ASSERT_EQ(c.size(), 1u);
        EXPECT_EQ(c[0].name, QString::fromUtf8("Zoë"));
    }
}

// A file is read in chunks; where they end (inside a byte-order mark, a UTF-16 unit, a CRLF pair or a
// folded line) must not change what is read.
TEST(VCardParser, ChunkBordersDoNotMatter) {
    const QString text =
        QString::fromUtf8("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Zoë\r\n Ann\r\nTEL:5550100\r\nEND:VCARD\r\n");
    QByteArray utf16("\xFE\xFF", 2);
    for (const QChar c : text)
        utf16.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
    for (const QByteArray& data :
         {kPhoneExport, kDesktopExport, kVersion4, QByteArray("\xEF\xBB\xBF") + text.toUtf8(), utf16}) {
        const auto whole = parse(data);
        ASSERT_FALSE(whole.empty());
        for (const qsizetype chunk : {1, 2, 3, 5, 64}) {
            std::vector<ContactBlock> blocks;
            VCardParser parser([&](const ContactBlock& b) {
                blocks.push_back(b);
                return true;
            });
            for (qsizetype at = 0; at < data.size(); at += chunk)
                ASSERT_TRUE(parser.feed(data.constData() + at, std::min(chunk, data.size() - at)));
            EXPECT_EQ(parser.finish().delivered, whole.size());
            const auto pieces = toContacts(blocks);
            ASSERT_EQ(pieces.size(), whole.size()) << "chunk " << chunk;
            for (size_t i = 0; i < whole.size(); ++i) {
                EXPECT_EQ(pieces[i].name, whole[i].name) << "chunk " << chunk;
                EXPECT_EQ(pieces[i].numbers, whole[i].numbers) << "chunk " << chunk;
            }
        }
    }
}

TEST(VCardParser, BrokenCardsDoNotLoseTheirNeighbours) {
    const auto contacts = parse(
        // An embedded 2.1 AGENT card is not a contact of its own.
        "BEGIN:VCARD\nVERSION:2.1\nFN:Boss\nAGENT:\nBEGIN:VCARD\nVERSION:2.1\nFN:Assistant\nTEL:111\n"
        "END:VCARD\nTEL:5550001\nEND:VCARD\n"
        // A card without END is closed by the next BEGIN.
        "BEGIN:VCARD\nVERSION:3.0\nFN:No End\nTEL:5550002\n"
        "BEGIN:VCARD\nVERSION:3.0\nFN:After\nTEL:5550003\nEND:VCARD\n"
        // Lines outside cards, a stray END, lines without a colon.
        "FN:Outside\nEND:VCARD\ngarbage line\n"
        // A quoted-printable value that wrongly ends in '=' does not swallow the END.
        "BEGIN:VCARD\nVERSION:2.1\nFN;ENCODING=QUOTED-PRINTABLE:Soft=\nEND:VCARD\n"
        // The file ends inside a card.
        "BEGIN:VCARD\nVERSION:3.0\nFN:Cut Off\nTEL:5550004");
    ASSERT_EQ(contacts.size(), 5u);
    EXPECT_EQ(contacts[0].name, QStringLiteral("Boss"));
    EXPECT_EQ(contacts[0].numbers, QStringList{"5550001"});
    EXPECT_EQ(contacts[1].name, QStringLiteral("No End"));
    EXPECT_EQ(contacts[2].name, QStringLiteral("After"));
    EXPECT_EQ(contacts[3].name, QStringLiteral("Soft"));
    EXPECT_EQ(contacts[4].name, QStringLiteral("Cut Off"));
    EXPECT_EQ(contacts[4].numbers, QStringList{"5550004"});
}

TEST(VCardParser, JunkAndHugeLinesAreSurvived) {
    std::mt19937 rng(99);
    for (int round = 0; round < 50; ++round) {
        QByteArray junk(int(rng() % 4000), '\0');
        for (char& c : junk)
            c = char(rng());
        if (round % 2)
            junk = kDesktopExport.left(int(rng() % kDesktopExport.size())) + junk + kPhoneExport;
        readVCardData(junk, [](const ContactBlock& b) {
            EXPECT_EQ(b.name.units[63].get(), 0);
            for (const auto& n : b.numbers)
                EXPECT_EQ(n.units[63].get(), 0);
            return true;
        });
    }
    // A megabyte without a line break, inside a card and between cards, then good cards.
    const QByteArray huge(1 << 20, 'A');
    const auto contacts = parse("BEGIN:VCARD\nVERSION:3.0\nFN:Big\nNOTE:" + huge +
                                "\nTEL:5550005\nEND:VCARD\n" + huge + "\n" + kVersion4);
    ASSERT_EQ(contacts.size(), 2u);
    EXPECT_EQ(contacts[0].numbers, QStringList{"5550005"});
    EXPECT_EQ(contacts[1].name, QStringLiteral("Simon Perreault"));
}

TEST(VCardParser, CallbackStopsTheDelivery) {
    int calls = 0;
    const ContactReadResult r = readVCardData(kPhoneExport + kDesktopExport, [&](const ContactBlock&) {
        ++calls;
        return calls < 2;
    });
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(r.delivered, 2u);
    EXPECT_TRUE(r.stopped);
}

// A whole card log decoded against the contacts of the exports above: numbers compare as written, on their
// last six characters when longer than six.
TEST(VCardParser, ResolvesACardLogAgainstExportedContacts) {
    ContactList contacts;
    readVCardData(kPhoneExport + kDesktopExport + kVersion4, [&](const ContactBlock& b) {
        contacts.append(b);
        return true;
    });
    struct Call {
        const char* number;
        const char* name;
    };
    const Call calls[] = {
        {"01715550123", "Jürgen Müller-Lüdenscheid von Großenbach"}, // "+49 171 5550123" ends in 550123
        {"0305550199", "Jürgen Müller-Lüdenscheid von Großenbach"},  // second number, no first matches
        {"0145550177", "Renée Lefèvre"},
        {"5550103", "Dr. Bartholomew Fitzgerald-Ramirez"},
        {"15550100001", ""}, // "+1 (555) 010-0001" ends in "0-0001": written separators stay
        {"14186569254", ""}, // "+1-418-656-9254" likewise
        {"02075550100", "Smith, Jones \\ Partners; Ltd"},
        {"5550199", "Jürgen Müller-Lüdenscheid von Großenbach"},
    };
    TempDir dir;
    QByteArray log;
    int second = 0;
    for (const Call& call : calls) {
        const QString name = QStringLiteral("201801150930%1-I-%2.wav")
                                 .arg(second++, 2, 10, QLatin1Char('0'))
                                 .arg(QLatin1String(call.number));
        const auto record = buildCardRecord('E', name, ModelVX7, 60);
        ASSERT_TRUE(record.has_value());
        log.append(reinterpret_cast<const char*>(record->data()), 128);
    }
    const QString path = dir.write("CallLog.dat", log);
    QStringList names;
    LogReadHandlers handlers;
    handlers.record = [&](uint32_t, uint32_t, CallRecord* r) {
        if (r)
            names.append(r->name.text());
    };
    ASSERT_EQ(readCardLog(path, platform::Area::User, 'E', ModelVX7, &contacts, nullptr, handlers),
              LogReadStatus::Read);
    ASSERT_EQ(names.size(), int(std::size(calls)));
    for (size_t i = 0; i < std::size(calls); ++i)
        EXPECT_EQ(names[int(i)], QString::fromUtf8(calls[i].name)) << calls[i].number;
}
