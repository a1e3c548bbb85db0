#pragma once

#include "cli/Command.h"

namespace tessa::cli {

class DrivesCommand final : public Command {
public:
    const char* name() const override { return "drives"; }
    const char* synopsis() const override { return "[--json]"; }
    const char* summary() const override {
        return "list the drives and tell which one holds a recorder card";
    }
    QStringList valueOptions() const override { return {}; }
    QStringList flags() const override { return {QStringLiteral("json")}; }
    int run(const Args& args, Io io) const override;
};

} // namespace tessa::cli
