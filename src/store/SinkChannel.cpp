#include "store/SinkChannel.h"

#include <QThread>

namespace tessa {

SinkChannel::SinkChannel(LoadSink& sink, const std::atomic<bool>& quit, QObject* parent)
    : QObject(parent), sink_(sink), quit_(quit) {}

bool SinkChannel::onSinkThread() const {
    return QThread::currentThread() == thread();
}

void SinkChannel::post(Call call) {
    if (quit_)
        return;
    if (onSinkThread()) {
        call(sink_);
        return;
    }
    enqueue({[call = std::move(call)](LoadSink& sink) {
                 call(sink);
                 return true;
             },
             nullptr});
}

std::optional<bool> SinkChannel::send(Query query) {
    if (quit_)
        return std::nullopt;
    if (onSinkThread())
        return query(sink_);
    auto reply = std::make_shared<Reply>();
    enqueue({std::move(query), reply});
    std::unique_lock lock(mutex_);
    replied_.wait(lock, [&] { return reply->done || quit_; });
    if (!reply->done) {
        // The GUI thread may be the one waiting for us; it skips the call if it has not begun it.
        reply->abandoned = true;
        return std::nullopt;
    }
    return reply->result;
}

void SinkChannel::wakeWaiters() {
    std::lock_guard lock(mutex_);
    replied_.notify_all();
}

void SinkChannel::enqueue(Pending pending) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(pending));
    }
    QMetaObject::invokeMethod(this, "drain", Qt::QueuedConnection);
}

void SinkChannel::drain() {
    for (;;) {
        Pending next;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty())
                return;
            next = std::move(queue_.front());
            queue_.pop_front();
            if (next.reply && next.reply->abandoned)
                continue;
        }
        if (quit_) {
            // Nothing reaches the window once it closes; a worker waiting for this call gives up.
            wakeWaiters();
            continue;
        }
        // Runs outside the lock: a query may run a local event loop that drains further calls.
        const bool result = next.run(sink_);
        if (next.reply) {
            std::lock_guard lock(mutex_);
            next.reply->result = result;
            next.reply->done = true;
            replied_.notify_all();
        }
    }
}

} // namespace tessa
