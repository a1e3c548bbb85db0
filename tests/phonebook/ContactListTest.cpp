#include "phonebook/ContactList.h"

#include "support/CardFixtures.h"

#include <gtest/gtest.h>
#include <random>

using namespace tessa;

// The index must give exactly what the head-to-tail walk gives, on lists built to collide a lot: few
// distinct suffixes, repeated numbers within and across contacts, empty names, short and long numbers.
TEST(ContactList, IndexAgreesWithTheWalkOnRandomLists) {
    std::mt19937 rng(1234);
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    auto randomNumber = [&] {
        static const char* stems[] = {"", "0", "00", "+44", "01", "9"};
        static const char* tails[] = {"551234", "551235", "1234", "110", "99", "7", "661234", "551234#"};
        QString number = QString::fromLatin1(stems[pick(6)]) + QString::fromLatin1(tails[pick(8)]);
        if (pick(8) == 0) // a unit beyond the packed key range takes the text-keyed path
            number.insert(pick(int(number.size()) + 1), QChar(0x4E00));
        return number;
    };
    for (int round = 0; round < 200; ++round) {
        ContactList list;
        const int contacts = 1 + pick(30);
        for (int c = 0; c < contacts; ++c) {
            ContactBlock block{};
            if (pick(5) != 0)
                block.name.setText(QStringLiteral("Contact %1").arg(c));
            for (int slot = 0; slot < ContactBlock::kNumberCount; ++slot)
                if (pick(3) == 0)
                    block.numbers[slot].setText(randomNumber());
            list.append(block);
        }
        for (int q = 0; q < 40; ++q) {
            const QString work = pick(10) == 0 ? QString() : randomNumber();
            ASSERT_EQ(list.resolve(work), list.resolveByWalk(work))
                << "round " << round << " number " << work.toStdString();
        }
    }
}

TEST(ContactList, ClearForgetsEveryContact) {
    ContactList list;
    list.append(test::contact(QStringLiteral("Ann"), {QStringLiteral("0123456789")}));
    EXPECT_TRUE(list.resolve(QStringLiteral("456789")).isEmpty()); // six digits compare exactly
    EXPECT_EQ(list.resolve(QStringLiteral("99456789")), QStringLiteral("Ann"));
    list.clear();
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(list.resolve(QStringLiteral("99456789")).isEmpty());
    // A second fill replaces the first entirely.
    list.append(test::contact(QStringLiteral("Bob"), {QStringLiteral("456789")}));
    EXPECT_EQ(list.resolve(QStringLiteral("456789")), QStringLiteral("Bob"));
    EXPECT_EQ(list.resolve(QStringLiteral("0123456789")), QStringLiteral("Bob"));
}
