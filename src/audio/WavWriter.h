#pragma once

// The program's one WAV writer: a header in the form of its coding (from the codec table's values and
// the byte images of format/WavHeader.h), whole files built in memory, and files written piece by piece
// whose sizes are fixed up at the end.

#include "audio/CodecTable.h"
#include "format/WavHeader.h"

#include <cstring>
#include <optional>
#include <QByteArray>
#include <QFile>
#include <QString>

namespace tessa {

// The header of a WAV file in the coding's form, declaring `dataSize` bytes of audio and (in the forms
// with a fact chunk) `sampleCount` samples; empty for a coding without a WAV form.
QByteArray wavHeader(Coding coding, uint32_t dataSize, uint32_t sampleCount);
// Header and audio; the header declares every byte of it.
QByteArray wavFile(Coding coding, const QByteArray& audio, uint32_t sampleCount);

// Writes a WAV file as its audio comes: a header with sizes 0 first, the audio appended, then finish()
// writes the header again with the sizes. A file that is not finished declares no audio.
class WavFileWriter {
public:
    explicit WavFileWriter(Coding coding);

    // Creates or truncates the file and writes the provisional header.
    bool open(const QString& path);
    bool append(const void* data, size_t bytes);
    // Declares the audio appended (or `declaredDataSize` of it, when a form counts only whole parts)
    // and flushes. Fails when the file grew beyond what a WAV header can state.
    bool finish(uint32_t sampleCount, std::optional<uint32_t> declaredDataSize = std::nullopt);

    uint64_t dataBytes() const { return dataBytes_; }
    QString errorString() const { return file_.errorString(); }

private:
    const Codec& codec_;
    QFile file_;
    uint64_t dataBytes_ = 0;
};

// The byte image of one header form filled in for a coding; the codec table names the form of each
// coding by this function.
template <typename Header>
QByteArray wavHeaderOf(const Codec& codec, uint32_t dataSize, [[maybe_unused]] uint32_t sampleCount) {
    Header h{};
    std::memcpy(h.riff, "RIFF", 4);
    h.riffSize = uint32_t(Header::kSize - 8 + dataSize);
    std::memcpy(h.wave, "WAVE", 4);
    std::memcpy(h.fmt, "fmt ", 4);
    h.formatSize = Header::kFormatSize;
    h.formatTag = codec.waveTag;
    h.channels = 1;
    h.sampleRate = kSampleRate;
    h.bytesPerSecond = codec.waveBytesPerSecond;
    h.blockAlign = codec.blockBytes;
    h.bitsPerSample = codec.bitsPerSample;
    if constexpr (requires { h.samplesPerBlock; }) {
        h.extraSize = 2;
        h.samplesPerBlock = codec.blockSamples;
    } else if constexpr (requires { h.extraSize; }) {
        h.extraSize = 0;
    }
    if constexpr (requires { h.fact; }) {
        std::memcpy(h.fact, "fact", 4);
        h.factSize = 4;
        h.sampleCount = sampleCount;
    }
    std::memcpy(h.data, "data", 4);
    h.dataSize = dataSize;
    return QByteArray(reinterpret_cast<const char*>(&h), qsizetype(sizeof h));
}

} // namespace tessa
