#include "platform/WorkerSlot.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tessa::platform {
namespace {

using namespace std::chrono_literals;

// Holds a worker until the test lets it through; the worker ignores its stop request meanwhile.
class Gate {
public:
    void pass() {
        std::unique_lock lock(mutex_);
        reached_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return open_; });
    }
    bool waitReached() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 30s, [this] { return reached_; });
    }
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool reached_ = false;
    bool open_ = false;
};

bool eventually(const std::function<bool()>& done) {
    const auto giveUp = std::chrono::steady_clock::now() + 30s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > giveUp)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TEST(WorkerSlotTest, TheStopRequestReachesTheBodyAndEachRunStartsWithAClearOne) {
    WorkerSlot slot;
    EXPECT_FALSE(slot.running());
    EXPECT_TRUE(slot.stop()) << "nothing to stop";

    std::atomic<int> rounds{0};
    ASSERT_TRUE(slot.start([&](const std::atomic<bool>& stop) {
        while (!stop)
            rounds += 1;
    }));
    EXPECT_TRUE(slot.running());
    ASSERT_TRUE(eventually([&] { return rounds > 0; }));
    EXPECT_FALSE(slot.wait(10ms)) << "the body only ends when asked";
    EXPECT_TRUE(slot.running());
    EXPECT_TRUE(slot.stop());
    EXPECT_FALSE(slot.running());
    EXPECT_FALSE(slot.letGoRunning());

    // A new run does not inherit the request; requestStop() alone ends it too.
    std::atomic<bool> sawClearRequest{false};
    ASSERT_TRUE(slot.start([&](const std::atomic<bool>& stop) {
        sawClearRequest = !stop;
        while (!stop)
            std::this_thread::yield();
    }));
    ASSERT_TRUE(eventually([&] { return sawClearRequest.load(); }));
    slot.requestStop();
    EXPECT_TRUE(slot.wait(30s));
    EXPECT_FALSE(slot.running());

    // A body without a parameter runs the same way.
    std::atomic<bool> ran{false};
    ASSERT_TRUE(slot.start([&] { ran = true; }));
    EXPECT_TRUE(slot.wait(30s));
    EXPECT_TRUE(ran);
}

TEST(WorkerSlotTest, OneRunAtATimeEvenWhenTwoThreadsStartWorkers) {
    WorkerSlot slot;
    Gate gate;
    ASSERT_TRUE(slot.start([&] { gate.pass(); }));
    ASSERT_TRUE(gate.waitReached());
    // The first run still works after the wait that start() allows it: the second is refused.
    std::atomic<bool> secondRan{false};
    EXPECT_FALSE(slot.start([&] { secondRan = true; }));
    EXPECT_TRUE(slot.running());
    gate.open();
    EXPECT_TRUE(slot.wait(30s));
    EXPECT_FALSE(secondRan);

    // Two owner threads start short runs as fast as they can: the bodies never overlap.
    std::atomic<int> inside{0}, most{0}, runs{0};
    auto body = [&] {
        const int now = ++inside;
        int seen = most;
        while (now > seen && !most.compare_exchange_weak(seen, now)) {
        }
        std::this_thread::yield();
        --inside;
        ++runs;
    };
    std::atomic<int> started{0};
    auto owner = [&] {
        for (int i = 0; i < 200; ++i)
            started += slot.start(body) ? 1 : 0;
    };
    std::thread a(owner), b(owner);
    a.join();
    b.join();
    EXPECT_TRUE(slot.wait(30s));
    EXPECT_EQ(most, 1);
    EXPECT_EQ(runs, started);
    EXPECT_EQ(started, 400);
}

TEST(WorkerSlotTest, AWorkerThatIgnoresItsStopIsLetGoAndFinishesOnItsOwn) {
    const int before = WorkerSlot::abandonedRunning();
    auto gate = std::make_shared<Gate>();
    auto finished = std::make_shared<std::atomic<bool>>(false);
    {
        WorkerSlot slot;
        // Everything the worker touches after it is let go is its own.
        ASSERT_TRUE(slot.start([gate, finished](const std::atomic<bool>& stop) {
            gate->pass();
            *finished = stop.load(); // the request it ignored is still readable
        }));
        ASSERT_TRUE(gate->waitReached());
        EXPECT_FALSE(slot.stop(20ms));
        EXPECT_FALSE(slot.running()) << "the slot is free again";
        EXPECT_TRUE(slot.letGoRunning());
        EXPECT_EQ(WorkerSlot::abandonedRunning(), before + 1);

        // A new run may start beside the one let go.
        std::atomic<bool> ran{false};
        ASSERT_TRUE(slot.start([&] { ran = true; }));
        EXPECT_TRUE(slot.wait(30s));
        EXPECT_TRUE(ran);
        // The slot goes while the worker it let go still waits.
    }
    EXPECT_FALSE(*finished);
    gate->open();
    ASSERT_TRUE(eventually([&] { return WorkerSlot::abandonedRunning() == before; }));
    EXPECT_TRUE(*finished);
}

TEST(WorkerSlotTest, DestroyingTheSlotWaitsAtMostItsBound) {
    const int before = WorkerSlot::abandonedRunning();
    auto gate = std::make_shared<Gate>();
    auto slot = std::make_unique<WorkerSlot>();
    ASSERT_TRUE(slot->start([gate] { gate->pass(); }));
    ASSERT_TRUE(gate->waitReached());
    slot.reset(); // returns although the worker does not end
    EXPECT_EQ(WorkerSlot::abandonedRunning(), before + 1);
    gate->open();
    EXPECT_TRUE(eventually([&] { return WorkerSlot::abandonedRunning() == before; }));
}

TEST(WorkerSlotTest, ABodyMayOwnItsSlot) {
    // The last reference to the owner is the body's: the slot then goes on its own thread.
    struct Owner {
        WorkerSlot slot;
    };
    auto owner = std::make_shared<Owner>();
    std::weak_ptr<Owner> watch = owner;
    Gate gate;
    ASSERT_TRUE(owner->slot.start([keep = owner, &gate] { gate.pass(); }));
    owner.reset();
    ASSERT_TRUE(gate.waitReached());
    EXPECT_FALSE(watch.expired());
    gate.open();
    EXPECT_TRUE(eventually([&] { return watch.expired(); }));
}

} // namespace
} // namespace tessa::platform
