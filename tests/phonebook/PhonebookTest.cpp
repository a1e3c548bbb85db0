#include "phonebook/Phonebook.h"

#include "config/ProgramFolder.h"
#include "config/StringTable.h"
#include "platform/FileFaults.h"
#include "support/ScopedConfig.h"
#include "support/TempDir.h"

#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <QDir>
#include <QFile>

namespace tessa {
namespace {

using test::TempDir;

// An entry written byte by byte at the offsets of the card's layout, independently of the struct.
QByteArray entryBytes(uint8_t inUse, const char* name, const char* number1, uint8_t type,
                      const char* number2 = "", const char* number3 = "") {
    QByteArray b(155, '\0');
    b[0] = char(inUse);
    std::memcpy(b.data() + 1, number1, std::strlen(number1));
    std::memcpy(b.data() + 31, number2, std::strlen(number2));
    std::memcpy(b.data() + 61, number3, std::strlen(number3));
    std::memcpy(b.data() + 91, name, std::strlen(name));
    b[126] = char(type);
    return b;
}

QByteArray slot(const QByteArray& file, int index) {
    return file.mid(index * 155, 155);
}

class PhonebookTest : public ::testing::Test {
protected:
    void SetUp() override {
        QDir().mkpath(cardRoot());
        roots = std::make_unique<platform::ScopedFileRoots>(cardRoot(), QString());
    }
    void TearDown() override { roots.reset(); }

    QString cardRoot() const { return dir.file(QStringLiteral("card")); }
    QString bookPath() const { return dir.file(QStringLiteral("card/PhoneBook.dat")); }
    QString writeBook(const QByteArray& bytes) {
        return dir.write(QStringLiteral("card/PhoneBook.dat"), bytes);
    }
    QByteArray book() const { return TempDir::read(bookPath()); }

    test::ScopedConfig config{test::shippedConfigFolder()};
    TempDir dir;
    std::unique_ptr<platform::ScopedFileRoots> roots;
};

TEST_F(PhonebookTest, ListsEntriesInUseWithTheirSlotAndTypeOnlyForWholeFiles) {
    // 310 bytes: a free first slot, then one in use.
    const QByteArray two = entryBytes(0, "Gone", "111", 0) + entryBytes(1, "Ada", "5551234", 2, "77", "8");
    const PhonebookListing listing = listPhonebook(two);
    EXPECT_EQ(listing.status, PhonebookListStatus::Listed);
    ASSERT_EQ(listing.rows.size(), 1u);
    const PhonebookRow& row = listing.rows[0];
    EXPECT_EQ(row.index, 1u);
    EXPECT_EQ(row.itemValue(), (2u << 16) | 1u);
    EXPECT_EQ(row.name, QStringLiteral("Ada"));
    EXPECT_EQ(row.number1, QStringLiteral("5551234"));
    EXPECT_EQ(row.number2, QStringLiteral("77"));
    EXPECT_EQ(row.number3, QStringLiteral("8"));
    EXPECT_EQ(row.typeText(), text(184));

    // 311 bytes: nothing at all, not even the whole entries.
    const PhonebookListing broken = listPhonebook(two + QByteArray(1, '\1'));
    EXPECT_EQ(broken.status, PhonebookListStatus::NotWhole);
    EXPECT_TRUE(broken.rows.empty());
    EXPECT_EQ(listPhonebook(QByteArray()).status, PhonebookListStatus::Listed);

    // Only 1 means in use; an unknown type lists with an empty type text.
    const PhonebookListing flags = listPhonebook(
        entryBytes(2, "Two", "1", 0) + entryBytes(255, "Ff", "1", 0) + entryBytes(1, "Odd", "1", 9));
    ASSERT_EQ(flags.rows.size(), 1u);
    EXPECT_EQ(flags.rows[0].index, 2u);
    EXPECT_EQ(flags.rows[0].type, 9);
    EXPECT_TRUE(flags.rows[0].typeText().isEmpty());
    EXPECT_EQ(phonebookTypeText(0), text(182));
    EXPECT_EQ(phonebookTypeText(1), text(183));
    EXPECT_FALSE(text(182).isEmpty());

    // A field filled to its last byte has no terminator and is read whole, and no further.
    QByteArray full = entryBytes(1, "", "", 0);
    std::memset(full.data() + 91, 'n', 35);
    std::memset(full.data() + 1, '9', 30);
    const PhonebookListing whole = listPhonebook(full);
    ASSERT_EQ(whole.rows.size(), 1u);
    EXPECT_EQ(whole.rows[0].name, QString(35, QLatin1Char('n')));
    EXPECT_EQ(whole.rows[0].number1, QString(30, QLatin1Char('9')));
    EXPECT_TRUE(whole.rows[0].number2.isEmpty());

    // The card's 8-bit text is widened from its code page.
    const PhonebookListing accented = listPhonebook(entryBytes(1, "Jos\xE9", "1", 0));
    ASSERT_EQ(accented.rows.size(), 1u);
    EXPECT_EQ(accented.rows[0].name, QStringLiteral("Jos\u00E9"));

    const PhonebookListing missing =
        readPhonebook(dir.file(QStringLiteral("card/missing.dat")), platform::Area::Card);
    EXPECT_EQ(missing.status, PhonebookListStatus::Unreadable);
    EXPECT_EQ(missing.error, platform::FileError::NotFound);
}

TEST_F(PhonebookTest, EditorEntryKeepsTheStoredLengthsAndZeroesTheRest) {
    const QString name35 = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHI");
    ASSERT_EQ(name35.size(), 35);
    const QString number30 = QStringLiteral("123456789012345678901234567890");
    const PhonebookEntry e = makePhonebookEntry(name35, number30, QStringLiteral("5"), QString(), 1);
    const QByteArray bytes(reinterpret_cast<const char*>(e.bytes()), 155);
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(bytes.mid(91, 35), name35.left(34).toLatin1() + QByteArray(1, '\0'));
    EXPECT_EQ(bytes.mid(1, 30), number30.left(29).toLatin1() + QByteArray(1, '\0'));
    EXPECT_EQ(bytes.mid(31, 30), QByteArray("5") + QByteArray(29, '\0'));
    EXPECT_EQ(bytes.mid(61, 30), QByteArray(30, '\0'));
    EXPECT_EQ(bytes[126], 1);
    EXPECT_EQ(bytes.mid(127), QByteArray(28, '\0'));

    // What a row shows goes back into the whole field, the 35th byte included.
    PhonebookRow row;
    row.name = name35;
    row.number1 = number30;
    row.type = 2;
    const PhonebookEntry rebuilt = entryOfRow(row);
    EXPECT_EQ(QByteArray(rebuilt.name, 35), name35.toLatin1());
    EXPECT_EQ(QByteArray(rebuilt.number1, 30), number30.toLatin1());
    EXPECT_EQ(rebuilt.type, 2);
    EXPECT_TRUE(entryShowsRow(rebuilt, row));
    row.number3 = QStringLiteral("1");
    EXPECT_FALSE(entryShowsRow(rebuilt, row));
}

TEST_F(PhonebookTest, NameFilterDropsOnlyATrailingEightBitCharacter) {
    EXPECT_EQ(filterPhonebookName(QStringLiteral("Jos\u00E9")), QStringLiteral("Jos"));
    EXPECT_EQ(filterPhonebookName(QStringLiteral("J\u00E9r")), QStringLiteral("J\u00E9r"));
    // Each removal makes a new last character, which is tested in turn.
    EXPECT_EQ(filterPhonebookName(QStringLiteral("ab\u00E9\u00FC")), QStringLiteral("ab"));
    EXPECT_EQ(filterPhonebookName(QString::fromUtf8("ok\xF0\x9F\x98\x80")), QStringLiteral("ok"));
    EXPECT_EQ(filterPhonebookName(QStringLiteral("\u007F")), QStringLiteral("\u007F"));
    EXPECT_EQ(filterPhonebookName(QStringLiteral("\u0080")), QString());
}

TEST_F(PhonebookTest, DeleteFreesTheSlotAndAddAppendsWithoutReusingIt) {
    const QString path = writeBook(entryBytes(1, "Only", "42", 0));
    CardPhonebook phonebook;
    phonebook.load(path);
    ASSERT_EQ(phonebook.rows().size(), 1u);

    EXPECT_EQ(phonebook.remove({0}), CardPhonebook::Result::Done);
    EXPECT_TRUE(phonebook.rows().empty());
    QByteArray expected = entryBytes(0, "Only", "42", 0);
    EXPECT_EQ(book(), expected) << "only byte 0 changes; the file keeps its size";

    const PhonebookEntry added = makePhonebookEntry(QStringLiteral("New"), QStringLiteral("7"), {}, {}, 1);
    EXPECT_EQ(phonebook.add(added), CardPhonebook::Result::Done);
    ASSERT_EQ(phonebook.rows().size(), 1u);
    EXPECT_EQ(phonebook.rows()[0].index, 1u);
    EXPECT_EQ(phonebook.rows()[0].itemValue(), (1u << 16) | 1u);
    expected += entryBytes(1, "New", "7", 1);
    EXPECT_EQ(book(), expected);

    // Read again, the file shows the same.
    CardPhonebook again;
    again.load(path);
    ASSERT_EQ(again.rows().size(), 1u);
    EXPECT_EQ(again.rows()[0].index, 1u);
}

TEST_F(PhonebookTest, AddCreatesAMissingFileAndStopsAtFiftyRows) {
    CardPhonebook phonebook;
    phonebook.load(bookPath());
    EXPECT_EQ(phonebook.status(), PhonebookListStatus::Unreadable);
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(phonebook.add(makePhonebookEntry(QString::number(i), QStringLiteral("1"), {}, {}, 0)),
                  CardPhonebook::Result::Done);
    EXPECT_TRUE(phonebook.full());
    EXPECT_EQ(book().size(), 50 * 155);
    EXPECT_EQ(phonebook.add(makePhonebookEntry(QStringLiteral("x"), {}, {}, {}, 0)),
              CardPhonebook::Result::Full);
    EXPECT_EQ(book().size(), 50 * 155);
    EXPECT_EQ(phonebook.rows().back().index, 49u);
}

TEST_F(PhonebookTest, EditWritesOnlyItsSlotWithZeroReservedBytes) {
    QByteArray first = entryBytes(1, "Ann", "1", 0);
    QByteArray second = entryBytes(1, "Bob", "2", 1, "22");
    // The recorder left other values in the reserved bytes and after a terminator.
    for (int i = 127; i < 155; ++i)
        second[i] = char(0xA0 + (i - 127));
    second[95] = 'X'; // "Bob\0X..." still shows as "Bob"
    QByteArray third = entryBytes(1, "Cy", "3", 2);
    const QString path = writeBook(first + second + third);
    CardPhonebook phonebook;
    phonebook.load(path);
    ASSERT_EQ(phonebook.rows().size(), 3u);

    const PhonebookEntry edited =
        makePhonebookEntry(QStringLiteral("Robert"), QStringLiteral("2"), {}, {}, 2);
    EXPECT_EQ(phonebook.edit(1, edited), CardPhonebook::Result::Done);
    const QByteArray after = book();
    ASSERT_EQ(after.size(), 3 * 155);
    EXPECT_EQ(slot(after, 0), first);
    EXPECT_EQ(slot(after, 2), third);
    EXPECT_EQ(slot(after, 1), entryBytes(1, "Robert", "2", 2));
    EXPECT_EQ(slot(after, 1).mid(127), QByteArray(28, '\0'));
    EXPECT_EQ(phonebook.rows()[1].name, QStringLiteral("Robert"));
    EXPECT_TRUE(phonebook.rows()[1].number2.isEmpty());
    EXPECT_EQ(phonebook.rows()[1].itemValue(), (2u << 16) | 1u);

    EXPECT_EQ(phonebook.edit(3, edited), CardPhonebook::Result::NoRow);
    EXPECT_EQ(book(), after);
}

TEST_F(PhonebookTest, ACardChangedSinceItWasReadIsReadAgainNotOverwritten) {
    const QString path = writeBook(entryBytes(1, "Ann", "1", 0) + entryBytes(1, "Bob", "2", 1));
    CardPhonebook phonebook;
    phonebook.load(path);
    ASSERT_EQ(phonebook.rows().size(), 2u);

    // Meanwhile the recorder replaced Bob by Eve in the same slot.
    const QByteArray changed = entryBytes(1, "Ann", "1", 0) + entryBytes(1, "Eve", "5", 1);
    writeBook(changed);
    const PhonebookEntry edited =
        makePhonebookEntry(QStringLiteral("Robert"), QStringLiteral("2"), {}, {}, 1);
    EXPECT_EQ(phonebook.edit(1, edited), CardPhonebook::Result::Changed);
    EXPECT_EQ(book(), changed);
    ASSERT_EQ(phonebook.rows().size(), 2u);
    EXPECT_EQ(phonebook.rows()[1].name, QStringLiteral("Eve"));

    // Delete of a row whose slot was freed and is gone from the file: nothing is written.
    const QByteArray shorter = entryBytes(1, "Ann", "1", 0);
    writeBook(shorter);
    EXPECT_EQ(phonebook.remove({1}), CardPhonebook::Result::Changed);
    EXPECT_EQ(book(), shorter);
    EXPECT_EQ(phonebook.rows().size(), 1u);

    // An edit of a slot past the end never grows the file.
    phonebook.load(path);
    writeBook(QByteArray());
    EXPECT_EQ(phonebook.edit(0, edited), CardPhonebook::Result::Changed);
    EXPECT_TRUE(book().isEmpty());
    EXPECT_TRUE(phonebook.rows().empty());

    // A delete of several rows stops at the first slot that changed; those before it are freed.
    const QString threePath =
        writeBook(entryBytes(1, "A", "1", 0) + entryBytes(1, "B", "2", 0) + entryBytes(1, "C", "3", 0));
    phonebook.load(threePath);
    QByteArray meanwhile = book();
    meanwhile[155 + 91] = 'Z';
    writeBook(meanwhile);
    EXPECT_EQ(phonebook.remove({0, 1, 2}), CardPhonebook::Result::Changed);
    const QByteArray after = book();
    EXPECT_EQ(after[0], 0);
    EXPECT_EQ(after[155], 1);
    EXPECT_EQ(after[310], 1);
    ASSERT_EQ(phonebook.rows().size(), 2u);
    EXPECT_EQ(phonebook.rows()[0].name, QStringLiteral("Z"));
}

TEST_F(PhonebookTest, WritesThatFailChangeNoRow) {
    const QString path = writeBook(entryBytes(1, "Ann", "1", 0) + entryBytes(1, "Bob", "2", 1));
    CardPhonebook phonebook;
    phonebook.load(path);
    ASSERT_TRUE(QFile::remove(path)); // the card was pulled
    const PhonebookEntry edited = makePhonebookEntry(QStringLiteral("Robert"), {}, {}, {}, 1);
    EXPECT_EQ(phonebook.edit(1, edited), CardPhonebook::Result::NotWritten);
    EXPECT_EQ(phonebook.rows()[1].name, QStringLiteral("Bob"));
    EXPECT_EQ(phonebook.remove({0, 1}), CardPhonebook::Result::NotWritten);
    EXPECT_EQ(phonebook.rows().size(), 2u);
    EXPECT_FALSE(QFile::exists(path)) << "a failed edit or delete creates no file";

    CardPhonebook nowhere;
    nowhere.load(dir.file(QStringLiteral("card/no/such/folder/PhoneBook.dat")));
    EXPECT_EQ(nowhere.add(edited), CardPhonebook::Result::NotWritten);
    EXPECT_TRUE(nowhere.rows().empty());
}

TEST_F(PhonebookTest, FaultsOfTheCardLeaveFileAndRowsAsTheyWere) {
    const QByteArray two = entryBytes(1, "Ann", "1", 0) + entryBytes(1, "Bob", "2", 1);
    writeBook(two);
    CardPhonebook phonebook;
    phonebook.load(bookPath());
    const PhonebookEntry entry = makePhonebookEntry(QStringLiteral("Cy"), QStringLiteral("3"), {}, {}, 2);
    {
        // A full card in the middle of the append: all or nothing.
        platform::ScopedFileFault full({1, platform::FileFault::NoSpace, uint32_t(platform::FileOp::Write)});
        EXPECT_EQ(phonebook.add(entry), CardPhonebook::Result::NotWritten);
        EXPECT_EQ(platform::fileFaultsFired(), 1);
    }
    EXPECT_EQ(book(), two);
    EXPECT_EQ(phonebook.rows().size(), 2u);
    {
        platform::ScopedFileFault io({1, platform::FileFault::IoError, uint32_t(platform::FileOp::Write)});
        EXPECT_EQ(phonebook.edit(1, entry), CardPhonebook::Result::NotWritten);
    }
    EXPECT_EQ(book(), two);
    EXPECT_EQ(phonebook.rows()[1].name, QStringLiteral("Bob"));
    {
        platform::ScopedFileFault pulled({1, platform::FileFault::Vanished, platform::kAnyFileOp, true});
        EXPECT_EQ(phonebook.remove({0, 1}), CardPhonebook::Result::NotWritten);
    }
    EXPECT_EQ(book(), two);
    EXPECT_EQ(phonebook.rows().size(), 2u);
}

TEST_F(PhonebookTest, APhonebookOffTheCardInUseIsNeitherReadNorWritten) {
    // No card in use: nothing is read, even a file that exists.
    const QString path = writeBook(entryBytes(1, "Ann", "1", 0));
    platform::setCardRoot(QString());
    CardPhonebook noCard;
    noCard.load(path);
    EXPECT_EQ(noCard.status(), PhonebookListStatus::Unreadable);
    EXPECT_EQ(noCard.add(makePhonebookEntry(QStringLiteral("x"), {}, {}, {}, 0)),
              CardPhonebook::Result::NotWritten);
    EXPECT_EQ(book(), entryBytes(1, "Ann", "1", 0));
    platform::setCardRoot(cardRoot());
    ASSERT_TRUE(QFile::remove(path));
}

TEST_F(PhonebookTest, ALinkInPlaceOfThePhonebookIsNeitherReadNorWritten) {
    const QString outside = dir.write(QStringLiteral("outside/precious.txt"), entryBytes(1, "Ann", "1", 0));
    const QString link = bookPath();
    ASSERT_TRUE(QFile::link(outside, link));
    CardPhonebook phonebook;
    phonebook.load(link);
    EXPECT_EQ(phonebook.status(), PhonebookListStatus::Unreadable);
    EXPECT_EQ(phonebook.add(makePhonebookEntry(QStringLiteral("x"), {}, {}, {}, 0)),
              CardPhonebook::Result::NotWritten);
    EXPECT_EQ(TempDir::read(outside), entryBytes(1, "Ann", "1", 0));
}

TEST_F(PhonebookTest, SlotsBeyondSixteenBitsAreEditedWhereTheyLie) {
    // 65 538 slots, all free but the last: the item value's index wraps to 1, the slot does not.
    QByteArray bytes(65538 * 155, '\0');
    const QByteArray last = entryBytes(1, "Far", "9", 0);
    bytes.replace(65537 * 155, 155, last);
    const QString path = writeBook(bytes);
    CardPhonebook phonebook;
    phonebook.load(path);
    ASSERT_EQ(phonebook.rows().size(), 1u);
    EXPECT_EQ(phonebook.rows()[0].itemValue(), 1u);
    EXPECT_EQ(phonebook.rows()[0].index, 65537u);
    EXPECT_EQ(phonebook.edit(0, makePhonebookEntry(QStringLiteral("Near"), {}, {}, {}, 0)),
              CardPhonebook::Result::Done);
    const QByteArray after = book();
    EXPECT_EQ(slot(after, 1), QByteArray(155, '\0'));
    EXPECT_EQ(slot(after, 65537), entryBytes(1, "Near", "", 0));
}

} // namespace
} // namespace tessa
