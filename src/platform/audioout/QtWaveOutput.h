#pragma once

// The wave output over the desktop's sound server (Qt Multimedia's QAudioSink). The sink plays 16-bit
// PCM only, so the other formats are expanded to PCM here. The sink lives on a thread of its own that
// keeps it fed; a block counts as done once all of its samples went to the sink.

#include "platform/WaveOutput.h"

#include <deque>
#include <mutex>
#include <QThread>

class QAudioSink;
class QIODevice;
class QTimer;

namespace tessa::platform {

class QtWaveOutput : public WaveOutput {
public:
    explicit QtWaveOutput(SampleExpanderFactory expanders);
    ~QtWaveOutput() override;

    WaveResult query(const WaveFormat& format) override;
    WaveResult open(const WaveFormat& format, WaveBlockDone done) override;
    WaveResult write(WaveBlock* block) override;
    WaveResult reset() override;
    WaveResult close() override;

private:
    struct Pending {
        WaveBlock* block;
        std::vector<int16_t> pcm;
        size_t writtenBytes = 0;
    };
    template <typename F>
    void onAudioThread(F&& work);
    void feed();      // audio thread
    void closeSink(); // audio thread
    void handBack(std::deque<Pending>& blocks);

    QThread thread_;
    QObject* context_ = nullptr; // lives on thread_
    // Audio thread only.
    QAudioSink* sink_ = nullptr;
    QIODevice* io_ = nullptr;
    QTimer* timer_ = nullptr;

    std::mutex mutex_;
    bool open_ = false;
    WaveBlockDone done_;
    SampleExpanderFactory expanders_;
    std::unique_ptr<SampleExpander> expander_;
    std::deque<Pending> queue_;
};

} // namespace tessa::platform
