#pragma once

// One contact as the contact source delivers it: 2176 bytes, seventeen zero-terminated UTF-16 fields of
// 64 units. The program uses the display name and the seven telephone numbers.

#include "format/Utf16Field.h"

#include <cstddef>

namespace tessa {

struct ContactBlock {
    Utf16Field<64> name;
    Utf16Field<64> unused1;
    Utf16Field<64> unused2;
    Utf16Field<64> numbers[7];
    Utf16Field<64> further[7];

    static constexpr size_t kSize = 2176;
    static constexpr int kNumberCount = 7;
};
static_assert(sizeof(ContactBlock) == ContactBlock::kSize);
static_assert(offsetof(ContactBlock, name) == 0);
static_assert(offsetof(ContactBlock, unused1) == 128);
static_assert(offsetof(ContactBlock, unused2) == 256);
static_assert(offsetof(ContactBlock, numbers) == 384);
static_assert(offsetof(ContactBlock, further) == 1280);

} // namespace tessa
