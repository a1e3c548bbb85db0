// The collection keeps its records in blocks of many: records must keep their place and content while
// others come and go, a freed record's place may serve a new one, and a moved collection takes its
// records (and their memory) along.

#include "store/RecordCollection.h"

#include <gtest/gtest.h>
#include <map>

using namespace tessa;

namespace {

CallRecord numbered(uint32_t n) {
    CallRecord r{};
    r.valid = 1;
    r.index = n;
    r.number.setText(QString::number(n));
    return r;
}

// Every record still held, by its number, with the address it was given when appended.
void expectIntact(const RecordCollection& records, const std::map<uint32_t, const CallRecord*>& placed) {
    ASSERT_EQ(records.count(), placed.size());
    for (const CallRecord& r : records) {
        const uint32_t n = r.index;
        ASSERT_EQ(placed.count(n), 1u) << n;
        EXPECT_EQ(placed.at(n), &r) << n;
        EXPECT_EQ(r.number.text(), QString::number(n));
    }
}

} // namespace

TEST(RecordCollectionTest, RecordsKeepTheirPlaceAcrossManyBlocksWhileOthersAreRemovedAndAdded) {
    RecordCollection records;
    std::map<uint32_t, const CallRecord*> placed;
    // More than a few blocks' worth, removing every third record on the way so freed places are reused.
    for (uint32_t n = 0; n < 5000; ++n) {
        placed[n] = &records.append(numbered(n));
        if (n % 3 == 2) {
            const uint32_t gone = n - 1;
            ASSERT_TRUE(records.remove(placed[gone]));
            placed.erase(gone);
        }
    }
    expectIntact(records, placed);
    // A record already removed is not found again; one of another collection neither.
    RecordCollection other;
    const CallRecord& stranger = other.append(numbered(99999));
    EXPECT_FALSE(records.remove(&stranger));
    expectIntact(records, placed);

    records.clear();
    EXPECT_TRUE(records.empty());
    placed.clear();
    for (uint32_t n = 0; n < 1500; ++n)
        placed[n] = &records.append(numbered(n));
    expectIntact(records, placed);
}

TEST(RecordCollectionTest, AMovedCollectionTakesItsRecordsAndTheOldOneStartsAfresh) {
    RecordCollection from;
    std::map<uint32_t, const CallRecord*> placed;
    for (uint32_t n = 0; n < 2100; ++n)
        placed[n] = &from.append(numbered(n));
    RecordCollection to(std::move(from));
    expectIntact(to, placed);
    EXPECT_TRUE(from.empty());

    // The old collection works on memory of its own: freeing it leaves the moved records alone.
    for (uint32_t n = 0; n < 1200; ++n)
        from.append(numbered(100000 + n));
    from.clear();
    EXPECT_TRUE(from.empty());
    expectIntact(to, placed);
    ASSERT_TRUE(to.remove(placed[7]));
    placed.erase(7);
    expectIntact(to, placed);
}
