#include "cli/RecordingCommand.h"

#include "audio/NoteLine.h"
#include "audio/OpenRecording.h"
#include "cli/Json.h"
#include "cli/UserPaths.h"
#include "format/ContainerHeader.h"
#include "platform/ConfinedFiles.h"
#include "store/RecordingFiles.h"
#include "store/Remark.h"

#include <cstring>

namespace tessa::cli {

int RecordingCommand::run(const Args& args, Io io) const {
    if (args.positional().size() != 1)
        return usageError(io, QStringLiteral("recording needs exactly one FILE"));
    const QString typed = args.positional().first();
    if (const int refused = checkReadableFile(io, typed); refused != ExitOk)
        return refused;
    // The user's file, whatever folder it is in; read by its real path.
    const QString path = userNativePath(typed);
    constexpr platform::Area user = platform::Area::User;

    const bool container = isContainerPath(path);
    uint32_t dataOffset = kPlainWavDataOffset;
    uint32_t formatCode = codecOf(Coding::ImaAdpcm).formatCode; // a plain WAV recording's coding
    if (container) {
        ContainerHeader header{};
        QByteArray head;
        if (platform::readFilePart(path, user, 0, qint64(sizeof header), &head) !=
                platform::FileError::None ||
            head.size() != qsizetype(sizeof header))
            return inputError(io, QStringLiteral("%1 is too short for a container header").arg(typed));
        std::memcpy(&header, head.constData(), sizeof header);
        dataOffset = header.dataOffset;
        formatCode = header.formatCode;
    }
    const uint32_t stored = storedDuration(path, user);
    const uint32_t shown = displayLength(path, user);
    const RecordingFacts facts = inspectRecording(path, user);
    std::optional<QString> note;
    if (container) {
        if (const auto bytes = readNoteLine(path, user))
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
