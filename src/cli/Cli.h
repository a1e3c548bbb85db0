#pragma once

// tessa-cli: the card store from the command line. Exit codes: 0 success, 1 bad or unreadable input,
// 2 wrong usage. With --json a command prints one JSON document on standard output.

#include <QHash>
#include <QString>
#include <QStringList>
#include <QTextStream>

namespace tessa::cli {

enum ExitCode { ExitOk = 0, ExitBadInput = 1, ExitUsage = 2 };

struct Io {
    QTextStream& out;
    QTextStream& err;
};

// Options and positional arguments of one command; flags are "--name" or "--name value".
class Args {
public:
    // valueOptions lists the options that take a value. False (with a message) on an unknown option.
    bool parse(const QStringList& args, const QStringList& valueOptions, const QStringList& flags,
               QString* error);
    bool has(const QString& name) const { return flags_.contains(name) || values_.contains(name); }
    QString value(const QString& name, const QString& fallback = {}) const {
        return values_.value(name, fallback);
    }
    const QStringList& positional() const { return positional_; }

private:
    QStringList flags_;
    QHash<QString, QString> values_;
    QStringList positional_;
};

// Runs the command that the first argument names.
int run(const QStringList& arguments, Io io);

// Prints a usage error and returns ExitUsage.
int usageError(Io io, const QString& message);
// Prints an input error and returns ExitBadInput.
int inputError(Io io, const QString& message);

} // namespace tessa::cli
