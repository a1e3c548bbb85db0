#include "cli/Cli.h"

#include "cli/Command.h"

namespace tessa::cli {
QString usageText() {
    QString text = QStringLiteral("usage: tessa-cli COMMAND [ARGS]\n\ncommands:\n");
    for (const auto& command : commandList()) {
        text += QStringLiteral("  %1 %2\n")
                    .arg(QLatin1String(command->name()), QLatin1String(command->synopsis()));
        for (const QString& line : QString::fromUtf8(command->summary()).split(QLatin1Char('\n')))
            text += QStringLiteral("      ") + line + QLatin1Char('\n');
    }
    text += QStringLiteral("  help\n      show this text\n");
    return text;
}

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
    io.err << "tessa-cli: " << message << "\n" << usageText();
    return ExitUsage;
}

int inputError(Io io, const QString& message) {
    io.err << "tessa-cli: " << message << "\n";
    return ExitBadInput;
}

int run(const QStringList& arguments, Io io) {
    if (arguments.isEmpty())
        return usageError(io, QStringLiteral("no command given"));
    const QString name = arguments.first();
    if (name == QLatin1String("help") || name == QLatin1String("--help")) {
        io.out << usageText();
        return ExitOk;
    }
    for (const auto& command : commandList()) {
        if (name != QLatin1String(command->name()))
            continue;
        Args args;
        QString error;
        if (!args.parse(arguments.mid(1), command->valueOptions(), command->flags(), &error))
            return usageError(io, error);
        return command->run(args, io);
    }
    return usageError(io, QStringLiteral("unknown command '%1'").arg(name));
}

} // namespace tessa::cli
