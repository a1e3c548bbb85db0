#pragma once

#include "cli/Command.h"

namespace tessa::cli {

class WatchCommand final : public Command {
public:
    const char* name() const override { return "watch"; }
    const char* synopsis() const override { return "--to BACKUP_ROOT [--move] [--json]"; }
    const char* summary() const override {
        return "watch the drives every 2 s as the window does (TESSA_DRIVES included) and back up each card "
               "once\nper insertion into BACKUP_ROOT; reports each pass (--json: one object a line); ends "
               "on SIGINT or\nSIGTERM between records";
    }
    QStringList valueOptions() const override { return {QStringLiteral("to")}; }
    QStringList flags() const override { return {QStringLiteral("move"), QStringLiteral("json")}; }
    int run(const Args& args, Io io) const override;
};

} // namespace tessa::cli
