#pragma once

#include "cli/Command.h"

namespace tessa::cli {

class MarkCommand final : public Command {
public:
    const char* name() const override { return "mark"; }
    const char* synopsis() const override {
        return "LOG INDEX... [--off] [--model 0|1] [--drive LETTER] [--json]";
    }
    const char* summary() const override {
        return "mark (or with --off unmark) records of a card call log or a backup month log, by the index\n"
               "`log --json` shows; prints marked, unmarked, kept (with the reason) or not found per index";
    }
    QStringList valueOptions() const override { return {QStringLiteral("model"), QStringLiteral("drive")}; }
    QStringList flags() const override { return {QStringLiteral("off"), QStringLiteral("json")}; }
    int run(const Args& args, Io io) const override;
};

} // namespace tessa::cli
