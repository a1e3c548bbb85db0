#include "device/ParameterFields.h"

#include <algorithm>
#include <limits>

namespace tessa {

const ParameterField* parameterFieldAt(size_t offset) {
    for (const ParameterField& field : kParameterFields)
        if (field.offset == offset)
            return &field;
    return nullptr;
}

const ParameterField* parameterFieldOfReport(unsigned number) {
    const int offset = deviceReportOffset(number);
    return offset < 0 ? nullptr : parameterFieldAt(size_t(offset));
}

int listIndexOfValue(const ParameterField& field, uint16_t value) {
    return int(value) - field.base;
}

int32_t valueOfListIndex(const ParameterField& field, int index) {
    return int32_t(index) + field.base;
}

QString editTextOfValue(const ParameterField& field, uint16_t value) {
    return QString::number(int32_t(value) / field.scale);
}

int32_t valueOfEditText(const ParameterField& field, const QString& text) {
    bool ok = false;
    const int typed = text.trimmed().toInt(&ok);
    if (!ok)
        return 0;
    // A large voltage times ten must not overflow: it is sent as the nearest value the field holds.
    const int64_t value = int64_t(typed) * field.scale;
    return int32_t(
        std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

std::optional<QString> dateFormatOfIndex(int index) {
    switch (index) {
    case 0:
        return QStringLiteral("yyyy / MM / dd");
    case 1:
        return QStringLiteral("MM / dd / yyyy");
    case 2:
        return QStringLiteral("dd / MM / yyyy");
    default:
        return std::nullopt;
    }
}

QString timeFormatOfIndex(int index) {
    return index == 1 ? QStringLiteral("HH:mm") : QStringLiteral("hh:mm");
}

} // namespace tessa
