#include "store/RebuildWorker.h"

#include "platform/NativePath.h"
#include "store/AppState.h"
#include "store/CardRecordCodec.h"
#include "store/LoadSink.h"
#include "store/RecordingFiles.h"

#include <algorithm>
#include <QDirIterator>
#include <thread>

namespace tessa {

RebuildWorker::RebuildWorker(AppState& state, LoadSink& sink, platform::GuiQueue& queue)
    : state_(state), sink_(sink), queue_(queue) {}

RebuildWorker::~RebuildWorker() {
    stop();
}

void RebuildWorker::queue(char driveLetter) {
    bool startWorker = false;
    {
        std::lock_guard lock(state_.rebuildLock);
        auto& queued = state_.rebuildQueue;
        if (std::find(queued.begin(), queued.end(), driveLetter) == queued.end())
            queued.push_back(driveLetter);
        // The running flag changes only under the lock, so a worker deciding to end cannot miss a drive
        // queued at that moment: either it sees the drive or we see it gone and start a new one.
        if (!state_.rebuildRunning && !state_.quit) {
            state_.rebuildRunning = true;
            startWorker = true;
        }
    }
    if (startWorker && !worker_.start([this] { run(); })) {
        // The drive stays queued; the next queue() tries again.
        std::lock_guard lock(state_.rebuildLock);
        state_.rebuildRunning = false;
    }
}

bool RebuildWorker::stop(std::chrono::milliseconds limit) {
    return worker_.stop(limit);
}

void RebuildWorker::run() {
    char lastDrive = 0;
    for (;;) {
        char driveLetter = 0;
        {
            std::lock_guard lock(state_.rebuildLock);
            if (state_.quit || state_.rebuildQueue.empty()) {
                state_.rebuildRunning = false;
                break;
            }
            driveLetter = state_.rebuildQueue.front();
            state_.rebuildQueue.pop_front();
            // Under the lock, so that a repair claiming the drive sees it taken.
            state_.rebuildDriveLetter = driveLetter;
        }
        lastDrive = driveLetter;
        // A repair appending to this drive's log finishes first: two writers would interleave records.
        while (state_.repairDriveLetter == driveLetter && !state_.quit)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (state_.quit)
            continue;
        queue_.post([&sink = sink_, driveLetter] { sink.showRebuildActivity(driveLetter, true); });
        rebuildDrive(driveLetter);
        std::this_thread::yield();
    }
    queue_.post([&sink = sink_, lastDrive] { sink.showRebuildActivity(lastDrive, false); });
}

void RebuildWorker::rebuildDrive(char driveLetter) {
    const int model = state_.modelCode;
    for (const uint32_t month : listCardMonthFolders(driveLetter, model, &state_.quit)) {
        if (state_.quit)
            return;
        QString folder = monthFolderPath(driveLetter, model, month);
        folder.chop(3); // the "*.*" pattern: enumeration lists the folder
        const QString native = platform::nativePath(folder);
        if (native.isEmpty())
            continue;
        QDirIterator entries(native, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
        while (entries.hasNext()) {
            if (state_.quit)
                return;
            entries.next();
            const QString name = entries.fileName();
            if (!entries.fileInfo().isDir() && isRecordingFileName(name))
                encodeCardRecord(driveLetter, name, model); // names that break the grammar are skipped
            std::this_thread::yield();
        }
        std::this_thread::yield();
    }
}

} // namespace tessa
