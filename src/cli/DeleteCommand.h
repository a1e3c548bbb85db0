#pragma once

#include "cli/Command.h"

namespace tessa::cli {

class DeleteCommand final : public Command {
public:
    const char* name() const override { return "delete"; }
    const char* synopsis() const override { return "LOG INDEX... [--model 0|1] [--drive LETTER] [--json]"; }
    const char* summary() const override {
        return "delete records of a card call log or a backup month log, by the index `log --json` shows,\n"
               "with their recordings as the window does (marked records are kept); prints deleted,\n"
               "kept (with the reason) or not found per index";
    }
    QStringList valueOptions() const override { return {QStringLiteral("model"), QStringLiteral("drive")}; }
    QStringList flags() const override { return {QStringLiteral("json")}; }
    int run(const Args& args, Io io) const override;
};

} // namespace tessa::cli
