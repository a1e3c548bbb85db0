#pragma once

// The wave output over the desktop's sound server (Qt Multimedia's QAudioSink). The sink plays 16-bit
// PCM only, so the other formats are expanded to PCM here, and at a speed other than 100 % the samples
// are time-stretched on their way to the sink. The sink lives on a thread of its own that keeps it fed;
// a block counts as done once all of its samples went to the sink (or into the stretcher).

#include "platform/PcmFeed.h"
#include "platform/WaveOutput.h"

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
    void setSpeed(int percent) override;

private:
    template <typename F>
    void onAudioThread(F&& work);
    void feed();      // audio thread
    void closeSink(); // audio thread
    void handBack(const std::vector<WaveBlock*>& blocks);

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
    PcmFeed feed_;
    // Samples taken from the feed that the sink did not accept yet; they go first next time.
    std::vector<int16_t> unwritten_;
    size_t unwrittenFrom_ = 0;
    std::vector<int16_t> scratch_;
};

} // namespace tessa::platform
