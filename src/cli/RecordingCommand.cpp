#include "cli/RecordingCommand.h"

#include "audio/NoteLine.h"
#include "audio/OpenRecording.h"
#include "cli/Json.h"
#include "format/ContainerHeader.h"
#include "platform/NativePath.h"
#include "store/RecordingFiles.h"
#include "store/Remark.h"

#include <QFile>

namespace tessa::cli {

int RecordingCommand::run(const Args& args, Io io) const {
    if (args.positional().size() != 1)
        return usageError(io, QStringLiteral("recording needs exactly one FILE"));
    const QString path = args.positional().first();
    const QString native = platform::nativePath(path);
    QFile file(native);
    if (native.isEmpty() || !file.open(QIODevice::ReadOnly))
        return inputError(io, QStringLiteral("cannot open %1").arg(path));

    const bool container = isContainerPath(path);
    uint32_t dataOffset = kPlainWavDataOffset;
    uint32_t formatCode = codecOf(Coding::ImaAdpcm).formatCode; // a plain WAV recording's coding
    if (container) {
        ContainerHeader header{};
        if (file.read(reinterpret_cast<char*>(&header), sizeof header) != qint64(sizeof header))
            return inputError(io, QStringLiteral("%1 is too short for a container header").arg(path));
        dataOffset = header.dataOffset;
        formatCode = header.formatCode;
    }
    const uint32_t stored = storedDuration(path);
    const uint32_t shown = displayLength(path);
    const RecordingFacts facts = inspectRecording(path);
    std::optional<QString> note;
    if (container) {
        if (const auto bytes = readNoteLine(path))
            note = remarkText(reinterpret_cast<const uint8_t*>(bytes->constData()), size_t(bytes->size()));
    }
    const std::optional<BookmarkSpan>& bookmark = facts.bookmark; // only containers carry one

    if (args.has(QStringLiteral("json"))) {
        { // the writer closes the object when it goes
            JsonObjectWriter json(io.out);
            json.field("kind", container ? QStringLiteral("container") : QStringLiteral("wav"))
                .field("dataOffset", qint64(dataOffset))
                .field("formatCode", qint64(formatCode))
                .field("storedDuration", qint64(stored))
                .field("displayLength", qint64(shown));
            if (note)
                json.field("note", *note);
            else
                json.null("note");
            if (bookmark)
                json.raw("bookmark",
                         QStringLiteral("[%1,%2]").arg(bookmark->startSecond).arg(bookmark->endSecond));
            else
                json.null("bookmark");
            json.field("duration", qint64(facts.duration));
        }
        io.out << "\n";
    } else {
        io.out << "kind:            " << (container ? "container" : "wav") << "\n"
               << "data offset:     " << dataOffset << "\n"
               << "format code:     " << formatCode << "\n"
               << "stored duration: " << stored << " s\n"
               << "display length:  " << shown << " s\n"
               << "duration:        " << facts.duration << " s\n";
        if (bookmark)
            io.out << "bookmark:        " << bookmark->startSecond << " s to " << bookmark->endSecond
                   << " s\n";
        if (note)
            io.out << "note:            " << *note << "\n";
    }
    return ExitOk;
}

} // namespace tessa::cli
