#include "cli/Cli.h"
#include "platform/NativeName.h"

#include <cstdio>
#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    // Paths typed by the user reach the commands with the bytes they gave, whatever their encoding.
    const int code = tessa::cli::run(tessa::platform::losslessArguments(argc, argv).mid(1), {out, err});
    out.flush();
    err.flush();
    return code;
}
