#include "backup/BackupRunner.h"

#include "platform/FileRoots.h"
#include "platform/VolumeTable.h"
#include "store/AppState.h"
#include "store/CallLogFile.h"
#include "store/ProgressThrottle.h"

namespace tessa {
namespace {

// The worker's side of the reports: progress paced for the window, every logged record passed on.
class QueuedObserver : public BackupObserver {
public:
    QueuedObserver(platform::GuiQueue::Link link, AppState& state, std::shared_ptr<BackupRunner::Listener> to)
        : link_(std::move(link)), state_(state), to_(std::move(to)) {}

    void rangeSet(uint32_t total) override {
        total_ = total;
        link_.post([to = to_, total] {
            if (to->rangeSet)
                to->rangeSet(total);
        });
    }
    void positionSet(uint32_t position) override {
        position_ = position;
        if (throttle_.due(false))
            postProgress();
    }
    void destinationShown(const QString& path) override {
        destination_ = path;
        if (throttle_.due(false))
            postProgress();
    }
    // The record keeps the month log it went into, so that marking or deleting it later writes there.
    void recordLogged(const CallRecord& record, const QString& monthLog) override {
        link_.post([&records = state_.backupRecords, record, monthLog] {
            records.append(record, RecordOrigin{monthLog, uint32_t(kMonthLogRecordSize)});
        });
    }
    void flush() { postProgress(); }

private:
    void postProgress() {
        link_.post([to = to_, position = position_, destination = destination_] {
            if (to->progress)
                to->progress(position, destination);
        });
    }

    platform::GuiQueue::Link link_;
    AppState& state_;
    std::shared_ptr<BackupRunner::Listener> to_;
    ProgressThrottle throttle_;
    uint32_t total_ = 0;
    uint32_t position_ = 0;
    QString destination_;
};

} // namespace

BackupRunner::BackupRunner(AppState& state) : state_(state), queue_(&state.quit) {}

BackupRunner::~BackupRunner() {
    worker_.stop();
    queue_.close();
}

BackupRunner::StartResult BackupRunner::start(const BackupRequest& request, std::vector<CallRecord> records,
                                              Listener listener, bool holdBusy,
                                              std::shared_ptr<const std::atomic<bool>> extraStop) {
    if (worker_.running())
        return StartResult::Busy;
    if (holdBusy && state_.busy.exchange(true))
        return StartResult::Busy;
    // The pass reaches only the card in use; its root is where the card's drive letter leads now.
    if (const auto card = platform::volumeTable().volume(state_.cardDriveLetter))
        platform::setCardRoot(card->root);

    auto to = std::make_shared<Listener>(std::move(listener));
    AppState& state = state_;
    auto body = [link = queue_.link(), &state, to, request, records = std::move(records), holdBusy,
                 extraStop](const std::atomic<bool>& stop) {
        QueuedObserver observer(link, state, to);
        const auto stopRequested = [&] { return stop || state.quit || (extraStop && *extraStop); };
        const BackupSummary summary = runBackupPass(request, records, stopRequested, observer);
        if (summary.ran)
            observer.flush();
        link.post([&state, to, summary, holdBusy] {
            if (holdBusy)
                state.busy = false;
            if (to->ended)
                to->ended(summary);
        });
    };
    if (!worker_.start(std::move(body))) {
        if (holdBusy)
            state_.busy = false;
        return StartResult::NotStarted;
    }
    return StartResult::Started;
}

} // namespace tessa
