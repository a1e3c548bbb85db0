#pragma once

#include "cli/Command.h"

namespace tessa::cli {

class DemoCardCommand final : public Command {
public:
    const char* name() const override { return "demo-card"; }
    const char* synopsis() const override { return "DIR [--model 0|1] [--records N] [--seed S]"; }
    const char* summary() const override {
        return "write a demonstration card into DIR (up to 100000 records, a few recordings reused under "
               "many names)";
    }
    QStringList valueOptions() const override {
        return {QStringLiteral("model"), QStringLiteral("records"), QStringLiteral("seed")};
    }
    QStringList flags() const override { return {}; }
    int run(const Args& args, Io io) const override;
};

} // namespace tessa::cli
