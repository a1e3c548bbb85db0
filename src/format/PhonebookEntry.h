#pragma once

// One entry of the VX5 card's PhoneBook.dat: 155 bytes, no header, entry i at byte 155 x i. Text fields
// hold 8-bit text in the system code page, zero-terminated within the field and zero after it.

#include <cstddef>
#include <cstdint>

namespace tessa {

struct PhonebookEntry {
    uint8_t inUse;    // 1 in use; 0, or any other value, a free slot
    char number1[30]; // digits, at most 29 plus the terminator
    char number2[30];
    char number3[30];
    char name[35];        // 7-bit text, at most 34 plus the terminator
    uint8_t type;         // 0, 1 or 2
    uint8_t reserved[25]; // written as zero
    uint8_t reserved2[2]; // written as zero
    uint8_t reserved3;    // written as zero

    static constexpr size_t kSize = 155;
    static constexpr uint8_t kInUse = 1;
    static constexpr uint8_t kFree = 0;
    static constexpr size_t kNumberBytes = sizeof(number1);
    static constexpr size_t kNameBytes = sizeof(name);
    static constexpr int kTypeCount = 3;

    bool used() const { return inUse == kInUse; }
    uint8_t* bytes() { return reinterpret_cast<uint8_t*>(this); }
    const uint8_t* bytes() const { return reinterpret_cast<const uint8_t*>(this); }
};

static_assert(sizeof(PhonebookEntry) == PhonebookEntry::kSize);
static_assert(alignof(PhonebookEntry) == 1);
static_assert(offsetof(PhonebookEntry, inUse) == 0);
static_assert(offsetof(PhonebookEntry, number1) == 1);
static_assert(offsetof(PhonebookEntry, number2) == 31);
static_assert(offsetof(PhonebookEntry, number3) == 61);
static_assert(offsetof(PhonebookEntry, name) == 91);
static_assert(offsetof(PhonebookEntry, type) == 126);
static_assert(offsetof(PhonebookEntry, reserved) == 127);
static_assert(offsetof(PhonebookEntry, reserved2) == 152);
static_assert(offsetof(PhonebookEntry, reserved3) == 154);

// The page lists at most this many entries before Add is refused.
inline constexpr int kPhonebookMaxRows = 50;

// A row of the page carries (type << 16) | (index & 0xFFFF).
constexpr uint32_t phonebookItemValue(uint8_t type, uint32_t index) {
    return uint32_t(type) << 16 | (index & 0xFFFFu);
}
constexpr uint8_t phonebookItemType(uint32_t itemValue) {
    return uint8_t(itemValue >> 16);
}
constexpr uint32_t phonebookItemIndex(uint32_t itemValue) {
    return itemValue & 0xFFFFu;
}
static_assert(phonebookItemValue(2, 1) == 0x20001u);
static_assert(phonebookItemValue(0, 0x10005) == 5u);
static_assert(phonebookItemType(0x20001u) == 2 && phonebookItemIndex(0x20001u) == 1);

} // namespace tessa
