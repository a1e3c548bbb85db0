// Rows of record list models against the collections that own their records: whatever frees records has
// the rows showing them dropped first, and rows that arrive after their records went are never added.
// A row left behind would be read by the next draw or command; these tests read every row that remains.

#include "browse/RecordListModel.h"
#include "config/ProgramFolder.h"
#include "store/LoadSink.h"
#include "store/RecordCollection.h"

#include <gtest/gtest.h>

using namespace tessa;

namespace {

CallRecord callRecord(uint32_t type, const QString& number) {
    CallRecord r{};
    r.cardBytes[0] = 1;
    r.valid = 1;
    r.callType = type;
    r.number.setText(number);
    r.fullPath.setText(QStringLiteral("E:\\201801\\") + number + QStringLiteral(".wav"));
    return r;
}

std::vector<CallRecord*> pointers(RecordCollection& records) {
    std::vector<CallRecord*> out;
    for (CallRecord& r : records)
        out.push_back(&r);
    return out;
}

// Numbers of the records the rows show, read through the rows (and so through any freed record).
// Counts the resets of a model, as a view would see them.
struct ResetCount {
    explicit ResetCount(RecordListModel& model) {
        QObject::connect(&model, &QAbstractItemModel::modelReset, [this] { ++count; });
    }
    int count = 0;
};

QStringList shownNumbers(const RecordListModel& model) {
    QStringList numbers;
    for (int row = 0; row < model.rowCount(); ++row) {
        const CallRecord* r = model.record(row);
        numbers << (r ? r->number.text() : QStringLiteral("<none>"));
    }
    return numbers;
}

class RecordLeaseTest : public ::testing::Test {
protected:
    void SetUp() override { setConfigLocations(portableConfigLocations(QStringLiteral("/nonexistent"))); }

    void fill(RecordCollection& records, std::initializer_list<const char*> numbers) {
        for (const char* n : numbers)
            records.append(callRecord(CallIncoming, QString::fromLatin1(n)));
    }
    std::unique_ptr<RecordListModel> model(int pageType = PageAll, int modelCode = 0) {
        auto m = std::make_unique<RecordListModel>(pageType);
        m->setModelCode(modelCode);
        return m;
    }
};

} // namespace

// The card scan empties the card collection every poll while the backup view is shown: only the card's
// rows go, on every page that shows them, and the backup rows stay where they are.
TEST_F(RecordLeaseTest, ClearingACollectionDropsItsRowsOnlyOnEveryPage) {
    RecordCollection card, backup;
    fill(card, {"c1", "c2", "c3"});
    fill(backup, {"b1", "b2"});
    auto all = model(PageAll), incoming = model(PageIncoming), query = model(PageQuery);
    all->appendRows(pointers(backup), backup.lease());
    all->appendRows(pointers(card), card.lease());
    incoming->appendRows(pointers(card), card.lease());
    query->appendRows({pointers(card)[1]}, card.lease());
    query->appendRows({pointers(backup)[0]}, backup.lease());

    ResetCount reset(*all);
    card.clear();
    EXPECT_EQ(shownNumbers(*all), QStringList({"b1", "b2"}));
    EXPECT_EQ(incoming->rowCount(), 0);
    EXPECT_EQ(shownNumbers(*query), QStringList({"b1"}));
    EXPECT_EQ(reset.count, 1); // views are told, so that nothing draws a dropped row
    EXPECT_EQ(all->rowOf(&*backup.begin()), 0);

    // The collection fills again under a new lease: its new rows are listed, and a second clear drops them.
    fill(card, {"c4"});
    all->appendRows(pointers(card), card.lease());
    EXPECT_EQ(shownNumbers(*all), QStringList({"b1", "b2", "c4"}));
    card.clear();
    EXPECT_EQ(shownNumbers(*all), QStringList({"b1", "b2"}));
    backup.clear();
    EXPECT_EQ(all->rowCount(), 0);
}

// Deleting one record of the backup view: every row showing it goes, on every page, twice-listed rows too;
// the other records keep their rows and their row lookup.
TEST_F(RecordLeaseTest, RemovingARecordDropsEachOfItsRows) {
    RecordCollection backup;
    fill(backup, {"1", "2", "3"});
    const auto records = pointers(backup);
    auto all = model(PageAll), marked = model(PageMarked);
    all->appendRows(records, backup.lease());
    marked->appendRows({records[1], records[2], records[1]}, backup.lease());

    EXPECT_TRUE(backup.remove(records[1]));
    EXPECT_EQ(shownNumbers(*all), QStringList({"1", "3"}));
    EXPECT_EQ(shownNumbers(*marked), QStringList({"3"}));
    EXPECT_EQ(all->rowOf(records[2]), 1);
    EXPECT_EQ(marked->rowOf(records[2]), 0);
    EXPECT_EQ(backup.count(), 2u);

    CallRecord stranger = callRecord(CallIncoming, "x");
    EXPECT_FALSE(backup.remove(&stranger));
    EXPECT_EQ(all->rowCount(), 2);
}

// A batch of rows posted by a worker that reaches the window after the records went is not listed; a
// later batch under the collection's new lease is.
TEST_F(RecordLeaseTest, RowsUnderAnEndedLeaseAreNeverAdded) {
    RecordCollection card;
    fill(card, {"1", "2"});
    const RecordLease late = card.lease();
    const std::vector<CallRecord*> posted = pointers(card);
    auto all = model(PageAll, 1);
    card.clear();
    EXPECT_FALSE(late->alive());
    all->appendRows(posted, late);
    EXPECT_EQ(all->rowCount(), 0);
    fill(card, {"3"});
    EXPECT_TRUE(card.lease()->alive());
    all->appendRows(pointers(card), card.lease());
    EXPECT_EQ(shownNumbers(*all), QStringList({"3"}));
}

// The mark command lists a record on the marked page under the lease of the row it came from, so that
// row too goes with the collection.
TEST_F(RecordLeaseTest, ARowListedElsewhereUnderItsSourceLeaseGoesWithIt) {
    RecordCollection card;
    fill(card, {"1", "2"});
    auto all = model(PageAll), marked = model(PageMarked);
    all->appendRows(pointers(card), card.lease());
    EXPECT_EQ(all->leaseOf(1), card.lease());
    EXPECT_EQ(all->leaseOf(5), nullptr);
    marked->appendRow(all->record(1), all->leaseOf(1));
    ASSERT_EQ(shownNumbers(*marked), QStringList({"2"}));
    card.clear();
    EXPECT_EQ(marked->rowCount(), 0);
    EXPECT_EQ(all->rowCount(), 0);
}

// Models and collections may go in either order: a model gone first is not told again; a collection gone
// first takes the rows with it.
TEST_F(RecordLeaseTest, ModelsAndCollectionsMayGoInEitherOrder) {
    RecordCollection card;
    fill(card, {"1", "2"});
    auto gone = model(PageAll), stays = model(PageIncoming);
    gone->appendRows(pointers(card), card.lease());
    stays->appendRows(pointers(card), card.lease());
    gone.reset();
    card.remove(&*card.begin());
    EXPECT_EQ(shownNumbers(*stays), QStringList({"2"}));
    card.clear();
    EXPECT_EQ(stays->rowCount(), 0);

    auto outlives = model(PageAll);
    {
        RecordCollection imports;
        fill(imports, {"i"});
        outlives->appendRows(pointers(imports), imports.lease());
        ASSERT_EQ(outlives->rowCount(), 1);
    }
    EXPECT_EQ(outlives->rowCount(), 0);
    EXPECT_EQ(outlives->record(0), nullptr);
}

// A collection moved into place (as a benchmark or a loader builds one) keeps its rows' lease: the rows
// follow the records, not the emptied source.
TEST_F(RecordLeaseTest, AMovedCollectionTakesItsLeaseAlong) {
    RecordCollection source;
    fill(source, {"1"});
    auto all = model(PageAll);
    all->appendRows(pointers(source), source.lease());
    RecordCollection moved(std::move(source));
    source.clear();
    EXPECT_EQ(shownNumbers(*all), QStringList({"1"}));
    EXPECT_NE(source.lease(), moved.lease());
    moved.clear();
    EXPECT_EQ(all->rowCount(), 0);
}
