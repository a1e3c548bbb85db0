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
    Pending p{block, {}, 0};
    expander_->expand(block->data, block->length, p.pcm);
    queue_.push_back(std::move(p));
    return WaveResult::Ok;
}

void QtWaveOutput::feed() {
    std::deque<Pending> finished;
    {
        std::lock_guard lock(mutex_);
        if (!sink_ || !io_)
            return;
        qsizetype room = sink_->bytesFree() & ~qsizetype(1);
        while (!queue_.empty()) {
            Pending& p = queue_.front();
            const size_t total = p.pcm.size() * sizeof(int16_t);
            const qsizetype chunk = std::min<qsizetype>(room, qsizetype(total - p.writtenBytes));
            if (chunk > 0) {
                const qint64 wrote =
                    io_->write(reinterpret_cast<const char*>(p.pcm.data()) + p.writtenBytes, chunk);
                if (wrote <= 0)
                    break;
                p.writtenBytes += size_t(wrote);
                room -= wrote;
            }
            if (p.writtenBytes < total)
                break;
            finished.push_back(std::move(p));
            queue_.pop_front();
        }
    }
    handBack(finished);
}

void QtWaveOutput::handBack(std::deque<Pending>& blocks) {
    WaveBlockDone done;
    {
        std::lock_guard lock(mutex_);
        done = done_;
    }
    for (const Pending& p : blocks)
        if (done)
            done(p.block);
}

WaveResult QtWaveOutput::reset() {
    std::deque<Pending> dropped;
    {
        std::lock_guard lock(mutex_);
        if (!open_)
            return WaveResult::NotOpen;
        dropped.swap(queue_);
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
        if (!queue_.empty())
            return WaveResult::StillPlaying;
    }
    onAudioThread([this] { closeSink(); });
    std::lock_guard lock(mutex_);
    open_ = false;
    done_ = nullptr;
    expander_.reset();
    return WaveResult::Ok;
}

} // namespace tessa::platform
