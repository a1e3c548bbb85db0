#include "platform/GuiQueue.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QObject>
#include <QThread>

namespace tessa::platform {

// A drain hands the event loop back after this long, so that painting and input are never held up much
// longer by the calls a busy worker queues.
constexpr qint64 kDrainSliceMs = 16;

// Shared by the queue, its links and the drains Qt has yet to deliver, so that a worker holding a link
// never reaches freed memory, whenever it posts.
struct GuiQueue::Core {
    struct Reply {
        bool done = false;
        bool abandoned = false; // the sender gave up; the call is skipped if it has not begun
    };
    struct Pending {
        Call run;
        std::shared_ptr<Reply> reply; // null for a posted call
    };

    const std::atomic<bool>* quit = nullptr;
    QThread* thread = nullptr;
    std::mutex mutex;
    std::condition_variable replied;
    std::deque<Pending> queue;
    QObject* receiver = nullptr; // null once closed
    std::atomic<bool> closed{false};
    bool drainPosted = false;

    bool quitting() const { return closed || (quit && quit->load()); }

    // False when the call was dropped.
    bool enqueue(std::weak_ptr<Core> self, Pending pending) {
        std::lock_guard lock(mutex);
        if (quitting() || !receiver)
            return false;
        queue.push_back(std::move(pending));
        // One drain in flight at a time; a drain that has begun lets the next call ask for another.
        postDrain(std::move(self));
        return true;
    }

    // Under the lock.
    void postDrain(std::weak_ptr<Core> self) {
        if (drainPosted)
            return;
        drainPosted = true;
        QMetaObject::invokeMethod(
            receiver,
            [self] {
                if (const auto core = self.lock())
                    core->drain(self, true);
            },
            Qt::QueuedConnection);
    }

    // Runs the calls queued when it begins, for one time slice at most; calls posted meanwhile, and those
    // the slice left, wait for the next drain, so that a worker posting without pause never keeps the
    // event loop from painting and taking input.
    // Unsliced (flush) it runs everything that was queued when it began.
    void drain(std::weak_ptr<Core> self, bool sliced) {
        QElapsedTimer slice;
        slice.start();
        size_t budget = 0;
        {
            std::lock_guard lock(mutex);
            drainPosted = false;
            budget = queue.size();
        }
        for (; budget > 0; --budget) {
            Pending next;
            {
                std::lock_guard lock(mutex);
                if (queue.empty())
                    return;
                if (quitting())
                    break;
                next = std::move(queue.front());
                queue.pop_front();
                if (next.reply && next.reply->abandoned)
                    continue;
            }
            // Outside the lock: a call may run a local event loop, in which later calls run meanwhile.
            next.run();
            if (next.reply) {
                std::lock_guard lock(mutex);
                next.reply->done = true;
                replied.notify_all();
            }
            if (sliced && budget > 1 && slice.elapsed() >= kDrainSliceMs) {
                std::lock_guard lock(mutex);
                if (!quitting() && receiver && !queue.empty())
                    postDrain(self);
                return;
            }
        }
        if (quitting())
            dropAll();
    }

    // Nothing queued runs any more, and every sender stops waiting.
    void dropAll() {
        std::deque<Pending> dropped;
        {
            std::lock_guard lock(mutex);
            dropped.swap(queue);
            replied.notify_all();
        }
    }
};

void GuiQueue::Link::post(Call call) const {
    if (!core_)
        return;
    if (onGuiThread()) {
        if (!core_->quitting())
            call();
        return;
    }
    core_->enqueue(core_, {std::move(call), nullptr});
}

bool GuiQueue::Link::sendCall(Call call) const {
    if (!core_ || core_->quitting())
        return false;
    if (onGuiThread()) {
        call();
        return true;
    }
    auto reply = std::make_shared<Core::Reply>();
    if (!core_->enqueue(core_, {std::move(call), reply}))
        return false;
    std::unique_lock lock(core_->mutex);
    core_->replied.wait(lock, [&] { return reply->done || core_->quitting(); });
    if (reply->done)
        return true;
    // The GUI thread may be the one waiting for us; it skips the call if it has not begun it.
    reply->abandoned = true;
    return false;
}

bool GuiQueue::Link::closed() const {
    return !core_ || core_->quitting();
}

bool GuiQueue::Link::onGuiThread() const {
    return core_ && QThread::currentThread() == core_->thread;
}

GuiQueue::GuiQueue(const std::atomic<bool>* quit)
    : link_(std::make_shared<Core>()), receiver_(std::make_unique<QObject>()) {
    link_.core_->quit = quit;
    link_.core_->thread = QThread::currentThread();
    link_.core_->receiver = receiver_.get();
}

GuiQueue::~GuiQueue() {
    close();
    // Drains Qt still holds for the receiver go with it.
    receiver_.reset();
}

void GuiQueue::flush() {
    link_.core_->drain(link_.core_, false);
}

void GuiQueue::close() {
    Core& core = *link_.core_;
    {
        std::lock_guard lock(core.mutex);
        core.closed = true;
        core.receiver = nullptr;
    }
    core.dropAll();
}

} // namespace tessa::platform
