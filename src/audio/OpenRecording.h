#pragma once

// The recording being played: the whole file read into memory once, its coding, its duration, and one
// second at a time of it turned into 16-bit samples (for the waveform) or into the bytes the playback
// engine plays. IMA ADPCM is decoded once, on the loading thread, into a private file of 16-bit PCM, so
// that any second of it is one seek and one read away.
//
// One thread at a time: the loading thread between open() and the end of loadAll(), the user-interface
// thread otherwise. A mutex keeps a late loading thread from reading state that open() is replacing.

#include "audio/CodecTable.h"
#include "audio/RecordingWriter.h"
#include "platform/FileRoots.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <QFile>
#include <QString>
#include <span>

class QTemporaryFile;

namespace tessa {

// Recordings this large or larger are refused: every size and offset of the format is 32-bit.
constexpr qint64 kMaxRecordingSize = qint64(1) << 31;

enum class OpenStatus {
    Opened,
    CannotOpen,    // missing, unreadable, or a path that must not be followed
    NoDecodedFile, // the private temporary file could not be made
    Empty,         // size 0, or below the data offset
    TooLarge,      // 2 GiB or more
    NoDuration,    // less than one second of audio
    NoMemory,
    ReadFailed, // the file gave fewer bytes than its size
};
const char* openStatusText(OpenStatus status);

// What a recording's first bytes and size say, without reading its audio.
struct RecordingFacts {
    OpenStatus status = OpenStatus::CannotOpen; // Opened when the player would play it
    bool container = false;
    uint32_t dataOffset = kPlainWavDataOffset;
    const Codec* codec = &codecOf(Coding::ImaAdpcm);
    qint64 fileSize = 0;
    uint32_t duration = 0; // 0 whenever status is not Opened
    std::optional<BookmarkSpan> bookmark;
};
// Recordings are read through the confined file layer: a path from a record stays inside the card or the
// backup root (the default); a path the user gave is Area::User.
RecordingFacts inspectRecording(const QString& programPath,
                                platform::Area area = platform::Area::CardOrBackup);

class OpenRecording {
public:
    static constexpr size_t kCodedBufferBytes = 8192;
    static constexpr size_t kSampleBufferSamples = 8192;

    OpenRecording();
    ~OpenRecording();
    OpenRecording(const OpenRecording&) = delete;
    OpenRecording& operator=(const OpenRecording&) = delete;

    // Opens a recording (program path) and reads it whole into memory. The decoded PCM file is made
    // anew, empty, whatever the coding, and so is the decoder. After a failure nothing can be read
    // (duration 0), but the coding, output mode and bookmark stay as far as the header was read.
    // Only a regular file inside the area opens (never a FIFO or device, never blocking).
    OpenStatus open(const QString& programPath, platform::Area area = platform::Area::CardOrBackup);

    // The loading thread's work: for IMA ADPCM the pre-decode, then every second for the waveform,
    // handed to `second` with (samples, n, duration). It stops, returning false, as soon as `stop` is
    // set or the recording is closed or opened again. Once through, it closes the recording file (the
    // image and the decoded PCM file stay) and returns true.
    using SecondSink = std::function<void(std::span<const int16_t> samples, uint32_t n, uint32_t duration)>;
    bool loadAll(const std::atomic<bool>& stop, const SecondSink& second);

    // Decodes the IMA ADPCM audio into the decoded PCM file, 4096 coded bytes at a time, checking
    // before each chunk. False when stopped or when the file could not be written.
    bool predecode(const std::atomic<bool>& stop);

    // Second n (from 0) as samples for the waveform, or as the bytes to write to the playback engine
    // (16-bit PCM in mode 3, coded bytes in the mu-law and A-law modes). Empty when n is not below the
    // duration. The result lives in one of two fixed buffers and is valid until the next read.
    // A decoder with history (GSM) runs on only from the second before; any other second, and the
    // start of the waveform pass, decode from a fresh state, so that a second always sounds the same
    // as in a decode of the file from where the reading started.
    std::span<const int16_t> readSecondSamples(uint32_t n);
    std::span<const uint8_t> readSecondForPlaying(uint32_t n);

    // Closes the recording file; what was read from it stays.
    void closeFile();
    bool isFileOpen() const { return fileOpen_; }

    QString path() const;
    bool isContainer() const;
    uint32_t fileSize() const;
    uint32_t dataOffset() const;
    const Codec& codec() const;
    uint32_t formatCode() const;
    uint32_t bytesPerSecond() const;
    int outputMode() const;
    uint32_t duration() const;
    std::optional<BookmarkSpan> bookmark() const;
    // The second read last.
    uint32_t currentSecond() const;
    QString decodedFilePath() const;

private:
    enum class Purpose { Waveform, Playing };
    struct Read {
        const uint8_t* bytes = nullptr;
        size_t byteCount = 0;
        size_t sampleCount = 0;
    };
    Read readSecondLocked(uint32_t n, Purpose purpose);
    size_t codedSecondLocked(uint32_t n, uint32_t bytesPerSecond);
    size_t decodeLocked(uint32_t n, size_t length);
    void dropAudioLocked();
    bool stopRequested(const std::atomic<bool>& stop, uint64_t generation) const;

    mutable std::mutex mutex_;
    std::atomic<bool> fileOpen_{false};
    std::atomic<uint64_t> generation_{0};
    QFile file_;
    QString path_;
    bool container_ = false;
    uint32_t size_ = 0;
    uint32_t dataOffset_ = kPlainWavDataOffset;
    const Codec* codec_ = &codecOf(Coding::ImaAdpcm);
    uint32_t duration_ = 0;
    uint32_t currentSecond_ = 0;
    // The second the decoder's history leads to; any other second starts it afresh.
    uint32_t nextDecodedSecond_ = 0;
    std::optional<BookmarkSpan> bookmark_;
    std::unique_ptr<uint8_t[]> image_;
    std::unique_ptr<SampleDecoder> decoder_;
    std::unique_ptr<QTemporaryFile> decoded_;

    alignas(int16_t) uint8_t coded_[kCodedBufferBytes];
    int16_t samples_[kSampleBufferSamples];
};

} // namespace tessa
