#pragma once

// Writes recordings in the two forms the recorder leaves on its card: a plain WAV recording (60-byte
// IMA ADPCM header, then 256-byte blocks) and a container recording (12-byte header, text area with the
// note line and the bookmark element, audio from byte 1440 in the coding its format code names).

#include "format/ContainerHeader.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <QByteArray>
#include <QString>
#include <span>

namespace tessa {

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
// A-law (6) bytes, by the codec table's encoders. The last block or frame is padded with silence. Empty
// for any other code.
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
