// The collection keeps its records in blocks of many: records must keep their place and content while
// others come and go, a freed record's place may serve a new one, and a moved collection takes its
// records (and their memory) along.

#include "store/RecordCollection.h"

#include <gtest/gtest.h>
#include <map>
#include <utility>
#include <vector>

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

// Origins are kept as runs until first asked for: each record must still name the log it came from,
// whether asked before or after a removal, for records appended after the first look-up, for records
// with no origin between runs, and after a move.
TEST(RecordCollectionTest, EveryRecordKeepsItsOriginWhateverCameBetween) {
    const RecordOrigin januaryLog{QStringLiteral("/b/202401CallLogBK.dat"), CallRecord::kSize};
    const RecordOrigin februaryLog{QStringLiteral("/b/202402CallLogBK.dat"), CallRecord::kSize};
    const RecordOrigin cardLog{QStringLiteral("/card/CallLog.dat"), 128};
    RecordCollection records;
    std::vector<std::pair<const CallRecord*, const RecordOrigin*>> expected;
    auto add = [&](uint32_t n, const RecordOrigin* origin) {
        const CallRecord* r = origin ? &records.append(numbered(n), *origin) : &records.append(numbered(n));
        expected.emplace_back(r, origin);
    };
    for (uint32_t n = 0; n < 300; ++n)
        add(n, &januaryLog);
    add(300, nullptr);
    add(301, nullptr);
    for (uint32_t n = 302; n < 500; ++n)
        add(n, &februaryLog);
    add(500, &januaryLog); // a log seen before, after another one

    auto expectOrigins = [&](const RecordCollection& collection) {
        for (const auto& [record, origin] : expected) {
            const RecordOrigin* found = collection.origin(record);
            if (!origin) {
                EXPECT_EQ(found, nullptr) << record->index;
                continue;
            }
            ASSERT_NE(found, nullptr) << record->index;
            EXPECT_EQ(*found, *origin) << record->index;
        }
    };

    // Removed from the middle before any look-up: the records after it keep their own origins.
    ASSERT_TRUE(records.remove(expected[150].first));
    expected.erase(expected.begin() + 150);
    expectOrigins(records);
    EXPECT_EQ(records.origin(nullptr), nullptr);
    RecordCollection other;
    EXPECT_EQ(records.origin(&other.append(numbered(7), cardLog)), nullptr);

    // Appended once the index exists.
    for (uint32_t n = 501; n < 520; ++n)
        add(n, &cardLog);
    add(520, nullptr);
    expectOrigins(records);
    EXPECT_EQ(records.origins().size(), 3u);

    // Moved before any look-up, and cleared.
    RecordCollection fresh;
    expected.clear();
    for (uint32_t n = 0; n < 40; ++n) {
        const RecordOrigin* origin = n < 20 ? &februaryLog : &cardLog;
        expected.emplace_back(&fresh.append(numbered(n), *origin), origin);
    }
    RecordCollection moved(std::move(fresh));
    expectOrigins(moved);
    const CallRecord& later = fresh.append(numbered(1), januaryLog);
    EXPECT_EQ(*fresh.origin(&later), januaryLog);
    moved.clear();
    EXPECT_EQ(moved.origin(expected[0].first), nullptr);
    EXPECT_TRUE(moved.origins().empty());
}
