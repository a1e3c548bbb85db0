#pragma once

#include "cli/Command.h"

namespace tessa::cli {

class ImportCommand final : public Command {
public:
    const char* name() const override { return "import"; }
    const char* synopsis() const override { return "DIR [--json]"; }
    const char* summary() const override {
        return "list the records built from the recordings found below a folder, in the order they are "
               "found";
    }
    QStringList flags() const override { return {QStringLiteral("json")}; }
    int run(const Args& args, Io io) const override;
};

} // namespace tessa::cli
