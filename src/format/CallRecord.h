#pragma once

// The call record: one call, note or message. The same 1076-byte image is the in-memory form and a
// record of a month log (CallLogBK.dat) in the PC backup.

#include "format/CardRecord.h"
#include "format/LittleEndian.h"
#include "format/Utf16Field.h"

#include <cstddef>
#include <cstring>

namespace tessa {

enum CallType : uint32_t {
    CallIncoming = 2,
    CallMissed = 3,
    CallOutgoing = 4,
    CallNote = 5,
    CallNote2 = 6,
    CallTriggered = 7,
    CallAnswering = 8,
};

// Types 5, 6 and 7 are recordings that are not calls: they carry no number or name worth showing.
inline bool isNoteType(uint32_t callType) {
    return callType >= CallNote && callType <= CallTriggered;
}

// Layout of a Windows SYSTEMTIME; day of week and milliseconds stay 0.
struct RecordTime {
    LeU16 year;
    LeU16 month;
    LeU16 dayOfWeek;
    LeU16 day;
    LeU16 hour;
    LeU16 minute;
    LeU16 second;
    LeU16 milliseconds;
};
static_assert(sizeof(RecordTime) == 16);

struct CallRecord {
    LeU32 index;            // position in the file the record came from
    uint8_t cardBytes[128]; // the card record as read (see the decoders)
    LeU32 valid;            // 1 while the record exists
    LeU32 callType;         // CallType
    LeU32 auxFlag;          // card byte 2, carried
    LeU32 marked;           // 1 = marked by the user
    RecordTime time;
    Utf16Field<64> number;
    Utf16Field<64> name;
    LeU32 callDuration;       // seconds
    LeU32 recordingDuration;  // seconds
    Utf16Field<64> shortPath; // "X:\" and the card path
    Utf16Field<260> fullPath; // card path, or the backed-up copy's path in a month log

    static constexpr size_t kSize = 1076;
    static constexpr size_t kCardBytesOffset = 4;
    // Card byte 0 (valid) and byte 3 (marked) of a card record lie at these offsets of the image.
    static constexpr size_t kValidByte = kCardBytesOffset + CardRecord128::kValidOffset;
    static constexpr size_t kMarkedByte = kCardBytesOffset + CardRecord128::kMarkedOffset;

    uint8_t* bytes() { return reinterpret_cast<uint8_t*>(this); }
    const uint8_t* bytes() const { return reinterpret_cast<const uint8_t*>(this); }
    uint8_t cardValidByte() const { return cardBytes[CardRecord128::kValidOffset]; }
    bool validByte() const { return cardValidByte() == 1; }
    void setCardMarkedByte(uint8_t value) { cardBytes[CardRecord128::kMarkedOffset] = value; }
};

static_assert(sizeof(CallRecord) == CallRecord::kSize);
static_assert(alignof(CallRecord) == 1);
static_assert(offsetof(CallRecord, index) == 0);
static_assert(offsetof(CallRecord, cardBytes) == CallRecord::kCardBytesOffset);
static_assert(CallRecord::kValidByte == 4 && CallRecord::kMarkedByte == 7);
static_assert(offsetof(CallRecord, valid) == 132);
static_assert(offsetof(CallRecord, callType) == 136);
static_assert(offsetof(CallRecord, auxFlag) == 140);
static_assert(offsetof(CallRecord, marked) == 144);
static_assert(offsetof(CallRecord, time) == 148);
static_assert(offsetof(CallRecord, number) == 164);
static_assert(offsetof(CallRecord, name) == 292);
static_assert(offsetof(CallRecord, callDuration) == 420);
static_assert(offsetof(CallRecord, recordingDuration) == 424);
static_assert(offsetof(CallRecord, shortPath) == 428);
static_assert(offsetof(CallRecord, fullPath) == 556);

// The remark layout: how a call record from a VX5 card keeps its card record's remark. cardBytes then
// holds bytes 0-4 of the card record, the tag "RM:" when the card record had a remark, and the remark's
// 32 bytes; the rest of the card record is decoded into the fields of the call record. (A call record
// from a VX7 card holds its whole 128-byte card record in cardBytes and has no remark.)
struct RemarkLayout {
    uint8_t cardHead[CardRecord256::kHeadSize];
    char tag[3];
    uint8_t text[32];
    uint8_t unused[88];

    static constexpr char kTag[3] = {'R', 'M', ':'};
    static constexpr size_t kTagOffset = 5;
    static constexpr size_t kTextOffset = 8;
    static constexpr size_t kTextSize = 32;
};
static_assert(sizeof(RemarkLayout) == sizeof(CallRecord::cardBytes));
static_assert(offsetof(RemarkLayout, tag) == RemarkLayout::kTagOffset);
static_assert(offsetof(RemarkLayout, text) == RemarkLayout::kTextOffset);
static_assert(sizeof(RemarkLayout::text) == RemarkLayout::kTextSize);
static_assert(RemarkLayout::kTextSize == sizeof(CardRecord256::remark));
// "RM:" lies at bytes 9-11 of the call record image, the remark at 12-43.
static_assert(CallRecord::kCardBytesOffset + RemarkLayout::kTagOffset == 9);
static_assert(CallRecord::kCardBytesOffset + RemarkLayout::kTextOffset == 12);

inline bool hasRemark(const CallRecord& record) {
    return std::memcmp(record.cardBytes + RemarkLayout::kTagOffset, RemarkLayout::kTag,
                       sizeof RemarkLayout::kTag) == 0;
}
// The remark's 32 bytes (meaningful when hasRemark).
inline const uint8_t* remarkBytes(const CallRecord& record) {
    return record.cardBytes + RemarkLayout::kTextOffset;
}
inline void setRemark(CallRecord& record, const uint8_t (&text)[RemarkLayout::kTextSize]) {
    std::memcpy(record.cardBytes + RemarkLayout::kTagOffset, RemarkLayout::kTag, sizeof RemarkLayout::kTag);
    std::memcpy(record.cardBytes + RemarkLayout::kTextOffset, text, RemarkLayout::kTextSize);
}

} // namespace tessa
