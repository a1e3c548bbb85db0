#include "cli/Cli.h"

namespace tessa::cli {
namespace {

const char* const kUsage =
    "usage: tessa-cli COMMAND [ARGS]\n"
    "\n"
    "commands:\n"
    "  log FILE [--model 0|1] [--drive LETTER] [--contacts PATH] [--json]\n"
    "      list the records of a card call log (CallLog.dat) or a backup month log (...CallLogBK.dat);\n"
    "      --contacts names callers from a vCard file or a folder of them\n"
    "  recording FILE [--json]\n"
    "      show how a recording file is measured\n"
    "  decode FILE OUT.wav\n"
    "      write a recording as it is heard, as 16-bit PCM WAV (mono, 8000 Hz)\n"
    "  drives [--json]\n"
    "      list the drives and tell which one holds a recorder card\n"
    "  demo-card DIR [--model 0|1] [--records N] [--seed S]\n"
    "      write a demonstration card into DIR\n";

} // namespace

bool Args::parse(const QStringList& args, const QStringList& valueOptions, const QStringList& flags,
                 QString* error) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a.startsWith(QLatin1String("--"))) {
            const QString name = a.mid(2);
            if (valueOptions.contains(name)) {
                if (i + 1 >= args.size()) {
                    *error = QStringLiteral("option --%1 needs a value").arg(name);
                    return false;
                }
                values_.insert(name, args[++i]);
            } else if (flags.contains(name)) {
                flags_.append(name);
            } else {
                *error = QStringLiteral("unknown option %1").arg(a);
                return false;
            }
        } else {
            positional_.append(a);
        }
    }
    return true;
}

int usageError(Io io, const QString& message) {
    io.err << "tessa-cli: " << message << "\n" << kUsage;
    return ExitUsage;
}

int inputError(Io io, const QString& message) {
    io.err << "tessa-cli: " << message << "\n";
    return ExitBadInput;
}

int run(const QStringList& arguments, Io io) {
    if (arguments.isEmpty())
        return usageError(io, QStringLiteral("no command given"));
    const QString command = arguments.first();
    const QStringList rest = arguments.mid(1);
    if (command == QLatin1String("log"))
        return runLog(rest, io);
    if (command == QLatin1String("recording"))
        return runRecording(rest, io);
    if (command == QLatin1String("drives"))
        return runDrives(rest, io);
    if (command == QLatin1String("decode"))
        return runDecode(rest, io);
    if (command == QLatin1String("demo-card"))
        return runDemoCard(rest, io);
    if (command == QLatin1String("help") || command == QLatin1String("--help")) {
        io.out << kUsage;
        return ExitOk;
    }
    return usageError(io, QStringLiteral("unknown command '%1'").arg(command));
}

} // namespace tessa::cli
