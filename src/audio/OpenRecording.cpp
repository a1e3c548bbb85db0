#include "audio/OpenRecording.h"

#include "audio/Bookmark.h"
#include "audio/G711.h"
#include "audio/GsmCodec.h"
#include "audio/ImaAdpcm.h"
#include "config/ProgramFolder.h"
#include "format/ContainerHeader.h"
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
constexpr uint32_t kGsmBytesPerSecond = 1650;
constexpr uint32_t kG711BytesPerSecond = 8000;

struct HeaderFields {
    uint32_t dataOffset = kPlainWavDataOffset;
    RecordingCoding coding = codingOfFormat(FormatImaAdpcm);
    std::optional<BookmarkSpan> bookmark;
};

// A container's header and text area; bytes a short file lacks read as zero.
HeaderFields readHeader(QFile& file, bool container) {
    HeaderFields fields;
    if (!container)
        return fields;
    ContainerHeader header{};
    uint8_t area[ContainerHeader::kTextAreaSize] = {};
    if (file.seek(0))
        file.read(reinterpret_cast<char*>(&header), qint64(sizeof header));
    if (file.seek(qint64(ContainerHeader::kTextAreaOffset)))
        file.read(reinterpret_cast<char*>(area), qint64(sizeof area));
    file.seek(0);
    fields.dataOffset = header.dataOffset;
    fields.coding = codingOfFormat(header.formatCode);
    fields.bookmark = parseBookmark(area, sizeof area);
    return fields;
}

// The size checks open() makes before reading any audio.
OpenStatus checkSize(qint64 size, uint32_t dataOffset, uint32_t formatCode) {
    if (size <= 0)
        return OpenStatus::Empty;
    if (size >= kMaxRecordingSize)
        return OpenStatus::TooLarge;
    if (size < qint64(dataOffset))
        return OpenStatus::Empty;
    if (playerDuration(uint64_t(size), dataOffset, formatCode) == 0)
        return OpenStatus::NoDuration;
    return OpenStatus::Opened;
}

} // namespace open_recording_internal

RecordingCoding codingOfFormat(uint32_t formatCode) {
    switch (formatCode) {
    case FormatImaAdpcm:
        return {FormatImaAdpcm, kPcmBytesPerSecond, 3};
    case FormatGsm:
        return {FormatGsm, open_recording_internal::kGsmBytesPerSecond, 3};
    case FormatALaw:
        return {FormatALaw, open_recording_internal::kG711BytesPerSecond, 2};
    default:
        return {FormatMuLaw, open_recording_internal::kG711BytesPerSecond, 1};
    }
}

uint32_t playerDuration(uint64_t fileSize, uint32_t dataOffset, uint32_t formatCode) {
    if (fileSize < dataOffset)
        return 0;
    const RecordingCoding coding = codingOfFormat(formatCode);
    const uint64_t rate =
        coding.formatCode == FormatImaAdpcm ? kImaDurationBytesPerSecond : coding.bytesPerSecond;
    return uint32_t(std::min<uint64_t>((fileSize - dataOffset) / rate, UINT32_MAX));
}

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

RecordingFacts inspectRecording(const QString& programPath) {
    using namespace open_recording_internal;
    RecordingFacts facts;
    facts.container = isContainerPath(programPath);
    const QString native = platform::nativePath(programPath);
    QFile file(native);
    if (native.isEmpty() || !file.open(QIODevice::ReadOnly))
        return facts;
    const HeaderFields fields = readHeader(file, facts.container);
    facts.dataOffset = fields.dataOffset;
    facts.coding = fields.coding;
    facts.bookmark = fields.bookmark;
    facts.fileSize = file.size();
    facts.status = checkSize(facts.fileSize, facts.dataOffset, facts.coding.formatCode);
    if (facts.status == OpenStatus::Opened)
        facts.duration = playerDuration(uint64_t(facts.fileSize), facts.dataOffset, facts.coding.formatCode);
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

OpenStatus OpenRecording::open(const QString& programPath) {
    using namespace open_recording_internal;
    std::lock_guard lock(mutex_);
    ++generation_;
    file_.close();
    fileOpen_ = false;
    dropAudioLocked();
    path_ = programPath;
    container_ = isContainerPath(programPath);

    const QString native = platform::nativePath(programPath);
    file_.setFileName(native);
    if (native.isEmpty() || !file_.open(QIODevice::ReadOnly))
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

    const HeaderFields fields = readHeader(file_, container_);
    dataOffset_ = fields.dataOffset;
    coding_ = fields.coding;
    bookmark_ = fields.bookmark;
    if (container_ && !gsm_)
        gsm_ = std::make_unique<GsmCodec>();

    const qint64 size = file_.size();
    if (const OpenStatus status = checkSize(size, dataOffset_, coding_.formatCode);
        status != OpenStatus::Opened)
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
    duration_ = playerDuration(size_, dataOffset_, coding_.formatCode);
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
        if (coding_.formatCode != FormatImaAdpcm || !decoded_ || !image_)
            return false;
        generation = generation_;
        length = size_ - dataOffset_;
        decoded_->seek(0);
    }
    uint8_t chunk[kPredecodeChunk];
    int16_t pcm[kPredecodeChunk / kImaBlockBytes * kImaBlockSamples];
    for (uint32_t p = 0; p < length;) {
        const uint32_t c = std::min<uint32_t>(uint32_t(kPredecodeChunk), length - p);
        {
            std::lock_guard lock(mutex_);
            if (stopRequested(stop, generation))
                return false;
            // A last partial block is decoded from the cleared buffer: its missing bytes read as zero.
            std::memset(chunk, 0, sizeof chunk);
            std::memcpy(chunk, image_.get() + dataOffset_ + p, c);
            const size_t blocks = (c + kImaBlockBytes - 1) / kImaBlockBytes;
            for (size_t b = 0; b < blocks; ++b)
                decodeImaBlock(chunk + b * kImaBlockBytes, pcm + b * kImaBlockSamples);
            const qint64 bytes = qint64(blocks * kImaBlockSamples * sizeof(int16_t));
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
    bool ima = false;
    {
        std::lock_guard lock(mutex_);
        if (!image_)
            return false;
        generation = generation_;
        duration = duration_;
        ima = coding_.formatCode == FormatImaAdpcm;
    }
    if (ima && !predecode(stop))
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

OpenRecording::Read OpenRecording::readSecondLocked(uint32_t n, Purpose purpose) {
    using namespace open_recording_internal;
    if (n >= duration_)
        return {};
    std::memset(coded_, 0, sizeof coded_);
    std::memset(samples_, 0, sizeof samples_);
    currentSecond_ = n;
    Read r;
    switch (coding_.formatCode) {
    case FormatImaAdpcm: {
        if (!decoded_ || !decoded_->isOpen() || !decoded_->seek(qint64(n) * kPcmBytesPerSecond))
            return {};
        const qint64 got = decoded_->read(reinterpret_cast<char*>(samples_), kPcmBytesPerSecond);
        r.bytes = reinterpret_cast<const uint8_t*>(samples_);
        r.byteCount = got > 0 ? size_t(got) & ~size_t(1) : 0;
        r.sampleCount = r.byteCount / 2;
        return r;
    }
    case FormatGsm: {
        const size_t length = codedSecondLocked(n, kGsmBytesPerSecond);
        // A frame without the signature leaves its 160 places as cleared.
        for (size_t offset = 0; offset < length && gsm_; offset += GsmCodec::kFrameBytes)
            gsm_->decode(coded_ + offset,
                         samples_ + offset / GsmCodec::kFrameBytes * GsmCodec::kFrameSamples);
        r.sampleCount =
            (length + GsmCodec::kFrameBytes - 1) / GsmCodec::kFrameBytes * GsmCodec::kFrameSamples;
        r.bytes = reinterpret_cast<const uint8_t*>(samples_);
        r.byteCount = r.sampleCount * sizeof(int16_t);
        return r;
    }
    default: { // mu-law and A-law
        const size_t length = codedSecondLocked(n, kG711BytesPerSecond);
        if (purpose == Purpose::Playing) {
            // The engine is open in the coding's own mode and plays the coded bytes.
            r.bytes = coded_;
            r.byteCount = length;
            return r;
        }
        if (coding_.formatCode == FormatALaw)
            expandALaw(coded_, length, samples_);
        else
            expandMuLaw(coded_, length, samples_);
        r.bytes = reinterpret_cast<const uint8_t*>(samples_);
        r.sampleCount = length;
        r.byteCount = length * sizeof(int16_t);
        return r;
    }
    }
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
uint32_t OpenRecording::formatCode() const {
    std::lock_guard lock(mutex_);
    return coding_.formatCode;
}
uint32_t OpenRecording::bytesPerSecond() const {
    std::lock_guard lock(mutex_);
    return coding_.bytesPerSecond;
}
int OpenRecording::outputMode() const {
    std::lock_guard lock(mutex_);
    return coding_.outputMode;
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
