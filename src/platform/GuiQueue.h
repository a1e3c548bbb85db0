#pragma once

// The one way for a worker to reach the GUI thread: calls posted to the queue run on the thread that
// created it, in the order they were posted. A call posted on that thread itself runs at once.
//
// How to use it:
//
//     platform::GuiQueue queue_{&state.quit};              // a member of the owner, made on the GUI thread
//     // on the worker:
//     queue_.post([&sink] { sink.hideProgress(); });       // runs later on the GUI thread; never waits
//     std::optional<bool> yes = queue_.send([&] { return dialog.exec() == 1; });
//                                                          // waits for the answer; nullopt on quit
//     // on the GUI thread:
//     queue_.flush();                                      // runs at once what is queued (after a join)
//
// It gives up when the program quits: once the quit flag given to it is set, or once close() is called
// (its owner going away calls it), nothing queued runs any more, later posts are dropped and every send()
// stops waiting. Closing the program waits for workers on the GUI thread, so a worker must never wait
// for the GUI thread in any other way. A posted call may therefore capture its owner: it never runs
// after the owner (and with it the queue) is gone.
//
// A worker that may outlive its owner (one let go at close, see WorkerSlot) takes a Link instead of a
// reference to the queue: a Link stays valid after the queue is gone, and then drops what it is given.
//
// The queue is ours rather than Qt's event queue alone so that whatever a worker wrote before a call is
// visibly ordered before the GUI thread reads it, and so that a waiting send() can give up.

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

class QObject;

namespace tessa::platform {

class GuiQueue {
    struct Core;

public:
    using Call = std::function<void()>;

    // What a worker holds: posts and sends like the queue, and outlives it.
    class Link {
    public:
        Link() = default;
        void post(Call call) const;
        template <class Query>
        auto send(Query query) const -> std::optional<std::invoke_result_t<Query&>> {
            using Result = std::invoke_result_t<Query&>;
            static_assert(!std::is_void_v<Result>, "send() returns the query's answer; post() what has none");
            auto answer = std::make_shared<std::optional<Result>>();
            // The answer is shared: a sender that gave up leaves it to a query still running.
            if (!sendCall([answer, query = std::move(query)]() mutable { answer->emplace(query()); }))
                return std::nullopt;
            return std::move(*answer);
        }
        // The queue is closed or the quit flag is set: nothing posted runs any more.
        bool closed() const;
        // Called on the queue's thread.
        bool onGuiThread() const;

    private:
        friend class GuiQueue;
        explicit Link(std::shared_ptr<Core> core) : core_(std::move(core)) {}
        // True when the call ran to its end.
        bool sendCall(Call call) const;

        std::shared_ptr<Core> core_;
    };

    // Made on the GUI thread; calls run there. quit: the program's quit flag, or null for a queue that
    // only its owner closes. The flag must outlive every worker that posts.
    explicit GuiQueue(const std::atomic<bool>* quit = nullptr);
    // Closes the queue.
    ~GuiQueue();
    GuiQueue(const GuiQueue&) = delete;
    GuiQueue& operator=(const GuiQueue&) = delete;

    // Any thread. See Link; the queue's own versions are for workers that end before their owner.
    void post(Call call) const { link_.post(std::move(call)); }
    template <class Query>
    auto send(Query query) const {
        return link_.send(std::move(query));
    }
    bool closed() const { return link_.closed(); }
    bool onGuiThread() const { return link_.onGuiThread(); }
    Link link() const { return link_; }

    // GUI thread: runs now every call queued so far, unless the queue is closed.
    void flush();
    // Any thread: drops what is queued, makes every send() give up and ignores later calls. Once only.
    void close();

private:
    Link link_;
    std::unique_ptr<QObject> receiver_; // lives on the GUI thread; Qt delivers the drain to it
};

} // namespace tessa::platform
