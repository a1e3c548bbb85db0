#include "platform/GuiQueue.h"

#include "support/FakeLoadSink.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QThread>
#include <QTimer>
#include <thread>
#include <vector>

namespace tessa::platform {
namespace {

using test::waitUntil;

class GuiQueueTest : public ::testing::Test {
protected:
    void SetUp() override { test::ensureCoreApplication(); }
    std::atomic<bool> quit{false};
};

TEST_F(GuiQueueTest, CallsRunOnTheGuiThreadInTheOrderPosted) {
    GuiQueue queue(&quit);
    QThread* const gui = QThread::currentThread();
    std::vector<int> order;
    bool allOnGui = true;
    std::thread worker([&] {
        EXPECT_FALSE(queue.onGuiThread());
        for (int i = 0; i < 2000; ++i)
            queue.post([&, i] {
                allOnGui = allOnGui && QThread::currentThread() == gui;
                order.push_back(i);
            });
    });
    worker.join();
    EXPECT_TRUE(order.empty()) << "nothing runs before the event loop does";
    ASSERT_TRUE(waitUntil([&] { return order.size() == 2000; }));
    EXPECT_TRUE(allOnGui);
    for (int i = 0; i < 2000; ++i)
        ASSERT_EQ(order[size_t(i)], i);

    // On the GUI thread a call runs at once, a query answers at once.
    bool ran = false;
    EXPECT_TRUE(queue.onGuiThread());
    queue.post([&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_EQ(queue.send([] { return 7; }), 7);
}

TEST_F(GuiQueueTest, SendWaitsForTheAnswerAfterEveryCallPostedBeforeIt) {
    GuiQueue queue(&quit);
    int posted = 0;
    std::optional<int> answer;
    std::atomic<bool> answered{false};
    std::thread worker([&] {
        queue.post([&] { posted = 41; });
        answer = queue.send([&] { return posted + 1; });
        answered = true;
    });
    ASSERT_TRUE(waitUntil([&] { return answered.load(); }));
    worker.join();
    EXPECT_EQ(answer, 42);
}

TEST_F(GuiQueueTest, NothingRunsOnceTheQuitFlagIsSetAndWaitingSendersGiveUp) {
    GuiQueue queue(&quit);
    std::atomic<int> ran{0};
    std::atomic<bool> posting{true};
    std::thread poster([&] {
        while (posting)
            queue.post([&] { ++ran; });
    });
    ASSERT_TRUE(waitUntil([&] { return ran > 100; }));
    // A sender that waits when quit comes is woken by the next drain, which runs nothing.
    std::atomic<bool> sending{false};
    std::optional<bool> sent = true;
    std::thread sender([&] {
        sending = true;
        sent = queue.send([] { return true; });
    });
    while (!sending)
        std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // most likely waiting by now
    quit = true;
    const int atQuit = ran;
    test::drainEvents();
    sender.join();
    posting = false;
    poster.join();
    test::drainEvents();
    EXPECT_EQ(ran, atQuit);
    EXPECT_FALSE(sent.has_value());
    EXPECT_TRUE(queue.closed());
    // Afterwards nothing is taken, not even on the GUI thread.
    bool late = false;
    queue.post([&] { late = true; });
    EXPECT_FALSE(late);
    EXPECT_FALSE(queue.send([] { return 1; }).has_value());
}

TEST_F(GuiQueueTest, CloseWakesASenderWhileTheGuiThreadIsBusyElsewhere) {
    GuiQueue queue;
    std::atomic<bool> returned{false};
    std::optional<bool> sent = true;
    std::thread sender([&] {
        sent = queue.send([] { return true; });
        returned = true;
    });
    // The GUI thread does not run its event loop: only close() can end the wait.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(returned);
    queue.close();
    sender.join();
    EXPECT_FALSE(sent.has_value());
}

TEST_F(GuiQueueTest, ALinkOutlivesItsQueueAndThenDropsWhatItIsGiven) {
    auto queue = std::make_unique<GuiQueue>();
    GuiQueue::Link link = queue->link();
    int ran = 0;
    std::thread([&] { link.post([&] { ++ran; }); }).join();
    queue.reset(); // the posted call has not run: it never will
    test::drainEvents();
    EXPECT_EQ(ran, 0);
    EXPECT_TRUE(link.closed());
    std::optional<int> answer = 1;
    std::thread([&] {
        link.post([&] { ++ran; });
        answer = link.send([] { return 2; });
    }).join();
    test::drainEvents();
    EXPECT_EQ(ran, 0);
    EXPECT_FALSE(answer.has_value());
    EXPECT_TRUE(GuiQueue::Link().closed());
}

TEST_F(GuiQueueTest, ALongRunOfSlowCallsLetsOtherEventsInBetween) {
    GuiQueue queue(&quit);
    constexpr int kCalls = 60;
    std::vector<int> order; // call numbers, -1 where the other event ran
    std::thread([&] {
        for (int i = 0; i < kCalls; ++i)
            queue.post([&, i] {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                order.push_back(i);
            });
    }).join();
    // An event that arrives after the calls: it must not wait for all of them.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&] { order.push_back(-1); }, Qt::QueuedConnection);
    ASSERT_TRUE(waitUntil([&] { return order.size() == size_t(kCalls) + 1; }));
    const auto other = std::find(order.begin(), order.end(), -1);
    ASSERT_NE(other, order.end());
    EXPECT_NE(other, order.end() - 1) << "the other event waited for every queued call";
    order.erase(other);
    for (int i = 0; i < kCalls; ++i)
        ASSERT_EQ(order[size_t(i)], i) << "the calls still run in the order posted";

    // flush() still runs everything queued, however slow.
    std::thread([&] {
        for (int i = 0; i < 10; ++i)
            queue.post([&] { std::this_thread::sleep_for(std::chrono::milliseconds(2)); });
    }).join();
    int flushedAfter = 0;
    std::thread([&] { queue.post([&] { ++flushedAfter; }); }).join();
    queue.flush();
    EXPECT_EQ(flushedAfter, 1);
}

TEST_F(GuiQueueTest, FlushRunsWhatIsQueuedWithoutTheEventLoop) {
    GuiQueue queue;
    std::vector<int> order;
    std::thread([&] {
        for (int i = 0; i < 3; ++i)
            queue.post([&, i] { order.push_back(i); });
    }).join();
    queue.flush();
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    test::drainEvents();
    EXPECT_EQ(order.size(), 3u) << "nothing runs twice";
}

TEST_F(GuiQueueTest, AQueryRunningALocalEventLoopLetsLaterCallsRun) {
    // As a dialog shown for a worker does: the later call is what ends the dialog.
    GuiQueue queue(&quit);
    bool dialogEnded = false;
    std::optional<bool> answer;
    std::thread asking([&] {
        answer = queue.send([&] {
            QEventLoop dialog;
            QTimer::singleShot(30000, &dialog, &QEventLoop::quit); // a broken queue fails, not hangs
            bool* ended = &dialogEnded;
            std::thread([&queue, &dialog, ended] {
                queue.post([&dialog, ended] {
                    *ended = true;
                    dialog.quit();
                });
            }).join();
            dialog.exec();
            return dialogEnded;
        });
    });
    ASSERT_TRUE(waitUntil([&] { return answer.has_value(); }));
    asking.join();
    EXPECT_EQ(answer, true);
}

} // namespace
} // namespace tessa::platform
