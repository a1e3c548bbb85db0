#pragma once

// Builders for card records and call records used across the store tests.

#include "format/CallRecord.h"
#include "format/CardRecord.h"
#include "format/ContactBlock.h"
#include "platform/VolumeTable.h"
#include "support/ScopedVolumes.h"

#include <array>
#include <cstring>
#include <memory>
#include <QByteArray>
#include <QString>

namespace tessa::test {

// The worked example: an incoming call of 2018-01-15 09:29 from 5551234, 90 s call, 96 s recording.
inline std::array<uint8_t, 256> workedCard128() {
    std::array<uint8_t, 256> b{};
    const uint8_t head[] = {0x01, 0x02, 0x01, 0x00, 0x00, 0x12, 0x01, 0x0F, 0x09, 0x1D, 0x07};
    std::memcpy(b.data(), head, sizeof head);
    const uint8_t digits[] = {5, 5, 5, 1, 2, 3, 4};
    std::memcpy(b.data() + 11, digits, sizeof digits);
    const uint8_t durations[] = {0x00, 0x01, 0x1E, 0x00, 0x01, 0x24};
    std::memcpy(b.data() + 77, durations, sizeof durations);
    const char path[] = "201801\\20180115093012-I-5551234.wav";
    std::memcpy(b.data() + 83, path, sizeof path - 1);
    return b;
}

inline void setCardPath(uint8_t* card, size_t offset, size_t field, const QByteArray& path) {
    std::memset(card + offset, 0, field);
    std::memcpy(card + offset, path.constData(), std::min<size_t>(field, size_t(path.size())));
}

inline ContactBlock contact(const QString& name, std::initializer_list<QString> numbers) {
    ContactBlock c{};
    c.name.setText(name);
    int slot = 0;
    for (const QString& n : numbers)
        c.numbers[slot++].setText(n);
    return c;
}

inline platform::Volume removable(char letter, const QString& root) {
    return platform::Volume{letter, platform::DriveRemovable, root};
}

} // namespace tessa::test
