#pragma once

// The recorder's operating parameters as one 128-byte record: 32 little-endian signed 32-bit fields. The
// same image is written to the recorder in one piece; reading comes back field by field as reports, each
// naming its field by a report number (kDeviceReports) and carrying the value in 16 bits.
//
// Values are stored as the recorder understands them. Most list-backed fields hold the list index; the
// exceptions are brightness (level 1-6), rings before remote answering (count 5-20) and the off-hook
// voltage (tenths of a volt), whose list index or shown value the page derives with the constants below.

#include "format/LittleEndian.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace tessa {

struct tagDeviceParameters {
    LeI32 callerIdTimeSync;           // index: 0 off, 1 on
    LeI32 language;                   // index
    LeI32 triggerLevel;               // as typed (1-10)
    LeI32 triggerEndTime;             // seconds as typed (5-55)
    LeI32 lineRecordingMode;          // index: 0 automatic, 1 manual, 2 triggered
    LeI32 microphoneRecordingMode;    // index: 0 automatic, 1 manual
    LeI32 maxRecordingTime;           // index: 0 no limit, 1 5 min ... 6 120 min
    LeI32 minRecordingTime;           // index: 0 no limit, 1 5 s ... 5 60 s
    LeI32 loopRecording;              // index: 0 on, 1 off
    LeI32 storageReminder;            // hours as typed (5-99)
    LeI32 cardReservedSpace;          // percent as typed (5-40)
    LeI32 incomingPromptTone;         // index: 0 off, 1 on
    LeI32 dateFormat;                 // 0 year/month/day, 1 month/day/year, 2 day/month/year
    LeI32 timeFormat;                 // 0 twelve-hour, 1 twenty-four-hour
    LeI32 year;                       // calendar year
    LeI32 month;                      // 1-12
    LeI32 day;                        // 1-31
    LeI32 hour;                       // 0-23
    LeI32 minute;                     // 0-59
    LeI32 displayBrightness;          // level 1-6
    LeI32 dialOutWait;                // seconds as typed (0-20)
    LeI32 offHookVoltage;             // tenths of a volt (typed volts x 10)
    LeI32 unused;                     // always 0
    LeI32 answeringMachine;           // index: 0 off, 1 on
    LeI32 monitorWhileAnswering;      // index: 0 off, 1 on
    LeI32 maxMessageTime;             // index: 0 30 s, 1 60 s, 2 120 s
    LeI32 ringsBeforeAnswering;       // index: 0 one ring ... 6 seven rings
    LeI32 ringsBeforeRemoteAnswering; // ring count 5-20
    LeI32 remoteCodeDigit1;           // 0-9
    LeI32 remoteCodeDigit2;           // 0-9
    LeI32 remoteCodeDigit3;           // 0-9
    LeI32 manualRecordingMode;        // index: 0 start and stop by key, 1 stop at end of call

    static constexpr size_t kSize = 128;

    uint8_t* bytes() { return reinterpret_cast<uint8_t*>(this); }
    const uint8_t* bytes() const { return reinterpret_cast<const uint8_t*>(this); }
};

static_assert(sizeof(tagDeviceParameters) == tagDeviceParameters::kSize);
static_assert(alignof(tagDeviceParameters) == 1);
static_assert(offsetof(tagDeviceParameters, callerIdTimeSync) == 0);
static_assert(offsetof(tagDeviceParameters, language) == 4);
static_assert(offsetof(tagDeviceParameters, triggerLevel) == 8);
static_assert(offsetof(tagDeviceParameters, triggerEndTime) == 12);
static_assert(offsetof(tagDeviceParameters, lineRecordingMode) == 16);
static_assert(offsetof(tagDeviceParameters, microphoneRecordingMode) == 20);
static_assert(offsetof(tagDeviceParameters, maxRecordingTime) == 24);
static_assert(offsetof(tagDeviceParameters, minRecordingTime) == 28);
static_assert(offsetof(tagDeviceParameters, loopRecording) == 32);
static_assert(offsetof(tagDeviceParameters, storageReminder) == 36);
static_assert(offsetof(tagDeviceParameters, cardReservedSpace) == 40);
static_assert(offsetof(tagDeviceParameters, incomingPromptTone) == 44);
static_assert(offsetof(tagDeviceParameters, dateFormat) == 48);
static_assert(offsetof(tagDeviceParameters, timeFormat) == 52);
static_assert(offsetof(tagDeviceParameters, year) == 56);
static_assert(offsetof(tagDeviceParameters, month) == 60);
static_assert(offsetof(tagDeviceParameters, day) == 64);
static_assert(offsetof(tagDeviceParameters, hour) == 68);
static_assert(offsetof(tagDeviceParameters, minute) == 72);
static_assert(offsetof(tagDeviceParameters, displayBrightness) == 76);
static_assert(offsetof(tagDeviceParameters, dialOutWait) == 80);
static_assert(offsetof(tagDeviceParameters, offHookVoltage) == 84);
static_assert(offsetof(tagDeviceParameters, unused) == 88);
static_assert(offsetof(tagDeviceParameters, answeringMachine) == 92);
static_assert(offsetof(tagDeviceParameters, monitorWhileAnswering) == 96);
static_assert(offsetof(tagDeviceParameters, maxMessageTime) == 100);
static_assert(offsetof(tagDeviceParameters, ringsBeforeAnswering) == 104);
static_assert(offsetof(tagDeviceParameters, ringsBeforeRemoteAnswering) == 108);
static_assert(offsetof(tagDeviceParameters, remoteCodeDigit1) == 112);
static_assert(offsetof(tagDeviceParameters, remoteCodeDigit2) == 116);
static_assert(offsetof(tagDeviceParameters, remoteCodeDigit3) == 120);
static_assert(offsetof(tagDeviceParameters, manualRecordingMode) == 124);

// Report numbers with a meaning beyond "the field of the table".
inline constexpr uint16_t kReportYear = 128;
inline constexpr uint16_t kReportOffHookVoltage = 129; // shown as value / 10 volts, truncated
inline constexpr uint16_t kReportBrightness = 20;      // list index = value - kBrightnessBase
inline constexpr uint16_t kReportRemoteRings = 28;     // list index = value - kRemoteRingsBase
inline constexpr uint16_t kReportLast = 31;            // remote code digit 3; a read ends with it
inline constexpr uint16_t kReportDateFormat = 13;      // also selects the date picker's format
inline constexpr uint16_t kReportTimeFormat = 14;      // also selects the time picker's format

inline constexpr int32_t kBrightnessBase = 1;
inline constexpr int32_t kRemoteRingsBase = 5;
inline constexpr int32_t kVoltageScale = 10;

// A write answered with this identifier was not accepted; no acknowledgement will come.
inline constexpr uint32_t kNoWriteRequest = 0xFFFFFFFFu;

struct DeviceReport {
    uint16_t number; // report number in the low 16 bits of a kind-1 notification
    uint16_t offset; // byte offset of its field in tagDeviceParameters
};

// Every reported field, in record order; the unused field at 88 has no report.
inline constexpr std::array<DeviceReport, 31> kDeviceReports{{
    {0, offsetof(tagDeviceParameters, callerIdTimeSync)},
    {1, offsetof(tagDeviceParameters, language)},
    {3, offsetof(tagDeviceParameters, triggerLevel)},
    {4, offsetof(tagDeviceParameters, triggerEndTime)},
    {5, offsetof(tagDeviceParameters, lineRecordingMode)},
    {6, offsetof(tagDeviceParameters, microphoneRecordingMode)},
    {7, offsetof(tagDeviceParameters, maxRecordingTime)},
    {8, offsetof(tagDeviceParameters, minRecordingTime)},
    {9, offsetof(tagDeviceParameters, loopRecording)},
    {10, offsetof(tagDeviceParameters, storageReminder)},
    {11, offsetof(tagDeviceParameters, cardReservedSpace)},
    {12, offsetof(tagDeviceParameters, incomingPromptTone)},
    {kReportDateFormat, offsetof(tagDeviceParameters, dateFormat)},
    {kReportTimeFormat, offsetof(tagDeviceParameters, timeFormat)},
    {kReportYear, offsetof(tagDeviceParameters, year)},
    {15, offsetof(tagDeviceParameters, month)},
    {16, offsetof(tagDeviceParameters, day)},
    {17, offsetof(tagDeviceParameters, hour)},
    {18, offsetof(tagDeviceParameters, minute)},
    {kReportBrightness, offsetof(tagDeviceParameters, displayBrightness)},
    {21, offsetof(tagDeviceParameters, dialOutWait)},
    {kReportOffHookVoltage, offsetof(tagDeviceParameters, offHookVoltage)},
    {24, offsetof(tagDeviceParameters, answeringMachine)},
    {25, offsetof(tagDeviceParameters, monitorWhileAnswering)},
    {26, offsetof(tagDeviceParameters, maxMessageTime)},
    {27, offsetof(tagDeviceParameters, ringsBeforeAnswering)},
    {kReportRemoteRings, offsetof(tagDeviceParameters, ringsBeforeRemoteAnswering)},
    {29, offsetof(tagDeviceParameters, remoteCodeDigit1)},
    {30, offsetof(tagDeviceParameters, remoteCodeDigit2)},
    {kReportLast, offsetof(tagDeviceParameters, remoteCodeDigit3)},
    {22, offsetof(tagDeviceParameters, manualRecordingMode)},
}};

// Offset of the field a report sets, or -1 for the numbers that are ignored (2, 19, 23, 32-127, 130 up).
constexpr int deviceReportOffset(unsigned number) {
    for (const DeviceReport& r : kDeviceReports)
        if (r.number == number)
            return r.offset;
    return -1;
}

// Report number of the field at an offset, or -1 when no report carries it.
constexpr int deviceReportNumber(size_t offset) {
    for (const DeviceReport& r : kDeviceReports)
        if (r.offset == offset)
            return r.number;
    return -1;
}

namespace detail {
constexpr bool deviceReportsAreOneToOne() {
    for (size_t i = 0; i < kDeviceReports.size(); ++i) {
        const DeviceReport& r = kDeviceReports[i];
        if (r.offset % 4 != 0 || r.offset >= tagDeviceParameters::kSize ||
            r.offset == offsetof(tagDeviceParameters, unused))
            return false;
        for (size_t j = 0; j < i; ++j)
            if (kDeviceReports[j].number == r.number || kDeviceReports[j].offset == r.offset)
                return false;
    }
    return true;
}
} // namespace detail

static_assert(detail::deviceReportsAreOneToOne());
static_assert(deviceReportOffset(kReportYear) == 56 && deviceReportOffset(kReportOffHookVoltage) == 84);
static_assert(deviceReportOffset(kReportBrightness) == 76 && deviceReportOffset(kReportRemoteRings) == 108);
static_assert(deviceReportOffset(kReportLast) == 120 && deviceReportOffset(22) == 124);
static_assert(deviceReportOffset(2) == -1 && deviceReportOffset(19) == -1 && deviceReportOffset(23) == -1);
static_assert(deviceReportOffset(32) == -1 && deviceReportOffset(127) == -1 && deviceReportOffset(130) == -1);
static_assert(deviceReportNumber(offsetof(tagDeviceParameters, unused)) == -1);

inline int32_t deviceField(const tagDeviceParameters& p, size_t offset) {
    return static_cast<int32_t>(readLeU32(p.bytes() + offset));
}
inline void setDeviceField(tagDeviceParameters& p, size_t offset, int32_t value) {
    writeLeU32(p.bytes() + offset, static_cast<uint32_t>(value));
}

// The data of the device notification. A report carries its number in bits 0-15 and the value, as an
// unsigned 16-bit number, in bits 16-31; an acknowledgement carries the write request in bits 0-15.
struct DeviceReportData {
    uint16_t number;
    uint16_t value;
};

constexpr DeviceReportData decodeDeviceReport(long data) {
    const auto bits = static_cast<uint32_t>(data);
    return {static_cast<uint16_t>(bits & 0xFFFFu), static_cast<uint16_t>(bits >> 16)};
}
constexpr long encodeDeviceReport(uint16_t number, uint16_t value) {
    return static_cast<long>(static_cast<uint32_t>(value) << 16 | number);
}
constexpr long encodeDeviceAcknowledgement(uint32_t request) {
    return static_cast<long>(request & 0xFFFFu);
}

// Only the low 16 bits of the request travel back, so that is all an acknowledgement can be matched on.
constexpr bool deviceAcknowledges(long data, uint32_t request) {
    return request != kNoWriteRequest && (static_cast<uint32_t>(data) & 0xFFFFu) == (request & 0xFFFFu);
}

static_assert(decodeDeviceReport(encodeDeviceReport(129, 0xFFFF)).number == 129);
static_assert(decodeDeviceReport(encodeDeviceReport(129, 0xFFFF)).value == 0xFFFF);
static_assert(deviceAcknowledges(encodeDeviceAcknowledgement(0x12345), 0x12345));
static_assert(!deviceAcknowledges(encodeDeviceAcknowledgement(7), 8));

} // namespace tessa
