#pragma once

// Writes recordings in the two forms the recorder leaves on its card: a plain WAV recording (60-byte
// IMA ADPCM header, then 256-byte blocks) and a container recording (12-byte header, text area with the
// note line and the bookmark element, audio from byte 1440 in the coding its format code names).

#include "format/ContainerHeader.h"
#include "format/LittleEndian.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <QByteArray>
#include <QString>
#include <span>

namespace tessa {

// The 60-byte header of an IMA ADPCM WAV file as the recorder and the WAV export write it.
struct ImaWavHeader {
    char riff[4];
    LeU32 riffSize; // file size - 8
    char waveFmt[8];
    LeU32 formatSize;
    LeU16 formatTag;
    LeU16 channels;
    LeU32 sampleRate;
    LeU32 bytesPerSecond;
    LeU16 blockAlign;
    LeU16 bitsPerSample;
    LeU16 extraSize;
    LeU16 samplesPerBlock;
    char fact[4];
    LeU32 factSize;
    LeU32 sampleCount;
    char data[4];
    LeU32 dataSize;

    static constexpr size_t kSize = 60;
    static ImaWavHeader make(uint32_t dataSize, uint32_t sampleCount);
};
static_assert(sizeof(ImaWavHeader) == ImaWavHeader::kSize);
static_assert(offsetof(ImaWavHeader, riffSize) == 4);
static_assert(offsetof(ImaWavHeader, waveFmt) == 8);
static_assert(offsetof(ImaWavHeader, formatSize) == 16);
static_assert(offsetof(ImaWavHeader, formatTag) == 20);
static_assert(offsetof(ImaWavHeader, channels) == 22);
static_assert(offsetof(ImaWavHeader, sampleRate) == 24);
static_assert(offsetof(ImaWavHeader, bytesPerSecond) == 28);
static_assert(offsetof(ImaWavHeader, blockAlign) == 32);
static_assert(offsetof(ImaWavHeader, bitsPerSample) == 34);
static_assert(offsetof(ImaWavHeader, extraSize) == 36);
static_assert(offsetof(ImaWavHeader, samplesPerBlock) == 38);
static_assert(offsetof(ImaWavHeader, fact) == 40);
static_assert(offsetof(ImaWavHeader, factSize) == 44);
static_assert(offsetof(ImaWavHeader, sampleCount) == 48);
static_assert(offsetof(ImaWavHeader, data) == 52);
static_assert(offsetof(ImaWavHeader, dataSize) == 56);

// A bookmark segment in whole seconds; the reader ignores one whose start is not below its end.
struct BookmarkSpan {
    uint32_t startSecond = 0;
    uint32_t endSecond = 0;
};

struct ContainerContent {
    uint32_t formatCode = FormatImaAdpcm; // 17, 49, 7 or 6
    QString note;                         // empty: no note line
    std::optional<BookmarkSpan> bookmark;
};

// The samples coded for a container's format code: IMA ADPCM blocks (17), GSM frames (49), mu-law (7) or
// A-law (6) bytes. The last block or frame is padded with silence. Empty for any other code.
QByteArray encodeContainerAudio(uint32_t formatCode, std::span<const int16_t> samples);

// The bookmark element as the reader's grammar accepts it: the same opening tag stands at both ends.
QByteArray bookmarkElement(BookmarkSpan span);

// The 1024-byte text area: note line first, then the bookmark element, CR LF between them, zero bytes
// after. Fails when the note could not be found again by the reader (it is cut to 63 bytes and line
// breaks become blanks first) or when the bookmark is empty or beyond 99:59:59.
std::optional<QByteArray> containerTextArea(const QString& note, std::optional<BookmarkSpan> bookmark,
                                            QString* error);

QByteArray plainWavRecording(std::span<const int16_t> samples);
std::optional<QByteArray> containerRecording(std::span<const int16_t> samples,
                                             const ContainerContent& content, QString* error);

bool writePlainWavRecording(const QString& path, std::span<const int16_t> samples, QString* error);
bool writeContainerRecording(const QString& path, std::span<const int16_t> samples,
                             const ContainerContent& content, QString* error);

} // namespace tessa
