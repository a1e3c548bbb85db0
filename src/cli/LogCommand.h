#pragma once

#include "cli/Command.h"

namespace tessa::cli {

class LogCommand final : public Command {
public:
    const char* name() const override { return "log"; }
    const char* synopsis() const override {
        return "FILE [--model 0|1] [--drive LETTER] [--contacts PATH] [--json] [--xlsx OUT]";
    }
    const char* summary() const override {
        return "list the records of a card call log (CallLog.dat) or a backup month log "
               "(...CallLogBK.dat);\n--contacts names callers from a vCard file or a folder of them;\n"
               "--xlsx also writes the records as a spreadsheet with the columns of the record list";
    }
    QStringList valueOptions() const override {
        return {QStringLiteral("model"), QStringLiteral("drive"), QStringLiteral("contacts"),
                QStringLiteral("xlsx")};
    }
    QStringList flags() const override { return {QStringLiteral("json")}; }
    int run(const Args& args, Io io) const override;
};

} // namespace tessa::cli
