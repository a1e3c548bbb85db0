#pragma once

// The program's single audio output. It opens the wave output for one of five fixed formats, queues
// each block the player hands it (one second of audio at a time) as a private copy, and frees every
// block on its own callback thread once the output hands it back.

#include "audio/CodecTable.h"
#include "platform/WaveOutput.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

namespace tessa {

class PlaybackEngine {
public:
    // Blocks handed to the output and not yet back; one more is still accepted, the next are dropped.
    static constexpr int32_t kMaxPending = 600;
    // How long close() waits for the callback thread: polls of 10 ms.
    static constexpr int kStopPolls = 50;

    explicit PlaybackEngine(std::shared_ptr<platform::WaveOutput> output);
    ~PlaybackEngine();
    PlaybackEngine(const PlaybackEngine&) = delete;
    PlaybackEngine& operator=(const PlaybackEngine&) = delete;

    // Close first whenever the mode is to change: open fails while the callback thread runs. A mode
    // outside 0..4 opens no device and still succeeds; the output is then unavailable.
    bool open(int mode);
    // Closes the device (kept when it refuses, i.e. while blocks are queued: reset first) and stops the
    // callback thread, waiting at most 50 polls of 10 ms before abandoning it.
    void close();
    // Queues a copy of the bytes. Reports success without queueing when more than 600 blocks are pending.
    bool write(const uint8_t* bytes, size_t length);
    // Stops the output at once; every queued block comes back through the callback thread.
    bool reset();
    bool outputAvailable() const { return deviceHeld_; }
    // Playback speed in percent of the recording's pace (50 to 200), pitch kept; the output plays each
    // block faster or slower, queued ones included. Kept across close and open.
    void setSpeed(int percent);
    int speed() const { return speed_; }

    int mode() const { return mode_; }
    bool isOpen() const { return open_; }
    int32_t pendingCount() const;
    platform::WaveResult lastResult() const { return lastResult_; }
    bool callbackThreadRunning() const { return threadRunning_; }
    // Callback threads given up by close() that have not ended yet.
    int abandonedCallbackThreads() const;

    struct Channel;

private:
    bool startCallbackThread();
    void stopCallbackThread();

    std::shared_ptr<platform::WaveOutput> output_;
    int mode_ = 0;
    int speed_ = 100;
    bool open_ = false;
    bool deviceHeld_ = false;
    bool threadRunning_ = false;
    std::thread thread_;
    std::shared_ptr<Channel> channel_;
    // Each open starts a fresh count, so blocks of an abandoned thread never disturb the new one.
    std::shared_ptr<std::atomic<int32_t>> pending_;
    std::vector<std::shared_ptr<Channel>> abandoned_;
    platform::WaveResult lastResult_ = platform::WaveResult::Ok;
};

} // namespace tessa
