#include "cli/ConvertCommand.h"

#include "cli/Json.h"
#include "export/RecordingConversion.h"
#include "platform/NativePath.h"

#include <QFileInfo>

namespace tessa::cli {
namespace {

const char* resultWord(ConversionResult result) {
    switch (result) {
    case ConversionResult::Written:
        return "written";
    case ConversionResult::OtherCoding:
        return "skipped";
    default:
        return "failed";
    }
}

// The reasons in the words of the window's texts 210-213.
const char* reasonPhrase(ConversionResult result) {
    switch (result) {
    case ConversionResult::SourceNotOpened:
        return "the recording cannot be opened";
    case ConversionResult::TooShort:
        return "the recording is too short";
    case ConversionResult::NoMemory:
        return "not enough memory";
    case ConversionResult::OutputNotWritten:
        return "the WAV file could not be written";
    case ConversionResult::OtherCoding:
        return "a coding that is not converted";
    case ConversionResult::Written:
        break;
    }
    return "";
}

} // namespace

int ConvertCommand::run(const Args& args, Io io) const {
    if (args.positional().isEmpty())
        return usageError(io, QStringLiteral("convert needs at least one FILE"));
    const QString to = args.value(QStringLiteral("to"));
    if (to.isEmpty())
        return usageError(io, QStringLiteral("convert needs --to DIR"));
    const QString folder = platform::nativePath(to);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return inputError(io, QStringLiteral("cannot write into %1: no such folder").arg(to));

    const bool json = args.has(QStringLiteral("json"));
    bool allWritten = true;
    bool first = true;
    if (json)
        io.out << "[";
    for (const QString& file : args.positional()) {
        const QString output = wavOutputPath(file, folder);
        const QString source = platform::nativePath(file);
        // Files named on the command line are the user's own: no card or backup root applies to them.
        const ConversionResult result = source.isEmpty()
                                            ? ConversionResult::SourceNotOpened
                                            : convertRecording(source, platform::Area::User, output);
        allWritten = allWritten && result == ConversionResult::Written;
        if (json) {
            io.out << (first ? "\n" : ",\n");
            JsonObjectWriter object(io.out);
            object.field("source", file).field("result", QString::fromLatin1(resultWord(result)));
            if (result == ConversionResult::Written)
                object.field("output", output);
            else
                object.field("reason", QString::fromLatin1(reasonPhrase(result)));
            if (const int reason = conversionReasonText(result))
                object.field("reasonNumber", qint64(reason));
        } else if (result == ConversionResult::Written) {
            io.out << file << " -> " << output << "\n";
        } else {
            io.out << file << ": " << resultWord(result) << " (" << reasonPhrase(result) << ")\n";
        }
        first = false;
    }
    if (json)
        io.out << "\n]\n";
    return allWritten ? ExitOk : ExitBadInput;
}

} // namespace tessa::cli
