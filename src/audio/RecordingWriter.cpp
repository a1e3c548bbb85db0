#include "audio/RecordingWriter.h"

#include "audio/G711.h"
#include "audio/GsmCodec.h"
#include "audio/ImaAdpcm.h"
#include "platform/CodePage.h"

#include <algorithm>
#include <cstring>
#include <QFile>

namespace tessa {

// Named rather than anonymous: the library is built in unity batches, where anonymous namespaces of
// different files merge.
namespace writer_internal {

constexpr size_t kMaxNoteBytes = 63; // the reader tests only lines shorter than 64 characters

void setError(QString* error, const QString& text) {
    if (error)
        *error = text;
}

QByteArray encodeGsm(std::span<const int16_t> samples) {
    const size_t frames = (samples.size() + GsmCodec::kFrameSamples - 1) / GsmCodec::kFrameSamples;
    QByteArray out(qsizetype(frames * GsmCodec::kFrameBytes), '\0');
    GsmCodec codec;
    if (!codec.isValid())
        return {};
    int16_t frame[GsmCodec::kFrameSamples];
    for (size_t f = 0; f < frames; ++f) {
        const size_t first = f * GsmCodec::kFrameSamples;
        const size_t count = std::min(GsmCodec::kFrameSamples, samples.size() - first);
        std::fill(std::copy_n(samples.data() + first, count, frame), frame + GsmCodec::kFrameSamples,
                  int16_t(0));
        codec.encode(frame, reinterpret_cast<uint8_t*>(out.data()) + f * GsmCodec::kFrameBytes);
    }
    return out;
}

template <uint8_t (*compress)(int16_t)>
QByteArray encodeG711(std::span<const int16_t> samples) {
    QByteArray out(qsizetype(samples.size()), '\0');
    for (size_t i = 0; i < samples.size(); ++i)
        out[qsizetype(i)] = char(compress(samples[i]));
    return out;
}

// Why a line would not be taken as the note, or empty when it would.
QString noteProblem(const QByteArray& line) {
    if (line.isEmpty())
        return QStringLiteral("the note is empty");
    if (line == QByteArray(20, ' '))
        return QStringLiteral("a note of twenty blanks reads as no note");
    if (line.size() >= 22 && line.startsWith("Bookmark at:  "))
        return QStringLiteral("a note beginning \"Bookmark at:\" reads as no note");
    for (const char* tag : {"<bookmark>", "<bstart>", "</bstart>", "<bend>", "</bend>"}) {
        if (line.contains(tag))
            return QStringLiteral("the note holds a bookmark tag");
    }
    return {};
}

QByteArray noteBytes(const QString& note) {
    QString text = note;
    for (QChar& ch : text) {
        if (ch == u'\r' || ch == u'\n' || ch == QChar(0))
            ch = u' ';
    }
    text.truncate(qsizetype(kMaxNoteBytes)); // no character takes less than a byte
    const auto& codePage = platform::systemCodePage();
    QByteArray bytes = codePage.encode(text);
    // Cut whole characters so that a double-byte code page keeps no half character.
    while (bytes.size() > qsizetype(kMaxNoteBytes) && !text.isEmpty()) {
        text.chop(1);
        bytes = codePage.encode(text);
    }
    return bytes;
}

QByteArray twoDigits(uint32_t value) {
    return QByteArray::number(value).rightJustified(2, '0');
}

QByteArray clockText(uint32_t seconds) {
    return twoDigits(seconds / 3600) + ':' + twoDigits(seconds % 3600 / 60) + ':' + twoDigits(seconds % 60);
}

bool writeFile(const QString& path, const QByteArray& bytes, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        setError(error, QStringLiteral("cannot create %1: %2").arg(path, file.errorString()));
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        setError(error, QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}

} // namespace writer_internal

ImaWavHeader ImaWavHeader::make(uint32_t dataSize, uint32_t sampleCount) {
    ImaWavHeader h{};
    std::memcpy(h.riff, "RIFF", 4);
    h.riffSize = uint32_t(kSize - 8 + dataSize);
    std::memcpy(h.waveFmt, "WAVEfmt ", 8);
    h.formatSize = 20;
    h.formatTag = FormatImaAdpcm;
    h.channels = 1;
    h.sampleRate = 8000;
    h.bytesPerSecond = 4055;
    h.blockAlign = uint16_t(kImaBlockBytes);
    h.bitsPerSample = 4;
    h.extraSize = 2;
    h.samplesPerBlock = uint16_t(kImaBlockSamples);
    std::memcpy(h.fact, "fact", 4);
    h.factSize = 4;
    h.sampleCount = sampleCount;
    std::memcpy(h.data, "data", 4);
    h.dataSize = dataSize;
    return h;
}

QByteArray encodeContainerAudio(uint32_t formatCode, std::span<const int16_t> samples) {
    switch (formatCode) {
    case FormatImaAdpcm:
        return encodeImaAdpcm(samples);
    case FormatGsm:
        return writer_internal::encodeGsm(samples);
    case FormatMuLaw:
        return writer_internal::encodeG711<compressMuLaw>(samples);
    case FormatALaw:
        return writer_internal::encodeG711<compressALaw>(samples);
    default:
        return {};
    }
}

QByteArray bookmarkElement(BookmarkSpan span) {
    return "<bookmark><bstart>" + writer_internal::clockText(span.startSecond) + "</bstart><bend>" +
           writer_internal::clockText(span.endSecond) + "</bend><bookmark>";
}

std::optional<QByteArray> containerTextArea(const QString& note, std::optional<BookmarkSpan> bookmark,
                                            QString* error) {
    QByteArray text;
    if (!note.isEmpty()) {
        text = writer_internal::noteBytes(note);
        if (const QString problem = writer_internal::noteProblem(text); !problem.isEmpty()) {
            writer_internal::setError(error, problem);
            return std::nullopt;
        }
    }
    if (bookmark) {
        constexpr uint32_t kLastClockSecond = 99 * 3600 + 59 * 60 + 59;
        if (bookmark->startSecond >= bookmark->endSecond || bookmark->endSecond > kLastClockSecond) {
            writer_internal::setError(
                error, QStringLiteral("the bookmark must start before it ends, within 99:59:59"));
            return std::nullopt;
        }
        if (!text.isEmpty())
            text += "\r\n";
        text += bookmarkElement(*bookmark);
    }
    text.append(QByteArray(qsizetype(ContainerHeader::kTextAreaSize) - text.size(), '\0'));
    return text;
}

QByteArray plainWavRecording(std::span<const int16_t> samples) {
    const QByteArray audio = encodeImaAdpcm(samples);
    const ImaWavHeader header = ImaWavHeader::make(uint32_t(audio.size()), uint32_t(samples.size()));
    QByteArray out(reinterpret_cast<const char*>(&header), sizeof header);
    out += audio;
    return out;
}

std::optional<QByteArray> containerRecording(std::span<const int16_t> samples,
                                             const ContainerContent& content, QString* error) {
    const uint32_t code = content.formatCode;
    if (code != FormatImaAdpcm && code != FormatGsm && code != FormatMuLaw && code != FormatALaw) {
        writer_internal::setError(error, QStringLiteral("format code %1 cannot be written").arg(code));
        return std::nullopt;
    }
    const QByteArray audio = encodeContainerAudio(code, samples);
    if (audio.isEmpty() && !samples.empty()) {
        writer_internal::setError(error, QStringLiteral("the audio could not be coded"));
        return std::nullopt;
    }
    const auto textArea = containerTextArea(content.note, content.bookmark, error);
    if (!textArea)
        return std::nullopt;

    ContainerHeader header{};
    header.dataOffset = uint32_t(ContainerHeader::kStandardDataOffset);
    header.formatCode = content.formatCode;
    QByteArray out(qsizetype(ContainerHeader::kStandardDataOffset), '\0');
    std::memcpy(out.data(), &header, sizeof header);
    out.replace(qsizetype(ContainerHeader::kTextAreaOffset), textArea->size(), *textArea);
    out += audio;
    return out;
}

bool writePlainWavRecording(const QString& path, std::span<const int16_t> samples, QString* error) {
    return writer_internal::writeFile(path, plainWavRecording(samples), error);
}

bool writeContainerRecording(const QString& path, std::span<const int16_t> samples,
                             const ContainerContent& content, QString* error) {
    const auto bytes = containerRecording(samples, content, error);
    return bytes && writer_internal::writeFile(path, *bytes, error);
}

} // namespace tessa
