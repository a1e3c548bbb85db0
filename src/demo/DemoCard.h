#pragma once

// A made-up but realistic recorder card for trying the program without a recorder: month folders of
// recordings of every call type and both recording kinds, the call log naming them and, for the VX5, a
// phonebook. The same options always give the same bytes.

#include <cstdint>
#include <QString>

namespace tessa {

// The most records a demo card holds.
constexpr int kMaxDemoRecords = 100000;

struct DemoCardOptions {
    int model = 0; // 0 VX7, 1 VX5
    int records = 40;
    uint32_t seed = 1;
};

// Writes the card into dir, creating it. Refuses a folder that already holds a call log, so that a real
// card is never overwritten.
bool writeDemoCard(const QString& dir, const DemoCardOptions& options, QString* error);

} // namespace tessa
