#pragma once

#include "cli/Command.h"

namespace tessa::cli {

class LogCommand final : public Command {
public:
    const char* name() const override { return "log"; }
    const char* synopsis() const override {
        return "FILE [--model 0|1] [--drive LETTER] [--contacts PATH] [--json]";
    }
    const char* summary() const override {
        return "list the records of a card call log (CallLog.dat) or a backup month log "
               "(...CallLogBK.dat);\n--contacts names callers from a vCard file or a folder of them";
    }
    QStringList valueOptions() const override {
        return {QStringLiteral("model"), QStringLiteral("drive"), QStringLiteral("contacts")};
    }
    QStringList flags() const override { return {QStringLiteral("json")}; }
    int run(const Args& args, Io io) const override;
};

} // namespace tessa::cli
