#include "store/RebuildWorker.h"

#include "platform/ConfinedFiles.h"
#include "platform/NativePath.h"
#include "store/AppState.h"
#include "store/CardRecordCodec.h"
#include "store/LoadSink.h"
#include "store/RecordingFiles.h"

#include <algorithm>
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
        if (!rebuildDrive(driveLetter))
            queue_.post([&sink = sink_, driveLetter] { sink.rebuildFailed(driveLetter); });
        std::this_thread::yield();
    }
    queue_.post([&sink = sink_, lastDrive] { sink.showRebuildActivity(lastDrive, false); });
}

bool RebuildWorker::rebuildDrive(char driveLetter) {
    const int model = state_.modelCode;
    for (const uint32_t month : listCardMonthFolders(driveLetter, model, &state_.quit)) {
        if (state_.quit)
            return true;
        QString folder = monthFolderPath(driveLetter, model, month);
        folder.chop(3); // the "*.*" pattern: enumeration lists the folder
        const QString native = platform::nativePath(folder);
        if (native.isEmpty())
            continue;
        std::vector<platform::FolderEntry> entries;
        if (platform::listFolder(native, platform::Area::Card, &entries) != platform::FileError::None)
            continue;
        for (const platform::FolderEntry& entry : entries) {
            if (state_.quit)
                return true;
            // Only regular files are recordings: a pipe or device named like one is passed over.
            platform::EntryKind kind = entry.kind;
            if (kind == platform::EntryKind::Link)
                kind = platform::statFile(native + QLatin1Char('/') + entry.name, platform::Area::Card).kind;
            if (kind == platform::EntryKind::File && isRecordingFileName(entry.name)) {
                // Names that break the grammar are skipped; a card that takes no more ends the drive.
                const EncodeOutcome outcome = encodeCardRecord(driveLetter, entry.name, model);
                if (!outcome.nameRejected && !outcome.appended())
                    return false;
            }
            std::this_thread::yield();
        }
        std::this_thread::yield();
    }
    return true;
}

} // namespace tessa
