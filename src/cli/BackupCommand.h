#pragma once

#include "cli/Command.h"

namespace tessa::cli {

class BackupCommand final : public Command {
public:
    const char* name() const override { return "backup"; }
    const char* synopsis() const override {
        return "CARD_ROOT --to BACKUP_ROOT [--model 0|1] [--move] [--json]";
    }
    const char* summary() const override {
        return "back up every recording of a card (CARD_ROOT acts as the card drive) into the backup "
               "tree under\nBACKUP_ROOT; --move removes each recording from the card once its copy is "
               "safe; exit 0 when\nevery record is backed up or already there, 1 otherwise";
    }
    QStringList valueOptions() const override { return {QStringLiteral("to"), QStringLiteral("model")}; }
    QStringList flags() const override { return {QStringLiteral("move"), QStringLiteral("json")}; }
    int run(const Args& args, Io io) const override;
};

} // namespace tessa::cli
