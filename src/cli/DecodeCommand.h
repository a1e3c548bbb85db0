#pragma once

#include "cli/Command.h"

namespace tessa::cli {

class DecodeCommand final : public Command {
public:
    const char* name() const override { return "decode"; }
    const char* synopsis() const override { return "FILE OUT.wav"; }
    const char* summary() const override {
        return "write a recording as it is heard, as 16-bit PCM WAV (mono, 8000 Hz)";
    }
    QStringList valueOptions() const override { return {}; }
    QStringList flags() const override { return {}; }
    int run(const Args& args, Io io) const override;
};

} // namespace tessa::cli
