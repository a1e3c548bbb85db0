#pragma once

#include "cli/Command.h"

namespace tessa::cli {

class VerifyCommand final : public Command {
public:
    const char* name() const override { return "verify"; }
    const char* synopsis() const override { return "BACKUP_ROOT [--model 0|1] [--json]"; }
    const char* summary() const override {
        return "check every live record of every month log under BACKUP_ROOT (both model folders, or the "
               "one of\n--model) against its copy and the checksum manifest; lists missing, damaged and "
               "unlisted copies;\nexit 1 when a copy is missing or damaged";
    }
    QStringList valueOptions() const override { return {QStringLiteral("model")}; }
    QStringList flags() const override { return {QStringLiteral("json")}; }
    int run(const Args& args, Io io) const override;
};

} // namespace tessa::cli
