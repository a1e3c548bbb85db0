#include "audio/OpenRecording.h"

#include "audio/Bookmark.h"
#include "config/ProgramFolder.h"
#include "format/ContainerHeader.h"
#include "platform/ConfinedFiles.h"
#include "platform/NativePath.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <QTemporaryFile>
#include <thread>

namespace tessa {

// The decoded PCM file and the engine's PCM blocks hold the host's samples as they stand, which are the
// little-endian samples of a WAV file only on a little-endian host.
static_assert(std::endian::native == std::endian::little, "16-bit samples are written as they lie in memory");

// Named rather than anonymous: the library is built in unity batches, where anonymous namespaces of
// different files merge.
namespace open_recording_internal {

constexpr size_t kPredecodeChunk = 4096;

struct HeaderFields {
    RecordingLayout layout;
    std::optional<BookmarkSpan> bookmark;
};

// A container's header and text area (bytes a short file lacks read as zero); nothing of a plain WAV
// recording.
HeaderFields readHeader(QFile& file, const QString& path) {
    ContainerHeader header{};
    HeaderFields fields{recordingLayout(path, header), std::nullopt};
    if (!fields.layout.container)
        return fields;
    uint8_t area[ContainerHeader::kTextAreaSize] = {};
    if (file.seek(0))
        file.read(reinterpret_cast<char*>(&header), qint64(sizeof header));
    if (file.seek(qint64(ContainerHeader::kTextAreaOffset)))
        file.read(reinterpret_cast<char*>(area), qint64(sizeof area));
    file.seek(0);
    fields.layout = recordingLayout(path, header);
    fields.bookmark = parseBookmark(area, sizeof area);
    return fields;
}

// The size checks open() makes before reading any audio.
OpenStatus checkSize(qint64 size, uint32_t dataOffset, const Codec& codec) {
    if (size <= 0)
        return OpenStatus::Empty;
    if (size >= kMaxRecordingSize)
        return OpenStatus::TooLarge;
    if (size < qint64(dataOffset))
        return OpenStatus::Empty;
    if (playerDuration(uint64_t(size), dataOffset, codec) == 0)
        return OpenStatus::NoDuration;
    return OpenStatus::Opened;
}

} // namespace open_recording_internal

const char* openStatusText(OpenStatus status) {
    switch (status) {
    case OpenStatus::Opened:
        return "opened";
    case OpenStatus::CannotOpen:
        return "the file cannot be opened";
    case OpenStatus::NoDecodedFile:
        return "no temporary file can be made for the decoded audio";
    case OpenStatus::Empty:
        return "the file is empty or ends before its audio";
    case OpenStatus::TooLarge:
        return "the file is 2 GiB or larger";
    case OpenStatus::NoDuration:
        return "the recording is shorter than one second";
    case OpenStatus::NoMemory:
        return "there is not enough memory for the recording";
    case OpenStatus::ReadFailed:
        return "the file could not be read to its end";
    }
    return "";
}

RecordingFacts inspectRecording(const QString& programPath, platform::Area area) {
    using namespace open_recording_internal;
    RecordingFacts facts;
    facts.container = recordingLayout(programPath, ContainerHeader{}).container;
    const QString native = platform::nativePath(programPath);
    QFile file(native);
    if (native.isEmpty() || platform::openForReading(file, native, area) != platform::FileError::None)
        return facts;
    const HeaderFields fields = readHeader(file, programPath);
    facts.dataOffset = fields.layout.dataOffset;
    facts.codec = fields.layout.codec;
    facts.bookmark = fields.bookmark;
    facts.fileSize = file.size();
    facts.status = checkSize(facts.fileSize, facts.dataOffset, *facts.codec);
    if (facts.status == OpenStatus::Opened)
        facts.duration = playerDuration(uint64_t(facts.fileSize), facts.dataOffset, *facts.codec);
    return facts;
}

OpenRecording::OpenRecording() {
    std::memset(coded_, 0, sizeof coded_);
    std::memset(samples_, 0, sizeof samples_);
}

OpenRecording::~OpenRecording() = default;

void OpenRecording::dropAudioLocked() {
    image_.reset();
    size_ = 0;
    duration_ = 0;
    currentSecond_ = 0;
}

void OpenRecording::closeFile() {
    std::lock_guard lock(mutex_);
    file_.close();
    fileOpen_ = false;
}

OpenStatus OpenRecording::open(const QString& programPath, platform::Area area) {
    using namespace open_recording_internal;
    std::lock_guard lock(mutex_);
    ++generation_;
    file_.close();
    fileOpen_ = false;
    dropAudioLocked();
    path_ = programPath;
    container_ = recordingLayout(programPath, ContainerHeader{}).container;

    const QString native = platform::nativePath(programPath);
    file_.setFileName(native);
    if (native.isEmpty() || platform::openForReading(file_, native, area) != platform::FileError::None)
        return OpenStatus::CannotOpen;
    fileOpen_ = true;
    const auto fail = [this](OpenStatus status) {
        file_.close();
        fileOpen_ = false;
        dropAudioLocked();
        return status;
    };

    // One private file per player, replaced on every open so that a new recording never reads the
    // previous one's samples.
    decoded_ = std::make_unique<QTemporaryFile>(privateTempFolder() + QStringLiteral("/decoded-XXXXXX.pcm"));
    if (!decoded_->open()) {
        decoded_.reset();
        return fail(OpenStatus::NoDecodedFile);
    }

    const HeaderFields fields = readHeader(file_, programPath);
    dataOffset_ = fields.layout.dataOffset;
    codec_ = fields.layout.codec;
    bookmark_ = fields.bookmark;
    // A new recording never hears the history of the one before.
    decoder_ = codec_->makeDecoder();
    nextDecodedSecond_ = 0;

    const qint64 size = file_.size();
    if (const OpenStatus status = checkSize(size, dataOffset_, *codec_); status != OpenStatus::Opened)
        return fail(status);

    image_.reset(new (std::nothrow) uint8_t[size_t(size) + 1]);
    if (!image_)
        return fail(OpenStatus::NoMemory);
    qint64 got = 0;
    while (got < size) {
        const qint64 n = file_.read(reinterpret_cast<char*>(image_.get()) + got, size - got);
        if (n <= 0)
            break;
        got += n;
    }
    if (got != size)
        return fail(OpenStatus::ReadFailed);
    image_[size_t(size)] = 0;
    file_.seek(0);
    size_ = uint32_t(size);
    duration_ = playerDuration(size_, dataOffset_, *codec_);
    return OpenStatus::Opened;
}

bool OpenRecording::stopRequested(const std::atomic<bool>& stop, uint64_t generation) const {
    return stop || !fileOpen_ || generation_ != generation;
}

bool OpenRecording::predecode(const std::atomic<bool>& stop) {
    using namespace open_recording_internal;
    uint64_t generation = 0;
    uint32_t length = 0;
    {
        std::lock_guard lock(mutex_);
        if (!codec_->decodedAhead || !decoded_ || !image_ || !decoder_)
            return false;
        generation = generation_;
        length = size_ - dataOffset_;
        decoded_->seek(0);
    }
    uint8_t chunk[kPredecodeChunk];
    // Room for the samples of a chunk in the coding with the most samples a byte (IMA ADPCM).
    int16_t pcm[kPredecodeChunk * 2];
    for (uint32_t p = 0; p < length;) {
        const uint32_t c = std::min<uint32_t>(uint32_t(kPredecodeChunk), length - p);
        {
            std::lock_guard lock(mutex_);
            if (stopRequested(stop, generation))
                return false;
            // A last partial block is decoded from the cleared buffer: its missing bytes read as zero.
            std::memset(chunk, 0, sizeof chunk);
            std::memcpy(chunk, image_.get() + dataOffset_ + p, c);
            const size_t samples = decoder_->decode(chunk, c, pcm);
            const qint64 bytes = qint64(samples * sizeof(int16_t));
            if (decoded_->write(reinterpret_cast<const char*>(pcm), bytes) != bytes)
                return false;
        }
        std::this_thread::yield();
        p += c;
    }
    std::lock_guard lock(mutex_);
    return decoded_->flush();
}

bool OpenRecording::loadAll(const std::atomic<bool>& stop, const SecondSink& second) {
    uint64_t generation = 0;
    uint32_t duration = 0;
    bool decodedAhead = false;
    {
        std::lock_guard lock(mutex_);
        if (!image_)
            return false;
        generation = generation_;
        duration = duration_;
        decodedAhead = codec_->decodedAhead;
        // The waveform pass decodes from a fresh state whatever was read before it.
        nextDecodedSecond_ = UINT32_MAX;
    }
    if (decodedAhead && !predecode(stop))
        return false;
    for (uint32_t n = 0; n < duration; ++n) {
        std::span<const int16_t> samples;
        {
            std::lock_guard lock(mutex_);
            if (stopRequested(stop, generation))
                return false;
            const Read r = readSecondLocked(n, Purpose::Waveform);
            samples = {reinterpret_cast<const int16_t*>(r.bytes), r.sampleCount};
        }
        if (second)
            second(samples, n % duration, duration);
        std::this_thread::yield();
    }
    std::lock_guard lock(mutex_);
    if (generation_ != generation)
        return false;
    file_.close();
    fileOpen_ = false;
    return true;
}

size_t OpenRecording::codedSecondLocked(uint32_t n, uint32_t bytesPerSecond) {
    const uint64_t start = uint64_t(dataOffset_) + uint64_t(n) * bytesPerSecond;
    if (!image_ || start >= size_)
        return 0;
    // Only a read past the rounded-down duration could come out short.
    const size_t length = size_t(std::min<uint64_t>(bytesPerSecond, size_ - start));
    std::memcpy(coded_, image_.get() + start, length);
    return length;
}

size_t OpenRecording::decodeLocked(uint32_t n, size_t length) {
    if (!decoder_)
        return 0;
    if (n != nextDecodedSecond_)
        decoder_->reset();
    nextDecodedSecond_ = n + 1;
    return decoder_->decode(coded_, length, samples_);
}

OpenRecording::Read OpenRecording::readSecondLocked(uint32_t n, Purpose purpose) {
    if (n >= duration_)
        return {};
    std::memset(coded_, 0, sizeof coded_);
    std::memset(samples_, 0, sizeof samples_);
    currentSecond_ = n;
    const uint32_t perSecond = codec_->readBytesPerSecond;
    Read r;
    if (codec_->decodedAhead) {
        if (!decoded_ || !decoded_->isOpen() || !decoded_->seek(qint64(n) * perSecond))
            return {};
        const qint64 got = decoded_->read(reinterpret_cast<char*>(samples_), perSecond);
        r.bytes = reinterpret_cast<const uint8_t*>(samples_);
        r.byteCount = got > 0 ? size_t(got) & ~size_t(1) : 0;
        r.sampleCount = r.byteCount / 2;
        return r;
    }
    const size_t length = codedSecondLocked(n, perSecond);
    if (purpose == Purpose::Playing && playsCodedBytes(*codec_)) {
        // The engine is open in the coding's own mode and plays the coded bytes.
        r.bytes = coded_;
        r.byteCount = length;
        return r;
    }
    // A block the decoder refuses leaves its places as cleared.
    r.sampleCount = decodeLocked(n, length);
    r.bytes = reinterpret_cast<const uint8_t*>(samples_);
    r.byteCount = r.sampleCount * sizeof(int16_t);
    return r;
}

std::span<const int16_t> OpenRecording::readSecondSamples(uint32_t n) {
    std::lock_guard lock(mutex_);
    const Read r = readSecondLocked(n, Purpose::Waveform);
    return {reinterpret_cast<const int16_t*>(r.bytes), r.sampleCount};
}

std::span<const uint8_t> OpenRecording::readSecondForPlaying(uint32_t n) {
    std::lock_guard lock(mutex_);
    const Read r = readSecondLocked(n, Purpose::Playing);
    return {r.bytes, r.byteCount};
}

QString OpenRecording::path() const {
    std::lock_guard lock(mutex_);
    return path_;
}
bool OpenRecording::isContainer() const {
    std::lock_guard lock(mutex_);
    return container_;
}
uint32_t OpenRecording::fileSize() const {
    std::lock_guard lock(mutex_);
    return size_;
}
uint32_t OpenRecording::dataOffset() const {
    std::lock_guard lock(mutex_);
    return dataOffset_;
}
const Codec& OpenRecording::codec() const {
    std::lock_guard lock(mutex_);
    return *codec_;
}
uint32_t OpenRecording::formatCode() const {
    std::lock_guard lock(mutex_);
    return codec_->formatCode;
}
uint32_t OpenRecording::bytesPerSecond() const {
    std::lock_guard lock(mutex_);
    return codec_->readBytesPerSecond;
}
int OpenRecording::outputMode() const {
    std::lock_guard lock(mutex_);
    return codec_->playbackMode;
}
uint32_t OpenRecording::duration() const {
    std::lock_guard lock(mutex_);
    return duration_;
}
std::optional<BookmarkSpan> OpenRecording::bookmark() const {
    std::lock_guard lock(mutex_);
    return bookmark_;
}
uint32_t OpenRecording::currentSecond() const {
    std::lock_guard lock(mutex_);
    return currentSecond_;
}
QString OpenRecording::decodedFilePath() const {
    std::lock_guard lock(mutex_);
    return decoded_ ? decoded_->fileName() : QString();
}

} // namespace tessa
