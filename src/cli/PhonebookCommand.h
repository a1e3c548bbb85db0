#pragma once

#include "cli/Command.h"

namespace tessa::cli {

class PhonebookCommand final : public Command {
public:
    const char* name() const override { return "phonebook"; }
    const char* synopsis() const override { return "FILE [--json]"; }
    const char* summary() const override {
        return "list the entries in use of a VX5 card's phonebook (PhoneBook.dat), in file order";
    }
    QStringList flags() const override { return {QStringLiteral("json")}; }
    int run(const Args& args, Io io) const override;
};

} // namespace tessa::cli
