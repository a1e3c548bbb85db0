#pragma once

#include "cli/Command.h"

namespace tessa::cli {

class RecordingCommand final : public Command {
public:
    const char* name() const override { return "recording"; }
    const char* synopsis() const override { return "FILE [--json]"; }
    const char* summary() const override { return "show how a recording file is measured"; }
    QStringList valueOptions() const override { return {}; }
    QStringList flags() const override { return {QStringLiteral("json")}; }
    int run(const Args& args, Io io) const override;
};

} // namespace tessa::cli
