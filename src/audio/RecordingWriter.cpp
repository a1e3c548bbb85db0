#include "audio/RecordingWriter.h"

#include "audio/CodecTable.h"
#include "audio/WavWriter.h"
#include "platform/CodePage.h"
#include "platform/ConfinedFiles.h"

#include <cstring>

namespace tessa {

// Named rather than anonymous: the library is built in unity batches, where anonymous namespaces of
// different files merge.
namespace writer_internal {

constexpr size_t kMaxNoteBytes = 63; // the reader tests only lines shorter than 64 characters

void setError(QString* error, const QString& text) {
    if (error)
        *error = text;
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

// Written through the file layer as a file the caller names: whole or not at all, never into a FIFO.
bool writeFile(const QString& path, const QByteArray& bytes, QString* error) {
    const platform::FileError result =
        platform::writeWholeFile(path, platform::Area::User, bytes, platform::Replace::Existing);
    if (result == platform::FileError::None)
        return true;
    setError(
        error,
        QStringLiteral("cannot write %1: %2").arg(path, QString::fromUtf8(platform::fileErrorText(result))));
    return false;
}

} // namespace writer_internal

QByteArray encodeContainerAudio(uint32_t formatCode, std::span<const int16_t> samples) {
    const Codec* codec = findFormatCode(formatCode);
    return codec ? codec->encode(samples) : QByteArray();
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
    const Codec& ima = codecOf(Coding::ImaAdpcm);
    return wavFile(ima.coding, ima.encode(samples), uint32_t(samples.size()));
}

std::optional<QByteArray> containerRecording(std::span<const int16_t> samples,
                                             const ContainerContent& content, QString* error) {
    const Codec* codec = findFormatCode(content.formatCode);
    if (!codec) {
        writer_internal::setError(error,
                                  QStringLiteral("format code %1 cannot be written").arg(content.formatCode));
        return std::nullopt;
    }
    const QByteArray audio = codec->encode(samples);
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
