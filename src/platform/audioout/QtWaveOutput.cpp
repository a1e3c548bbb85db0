#include "platform/audioout/QtWaveOutput.h"

#include <algorithm>
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>
#include <QTimer>

namespace tessa::platform {

// Named rather than anonymous: libraries may be built in unity batches, where anonymous namespaces of
// different files merge.
namespace qt_wave_output_internal {

constexpr int kFeedIntervalMs = 10;
// A quarter of a second in the sound server: short enough that a reset is heard at once, long enough
// that a busy machine does not starve it.
constexpr qsizetype kSinkBufferBytes = 4000;

QAudioFormat pcmFormat() {
    QAudioFormat f;
    f.setSampleRate(8000);
    f.setChannelCount(1);
    f.setSampleFormat(QAudioFormat::Int16);
    return f;
}

} // namespace qt_wave_output_internal

QtWaveOutput::QtWaveOutput(SampleExpanderFactory expanders) : expanders_(std::move(expanders)) {
    context_ = new QObject;
    context_->moveToThread(&thread_);
    thread_.setObjectName(QStringLiteral("tessa-audio"));
    thread_.start();
}

QtWaveOutput::~QtWaveOutput() {
    reset();
    close();
    onAudioThread([this] { closeSink(); });
    thread_.quit();
    thread_.wait();
    delete context_;
}

template <typename F>
void QtWaveOutput::onAudioThread(F&& work) {
    if (QThread::currentThread() == &thread_)
        work();
    else
        QMetaObject::invokeMethod(context_, std::forward<F>(work), Qt::BlockingQueuedConnection);
}

// A format is played when the audio layer can expand it to PCM; the output knows no coding itself.
WaveResult QtWaveOutput::query(const WaveFormat& format) {
    using namespace qt_wave_output_internal;
    if (!expanders_ || !expanders_(format))
        return WaveResult::BadFormat;
    WaveResult result = WaveResult::Ok;
    onAudioThread([&] {
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull())
            result = WaveResult::NoDevice;
        else if (!device.isFormatSupported(pcmFormat()))
            result = WaveResult::BadFormat;
    });
    return result;
}

WaveResult QtWaveOutput::open(const WaveFormat& format, WaveBlockDone done) {
    using namespace qt_wave_output_internal;
    std::unique_ptr<SampleExpander> expander = expanders_ ? expanders_(format) : nullptr;
    if (!expander)
        return WaveResult::BadFormat;
    {
        std::lock_guard lock(mutex_);
        if (open_)
            return WaveResult::AlreadyOpen;
    }
    WaveResult result = WaveResult::Ok;
    onAudioThread([&] {
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull()) {
            result = WaveResult::NoDevice;
            return;
        }
        sink_ = new QAudioSink(device, pcmFormat());
        sink_->setBufferSize(kSinkBufferBytes);
        io_ = sink_->start();
        if (!io_ || sink_->error() != QAudio::NoError) {
            closeSink();
            result = WaveResult::Failed;
            return;
        }
        timer_ = new QTimer;
        QObject::connect(timer_, &QTimer::timeout, context_, [this] { feed(); });
        timer_->start(kFeedIntervalMs);
    });
    if (result != WaveResult::Ok)
        return result;
    std::lock_guard lock(mutex_);
    open_ = true;
    done_ = std::move(done);
    expander_ = std::move(expander);
    return WaveResult::Ok;
}

WaveResult QtWaveOutput::write(WaveBlock* block) {
    std::lock_guard lock(mutex_);
    if (!open_)
        return WaveResult::NotOpen;
    std::vector<int16_t> pcm;
    expander_->expand(block->data, block->length, pcm);
    feed_.push(block, std::move(pcm));
    return WaveResult::Ok;
}

void QtWaveOutput::feed() {
    using namespace qt_wave_output_internal;
    std::vector<WaveBlock*> finished;
    {
        std::lock_guard lock(mutex_);
        if (!sink_ || !io_)
            return;
        const qsizetype freeBytes = sink_->bytesFree();
        size_t room = size_t(freeBytes / qsizetype(sizeof(int16_t)));
        if (unwrittenFrom_ >= unwritten_.size()) {
            unwritten_.clear();
            unwrittenFrom_ = 0;
            scratch_.resize(room);
            size_t n = feed_.pull(scratch_.data(), room, finished);
            // Nothing more is queued and the sink is half empty: the end of a play, or a feed running
            // late. Either way the stretcher's last samples are better heard now than never.
            if (n < room && !feed_.hasBlocks() && freeBytes >= kSinkBufferBytes / 2) {
                feed_.letOutTail();
                n += feed_.pull(scratch_.data() + n, room - n, finished);
            }
            unwritten_.assign(scratch_.begin(), scratch_.begin() + qsizetype(n));
        }
        const size_t pending = std::min(room, unwritten_.size() - unwrittenFrom_);
        if (pending > 0) {
            const qint64 wrote = io_->write(reinterpret_cast<const char*>(unwritten_.data() + unwrittenFrom_),
                                            qint64(pending * sizeof(int16_t)));
            if (wrote > 0)
                unwrittenFrom_ += size_t(wrote) / sizeof(int16_t);
        }
    }
    handBack(finished);
}

void QtWaveOutput::handBack(const std::vector<WaveBlock*>& blocks) {
    WaveBlockDone done;
    {
        std::lock_guard lock(mutex_);
        done = done_;
    }
    for (WaveBlock* block : blocks)
        if (done)
            done(block);
}

void QtWaveOutput::setSpeed(int percent) {
    std::lock_guard lock(mutex_);
    feed_.setSpeed(percent);
}

WaveResult QtWaveOutput::reset() {
    std::vector<WaveBlock*> dropped;
    {
        std::lock_guard lock(mutex_);
        if (!open_)
            return WaveResult::NotOpen;
        dropped = feed_.clear();
        unwritten_.clear();
        unwrittenFrom_ = 0;
        expander_->reset();
    }
    // Restarting the sink drops what the sound server still buffers.
    onAudioThread([this] {
        if (sink_) {
            sink_->reset();
            io_ = sink_->start();
        }
    });
    handBack(dropped);
    return WaveResult::Ok;
}

void QtWaveOutput::closeSink() {
    delete timer_;
    timer_ = nullptr;
    if (sink_)
        sink_->stop();
    delete sink_;
    sink_ = nullptr;
    io_ = nullptr;
}

WaveResult QtWaveOutput::close() {
    {
        std::lock_guard lock(mutex_);
        if (!open_)
            return WaveResult::NotOpen;
        if (feed_.hasBlocks())
            return WaveResult::StillPlaying;
    }
    onAudioThread([this] { closeSink(); });
    std::lock_guard lock(mutex_);
    // The stretcher's last samples belong to what played before; the next recording starts clean.
    feed_.clear();
    unwritten_.clear();
    unwrittenFrom_ = 0;
    open_ = false;
    done_ = nullptr;
    expander_.reset();
    return WaveResult::Ok;
}

} // namespace tessa::platform
