#include "cli/DemoCardCommand.h"

#include "demo/DemoCard.h"

namespace tessa::cli {

int DemoCardCommand::run(const Args& args, Io io) const {
    QString error;
    if (args.positional().size() != 1)
        return usageError(io, QStringLiteral("demo-card needs exactly one DIR"));

    DemoCardOptions options;
    const QString model = args.value(QStringLiteral("model"), QStringLiteral("0"));
    if (model != QLatin1String("0") && model != QLatin1String("1"))
        return usageError(io, QStringLiteral("--model must be 0 or 1"));
    options.model = model.toInt();
    bool ok = true;
    if (args.has(QStringLiteral("records"))) {
        options.records = args.value(QStringLiteral("records")).toInt(&ok);
        if (!ok || options.records < 1 || options.records > kMaxDemoRecords)
            return usageError(io,
                              QStringLiteral("--records must be a number from 1 to %1").arg(kMaxDemoRecords));
    }
    if (args.has(QStringLiteral("seed"))) {
        options.seed = args.value(QStringLiteral("seed")).toUInt(&ok);
        if (!ok)
            return usageError(io, QStringLiteral("--seed must be a non-negative number"));
    }
    const QString dir = args.positional().first();
    if (!writeDemoCard(dir, options, &error))
        return inputError(io, QStringLiteral("cannot write the demo card into %1: %2").arg(dir, error));
    io.err << "demo card (" << (options.model == 1 ? "VX5" : "VX7") << ", " << options.records
           << " records) written to " << dir << "\n";
    return ExitOk;
}

} // namespace tessa::cli
