#pragma once

#include "cli/Command.h"

namespace tessa::cli {

class ConvertCommand final : public Command {
public:
    const char* name() const override { return "convert"; }
    const char* synopsis() const override { return "FILE... --to DIR [--json]"; }
    const char* summary() const override {
        return "convert container recordings (.xtr) to standard WAV files in DIR, as the WAV export does;\n"
               "one result per file, exit 1 when any file is not converted";
    }
    QStringList valueOptions() const override { return {QStringLiteral("to")}; }
    QStringList flags() const override { return {QStringLiteral("json")}; }
    int run(const Args& args, Io io) const override;
};

} // namespace tessa::cli
