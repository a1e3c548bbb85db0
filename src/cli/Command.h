#pragma once

// One command of tessa-cli. The usage text and the dispatch are made from the list of commands
// (commandList()), so a new command is one class and one line in CommandList.cpp.

#include "cli/Cli.h"

#include <memory>
#include <QStringList>
#include <vector>

namespace tessa::cli {

class Command {
public:
    virtual ~Command() = default;
    // The word that selects the command.
    virtual const char* name() const = 0;
    // The arguments after the name, as the usage text shows them.
    virtual const char* synopsis() const = 0;
    // What the command does; "\n" starts another line of the usage text.
    virtual const char* summary() const = 0;
    // Options that take a value ("--model 1") and options that stand alone ("--json"), without "--".
    virtual QStringList valueOptions() const { return {}; }
    virtual QStringList flags() const { return {}; }
    // Runs with the options already parsed; returns the exit code.
    virtual int run(const Args& args, Io io) const = 0;
};

// Every command, in the order the usage text lists them.
const std::vector<std::unique_ptr<Command>>& commandList();

// "usage: tessa-cli COMMAND [ARGS]" and every command's synopsis and summary.
QString usageText();

} // namespace tessa::cli
