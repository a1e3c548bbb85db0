#pragma once

// The records of a card's CallLog.dat: 128 bytes for the VX7 (model code 0), 256 for the VX5 (model 1).

#include <cstddef>
#include <cstdint>

namespace tessa {

enum ModelCode : int { ModelVX7 = 0, ModelVX5 = 1 };

struct HoursMinutesSeconds {
    uint8_t hours;
    uint8_t minutes;
    uint8_t seconds;
    uint32_t total() const { return hours * 3600u + minutes * 60u + seconds; }
    void set(uint32_t s) {
        hours = uint8_t(s / 3600);
        minutes = uint8_t(s % 3600 / 60);
        seconds = uint8_t(s % 60);
    }
};
static_assert(sizeof(HoursMinutesSeconds) == 3);

struct CardRecord128 {
    uint8_t valid; // 1 = in use
    uint8_t callType;
    uint8_t auxFlag;
    uint8_t marked;
    uint8_t reserved4;
    uint8_t year; // minus 2000
    uint8_t month;
    uint8_t day;
    uint8_t hour;
    uint8_t minute;
    uint8_t numberLength;
    uint8_t number[30]; // digit codes, or plain characters for note types
    uint8_t nameLength;
    uint8_t name[35];
    HoursMinutesSeconds callDuration;
    HoursMinutesSeconds recordingDuration;
    uint8_t cardPath[45]; // system code page, zero-padded; 45 bytes leave no terminator

    static constexpr size_t kSize = 128;
    static constexpr size_t kValidOffset = 0;
    static constexpr size_t kMarkedOffset = 3;
};
static_assert(sizeof(CardRecord128) == CardRecord128::kSize);
static_assert(offsetof(CardRecord128, valid) == CardRecord128::kValidOffset);
static_assert(offsetof(CardRecord128, callType) == 1);
static_assert(offsetof(CardRecord128, auxFlag) == 2);
static_assert(offsetof(CardRecord128, marked) == CardRecord128::kMarkedOffset);
static_assert(offsetof(CardRecord128, reserved4) == 4);
static_assert(offsetof(CardRecord128, year) == 5);
static_assert(offsetof(CardRecord128, month) == 6);
static_assert(offsetof(CardRecord128, day) == 7);
static_assert(offsetof(CardRecord128, hour) == 8);
static_assert(offsetof(CardRecord128, minute) == 9);
static_assert(offsetof(CardRecord128, numberLength) == 10);
static_assert(offsetof(CardRecord128, number) == 11);
static_assert(offsetof(CardRecord128, nameLength) == 41);
static_assert(offsetof(CardRecord128, name) == 42);
static_assert(offsetof(CardRecord128, callDuration) == 77);
static_assert(offsetof(CardRecord128, recordingDuration) == 80);
static_assert(offsetof(CardRecord128, cardPath) == 83);

struct CardRecord256 {
    uint8_t valid;
    uint8_t callType;
    uint8_t auxFlag;
    uint8_t marked;
    uint8_t carried4; // kept in the call record, not interpreted
    uint8_t reserved5[5];
    uint8_t year; // minus 2000
    uint8_t month;
    uint8_t day;
    uint8_t hour;
    uint8_t minute;
    uint8_t numberLength;
    uint8_t number[32]; // plain characters
    uint8_t reserved48[34];
    HoursMinutesSeconds callDuration;
    HoursMinutesSeconds recordingDuration;
    uint8_t cardPath[64];
    uint8_t remark[32]; // present when its first byte is not 0
    uint8_t reserved184[72];

    static constexpr size_t kSize = 256;
    static constexpr size_t kValidOffset = 0;
    static constexpr size_t kMarkedOffset = 3;
    // Bytes 0-4 (the flags and the carried byte) are kept as they stand in the call record.
    static constexpr size_t kHeadSize = 5;
};
static_assert(sizeof(CardRecord256) == CardRecord256::kSize);
static_assert(offsetof(CardRecord256, valid) == CardRecord256::kValidOffset);
static_assert(offsetof(CardRecord256, callType) == 1);
static_assert(offsetof(CardRecord256, auxFlag) == 2);
static_assert(offsetof(CardRecord256, marked) == CardRecord256::kMarkedOffset);
static_assert(offsetof(CardRecord256, carried4) == 4);
static_assert(offsetof(CardRecord256, reserved5) == 5 && CardRecord256::kHeadSize == 5);
static_assert(offsetof(CardRecord256, year) == 10);
static_assert(offsetof(CardRecord256, month) == 11);
static_assert(offsetof(CardRecord256, day) == 12);
static_assert(offsetof(CardRecord256, hour) == 13);
static_assert(offsetof(CardRecord256, minute) == 14);
static_assert(offsetof(CardRecord256, numberLength) == 15);
static_assert(offsetof(CardRecord256, number) == 16);
static_assert(offsetof(CardRecord256, reserved48) == 48);
static_assert(offsetof(CardRecord256, callDuration) == 82);
static_assert(offsetof(CardRecord256, recordingDuration) == 85);
static_assert(offsetof(CardRecord256, cardPath) == 88);
static_assert(offsetof(CardRecord256, remark) == 152);
static_assert(offsetof(CardRecord256, reserved184) == 184);

// Card byte 0 is 1 while a record is in use, in both layouts.
inline bool cardRecordInUse(const uint8_t* card) {
    static_assert(CardRecord128::kValidOffset == CardRecord256::kValidOffset);
    return card[CardRecord128::kValidOffset] == 1;
}

// Size of one record in a card log of the given model code: 256 for the VX5, 128 for any other code.
inline size_t cardRecordSize(int modelCode) {
    return modelCode == ModelVX5 ? CardRecord256::kSize : CardRecord128::kSize;
}

} // namespace tessa
