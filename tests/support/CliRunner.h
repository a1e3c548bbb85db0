#pragma once

// Runs tessa-cli in-process and keeps what it printed.

#include "cli/Cli.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace tessa::test {

struct CliResult {
    int code;
    QString out;
    QString err;
};

inline CliResult runCli(const QStringList& args) {
    QString out, err;
    QTextStream o(&out), e(&err);
    const int code = cli::run(args, {o, e});
    o.flush();
    e.flush();
    return {code, out, err};
}

} // namespace tessa::test
