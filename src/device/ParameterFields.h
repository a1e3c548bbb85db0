#pragma once

// How each field of tagDeviceParameters is shown on the parameters page and how a report or a control
// becomes the field's value. Lists hold an index; three fields convert: brightness is stored as the
// level (index + 1), rings before remote answering as the count (index + 5), the off-hook voltage in
// tenths of a volt (typed volts x 10, shown as value / 10).

#include "format/DeviceParameters.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <QString>

namespace tessa {

enum class FieldKind { List, Edit, Date, Time };
enum class ClockPart { None, Year, Month, Day, Hour, Minute };

struct ParameterField {
    uint16_t offset;
    FieldKind kind;
    int controlId;
    int32_t base = 0;  // List: value = index + base
    int32_t scale = 1; // Edit: value = typed x scale
    ClockPart part = ClockPart::None;
};

inline constexpr int kDatePickerId = 1007;
inline constexpr int kTimePickerId = 1009;
inline constexpr int kReadAllButtonId = 1061;
inline constexpr int kWriteAllButtonId = 1062;

// Every field but the unused one at 88, in record order.
inline constexpr std::array<ParameterField, 31> kParameterFields{{
    {0, FieldKind::List, 1015},
    {4, FieldKind::List, 1045},
    {8, FieldKind::Edit, 1030},
    {12, FieldKind::Edit, 1032},
    {16, FieldKind::List, 1028},
    {20, FieldKind::List, 1026},
    {24, FieldKind::List, 1034},
    {28, FieldKind::List, 1036},
    {32, FieldKind::List, 1041},
    {36, FieldKind::Edit, 1042},
    {40, FieldKind::Edit, 1043},
    {44, FieldKind::List, 1044},
    {48, FieldKind::List, 1010},
    {52, FieldKind::List, 1013},
    {56, FieldKind::Date, kDatePickerId, 0, 1, ClockPart::Year},
    {60, FieldKind::Date, kDatePickerId, 0, 1, ClockPart::Month},
    {64, FieldKind::Date, kDatePickerId, 0, 1, ClockPart::Day},
    {68, FieldKind::Time, kTimePickerId, 0, 1, ClockPart::Hour},
    {72, FieldKind::Time, kTimePickerId, 0, 1, ClockPart::Minute},
    {76, FieldKind::List, 1021, kBrightnessBase},
    {80, FieldKind::Edit, 1019},
    {84, FieldKind::Edit, 1065, 0, kVoltageScale},
    {92, FieldKind::List, 1050},
    {96, FieldKind::List, 1074},
    {100, FieldKind::List, 1052},
    {104, FieldKind::List, 1058},
    {108, FieldKind::List, 1060, kRemoteRingsBase},
    {112, FieldKind::List, 1068},
    {116, FieldKind::List, 1070},
    {120, FieldKind::List, 1072},
    {124, FieldKind::List, 1048},
}};

namespace detail {
constexpr bool parameterFieldsCoverTheReports() {
    for (const ParameterField& f : kParameterFields)
        if (deviceReportNumber(f.offset) < 0)
            return false;
    for (size_t i = 1; i < kParameterFields.size(); ++i)
        if (kParameterFields[i].offset <= kParameterFields[i - 1].offset)
            return false;
    return kParameterFields.size() == kDeviceReports.size();
}
} // namespace detail
static_assert(detail::parameterFieldsCoverTheReports());

// The field at a record offset, or null (the unused field, or no field).
const ParameterField* parameterFieldAt(size_t offset);
// The field a report sets, or null for the report numbers that are ignored.
const ParameterField* parameterFieldOfReport(unsigned number);

// List index a report selects (it may lie outside the list: nothing is selected then).
int listIndexOfValue(const ParameterField& field, uint16_t value);
// Value written for a list selection; no selection is index -1 and is written converted as well.
int32_t valueOfListIndex(const ParameterField& field, int index);
// Text an edit box shows for a report: the value as a signed integer, divided by the scale (truncated).
QString editTextOfValue(const ParameterField& field, uint16_t value);
// Value written for an edit box: the text as a signed integer (0 when it is not one), times the scale,
// kept within 32 bits.
int32_t valueOfEditText(const ParameterField& field, const QString& text);

// Display formats of the pickers, by the date format index (0-2; other values: none) and the time format
// index (1 twenty-four-hour, anything else twelve-hour).
std::optional<QString> dateFormatOfIndex(int index);
QString timeFormatOfIndex(int index);
inline const QString kInitialDateFormat = QStringLiteral("yyyy / MM / dd");
inline const QString kInitialTimeFormat = QStringLiteral("hh:mm");

} // namespace tessa
