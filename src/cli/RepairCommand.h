#pragma once

#include "cli/Command.h"

namespace tessa::cli {

class RepairCommand final : public Command {
public:
    const char* name() const override { return "repair"; }
    const char* synopsis() const override { return "CARD_ROOT [--model 0|1] [--json]"; }
    const char* summary() const override {
        return "save CallLog.dat as CallLog_BK.dat, then append a record for every recording on the card\n"
               "that the log does not name; the model defaults to the card's own";
    }
    QStringList valueOptions() const override { return {QStringLiteral("model")}; }
    QStringList flags() const override { return {QStringLiteral("json")}; }
    int run(const Args& args, Io io) const override;
};

} // namespace tessa::cli
