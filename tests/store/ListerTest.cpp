#include "store/Lister.h"

#include "store/AppState.h"
#include "store/CallLogService.h"
#include "support/FakeLoadSink.h"

#include <gtest/gtest.h>
#include <memory>
#include <QThread>

namespace tessa {
namespace {

using test::FakeLoadSink;

CallRecord listedRecord(uint32_t type, bool marked = false, bool live = true) {
    CallRecord r{};
    r.cardBytes[0] = live ? 1 : 0;
    r.valid = live ? 1 : 0;
    r.callType = type;
    r.marked = marked ? 1 : 0;
    return r;
}

std::vector<CallRecord*> pointersOf(RecordCollection& records, uint32_t type = 0) {
    std::vector<CallRecord*> out;
    for (CallRecord& r : records)
        if (type == 0 || r.callType.get() == type)
            out.push_back(&r);
    return out;
}

class ListerTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureCoreApplication();
        service_ = std::make_unique<CallLogService>(state_, sink_);
    }
    void TearDown() override { service_.reset(); }

    void fill(RecordCollection& records, size_t count) {
        for (size_t i = 0; i < count; ++i)
            records.append(listedRecord(i % 2 ? CallOutgoing : CallIncoming));
    }
    bool listed() {
        return test::waitUntil([&] { return !state_.busy; });
    }

    AppState state_;
    FakeLoadSink sink_;
    std::unique_ptr<CallLogService> service_;
};

TEST_F(ListerTest, RecordsGoToThePagesOfTheirTypeAndMark) {
    state_.viewMode = ViewCard;
    CallRecord& missed = state_.cardRecords.append(listedRecord(CallMissed));
    CallRecord& markedOutgoing = state_.cardRecords.append(listedRecord(CallOutgoing, true));
    state_.cardRecords.append(listedRecord(CallIncoming, false, false)); // deleted
    state_.cardRecords.append(listedRecord(9));                          // no page of its own

    ASSERT_TRUE(service_->runLister());

    using Rows = std::vector<CallRecord*>;
    EXPECT_EQ(sink_.rows[PageAll], Rows({&missed, &markedOutgoing}));
    EXPECT_EQ(sink_.rows[PageIncoming], Rows({&missed}));
    EXPECT_EQ(sink_.rows[PageMissed], Rows({&missed}));
    EXPECT_EQ(sink_.rows[PageMarked], Rows({&markedOutgoing}));
    EXPECT_EQ(sink_.rows[PageOutgoing], Rows({&markedOutgoing}));
    for (int page : {PageNotes, PageTriggered, PageAnswering, PageQuery})
        EXPECT_TRUE(sink_.rows[page].empty()) << page;
    EXPECT_EQ(sink_.calls, QStringList({"clear", "show 157 4", "hide", "page 1"}));
    // Only the deleted record is taken off the total shown.
    ASSERT_FALSE(sink_.progress.empty());
    EXPECT_EQ(sink_.progress.back(), std::make_pair(4u, QString("4/3")));
    EXPECT_FALSE(state_.busy);
}

TEST_F(ListerTest, AThousandRecordsAreListedInlineAndMoreOnTheWorker) {
    fill(state_.backupRecords, Lister::kInlineLimit);
    ASSERT_TRUE(service_->runLister());
    // Done before returning, without the event loop.
    EXPECT_FALSE(state_.busy);
    EXPECT_EQ(sink_.rows[PageAll].size(), Lister::kInlineLimit);
    EXPECT_EQ(sink_.calls.mid(1, 1), QStringList({"show 158 1000"}));

    state_.backupRecords.append(listedRecord(CallNote));
    ASSERT_TRUE(service_->runLister());
    // The worker's rows can only arrive through the event loop.
    EXPECT_TRUE(state_.busy);
    EXPECT_TRUE(sink_.rows.empty());
    EXPECT_FALSE(service_->runLister()); // a second listing is refused meanwhile
    ASSERT_TRUE(listed());
    EXPECT_EQ(sink_.rows[PageAll], pointersOf(state_.backupRecords));
    EXPECT_EQ(sink_.rows[PageNotes].size(), 1u);
    EXPECT_EQ(sink_.calls.mid(4), QStringList({"clear", "show 158 1001", "hide", "page 1"}));
    EXPECT_EQ(sink_.progress.back(), std::make_pair(1001u, QString("1001/1001")));
}

TEST_F(ListerTest, LargeCollectionArrivesInFewChunksInCollectionOrder) {
    fill(state_.backupRecords, 20000);
    ASSERT_TRUE(service_->runLister());
    ASSERT_TRUE(listed());

    EXPECT_EQ(sink_.rows[PageAll], pointersOf(state_.backupRecords));
    EXPECT_EQ(sink_.rows[PageIncoming], pointersOf(state_.backupRecords, CallIncoming));
    EXPECT_EQ(sink_.rows[PageOutgoing], pointersOf(state_.backupRecords, CallOutgoing));
    EXPECT_LE(sink_.appendCalls, 20);
    // Every batch is posted under the collection's lease, so that the window drops it if the records go
    // before it arrives.
    ASSERT_EQ(sink_.leases.size(), size_t(sink_.appendCalls));
    for (const RecordLease& lease : sink_.leases)
        EXPECT_EQ(lease, state_.backupRecords.lease());
    EXPECT_LT(sink_.progress.size(), 1000u);
    EXPECT_EQ(sink_.progress.back(), std::make_pair(20000u, QString("20000/20000")));
}

// A window slower than the walk is handed fewer, bigger chunks rather than a queue of small ones (it
// repaints after each), none too big to take within a frame, and the first one early.
TEST_F(ListerTest, ASlowWindowGetsBiggerChunksUpToALimit) {
    fill(state_.backupRecords, 100000);
    // The window is held on its first chunk long enough for any walk to finish meanwhile.
    bool held = false;
    sink_.onAppendRows = [&held](int pageType) {
        if (pageType == PageAll && !held) {
            held = true;
            QThread::msleep(1000);
        }
    };
    ASSERT_TRUE(service_->runLister());
    ASSERT_TRUE(test::waitUntil([&] { return !state_.busy; }, 20000));

    EXPECT_EQ(sink_.rows[PageAll], pointersOf(state_.backupRecords));
    EXPECT_EQ(sink_.rows[PageOutgoing], pointersOf(state_.backupRecords, CallOutgoing));
    ASSERT_FALSE(sink_.progress.empty());
    EXPECT_EQ(sink_.progress.front().first, 4096u);
    EXPECT_EQ(sink_.progress.back(), std::make_pair(100000u, QString("100000/100000")));
    uint32_t before = 0;
    for (const auto& [position, line] : sink_.progress) {
        EXPECT_LE(position - before, 32768u) << line.toStdString();
        before = position;
    }
    // 4 096, then as many as 32 768 at a time: chunks of 4 096 would have been 25.
    EXPECT_LE(sink_.progress.size(), 5u);
}

TEST_F(ListerTest, QuitStopsTheWorkerAndLeavesBusySet) {
    fill(state_.backupRecords, 5000);
    sink_.onShowProgress = [&] { state_.quit = true; };
    ASSERT_TRUE(service_->runLister());
    ASSERT_TRUE(test::waitUntil([&] { return sink_.calls.size() == 2; }));
    service_->shutdown();
    test::drainEvents();

    EXPECT_TRUE(sink_.rows.empty());
    EXPECT_TRUE(sink_.progress.empty());
    EXPECT_EQ(sink_.calls, QStringList({"clear", "show 158 5000"}));
    EXPECT_TRUE(state_.busy);
}

TEST_F(ListerTest, ShutdownInsideAWindowCallEndsTheWorkerWaitingForIt) {
    fill(state_.backupRecords, 1001);
    // The window closes while the worker waits for its progress window to be shown: the GUI thread then
    // waits for the worker, which must give up waiting for the GUI thread.
    sink_.onShowProgress = [&] { service_->shutdown(); };
    ASSERT_TRUE(service_->runLister());
    ASSERT_TRUE(test::waitUntil([&] { return sink_.calls.size() == 2; }));
    test::drainEvents();

    EXPECT_EQ(sink_.calls, QStringList({"clear", "show 158 1001"}));
    EXPECT_TRUE(sink_.rows.empty());
    EXPECT_TRUE(state_.busy);
}

} // namespace
} // namespace tessa
