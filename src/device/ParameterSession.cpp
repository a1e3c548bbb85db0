#include "device/ParameterSession.h"

#include <algorithm>
#include <QMetaObject>

namespace tessa {
namespace {

ParameterSession* currentSession = nullptr;

QDate dateOf(int year, int month, int day) {
    // A day the month does not have shows as its last day until the day itself is reported.
    return QDate(year, month, std::min(day, QDate(year, month, 1).daysInMonth()));
}

} // namespace

ParameterSession::ParameterSession(ParameterForm& form, QObject* parent) : QObject(parent), form_(form) {
    currentSession = this;
    timer_.setObjectName(QStringLiteral("timer100"));
    timer_.setSingleShot(true);
    timer_.setInterval(kWaitMs);
    connect(&timer_, &QTimer::timeout, this, &ParameterSession::giveUp);
    form_.setDateFormat(kInitialDateFormat);
    form_.setTimeFormat(kInitialTimeFormat);
    setEnabled(false);
}

ParameterSession::~ParameterSession() {
    if (currentSession == this)
        currentSession = nullptr;
}

ParameterSession* ParameterSession::current() {
    return currentSession;
}

void ParameterSession::notify(unsigned event, long data) {
    switch (event) {
    case 0:
        connected(data == 1);
        return;
    case 1: {
        const DeviceReportData r = decodeDeviceReport(data);
        report(r.number, r.value);
        return;
    }
    case 2:
        acknowledge(data);
        return;
    default:
        return;
    }
}

void ParameterSession::connected(bool up) {
    stopWaiting();
    setEnabled(up);
    if (up)
        QMetaObject::invokeMethod(this, &ParameterSession::readAll, Qt::QueuedConnection);
}

void ParameterSession::report(unsigned number, uint16_t value) {
    const ParameterField* field = parameterFieldOfReport(number);
    if (!field)
        return;
    switch (field->kind) {
    case FieldKind::List:
        form_.setListIndex(field->controlId, listIndexOfValue(*field, value));
        break;
    case FieldKind::Edit:
        form_.setEditText(field->controlId, editTextOfValue(*field, value));
        break;
    case FieldKind::Date:
    case FieldKind::Time:
        showClockPart(field->part, value);
        break;
    }
    if (number == kReportDateFormat) {
        if (const auto format = dateFormatOfIndex(value))
            form_.setDateFormat(*format);
    } else if (number == kReportTimeFormat) {
        form_.setTimeFormat(timeFormatOfIndex(value));
    } else if (number == kReportLast) {
        stopWaiting();
        setEnabled(true);
    }
}

void ParameterSession::showClockPart(ClockPart part, uint16_t value) {
    const int v = value;
    if (part == ClockPart::Hour || part == ClockPart::Minute) {
        const QTime shown = form_.time().isValid() ? form_.time() : QTime(0, 0);
        if (part == ClockPart::Hour && v <= 23)
            form_.setTime(QTime(v, shown.minute(), shown.second()));
        else if (part == ClockPart::Minute && v <= 59)
            form_.setTime(QTime(shown.hour(), v, shown.second()));
        return;
    }
    const QDate shown = form_.date().isValid() ? form_.date() : QDate::currentDate();
    // The user may have changed the picker since the last report: start again from what it shows.
    if (!date_ || dateOf(date_->year, date_->month, date_->day) != shown)
        date_ = DateParts{shown.year(), shown.month(), shown.day()};
    if (part == ClockPart::Year && v >= kFirstYear && v <= kLastYear)
        date_->year = v;
    else if (part == ClockPart::Month && v >= 1 && v <= 12)
        date_->month = v;
    else if (part == ClockPart::Day && v >= 1 && v <= 31)
        date_->day = v;
    else
        return;
    form_.setDate(dateOf(date_->year, date_->month, date_->day));
}

void ParameterSession::acknowledge(long data) {
    if (!deviceAcknowledges(data, request_))
        return;
    stopWaiting();
    setEnabled(true);
}

void ParameterSession::readAll() {
    if (!device_ || !device_->readAll())
        return;
    clearFields();
    setEnabled(false);
    startWaiting();
}

void ParameterSession::writeAll() {
    if (!device_)
        return;
    uint32_t request = kNoWriteRequest;
    const bool accepted = device_->writeAll(recordOfForm(), &request);
    request_ = accepted ? request : kNoWriteRequest;
    if (!accepted || request_ == kNoWriteRequest)
        return;
    setEnabled(false);
    startWaiting();
}

tagDeviceParameters ParameterSession::recordOfForm() const {
    tagDeviceParameters record{};
    const QDate date = form_.date();
    const QTime time = form_.time();
    for (const ParameterField& field : kParameterFields) {
        int32_t value = 0;
        switch (field.kind) {
        case FieldKind::List:
            value = valueOfListIndex(field, form_.listIndex(field.controlId));
            break;
        case FieldKind::Edit:
            value = valueOfEditText(field, form_.editText(field.controlId));
            break;
        case FieldKind::Date:
            value = field.part == ClockPart::Year    ? date.year()
                    : field.part == ClockPart::Month ? date.month()
                                                     : date.day();
            break;
        case FieldKind::Time:
            value = field.part == ClockPart::Hour ? time.hour() : time.minute();
            break;
        }
        setDeviceField(record, field.offset, value);
    }
    return record;
}

void ParameterSession::clearFields() {
    for (const ParameterField& field : kParameterFields) {
        if (field.kind == FieldKind::List)
            form_.setListIndex(field.controlId, -1);
        else if (field.kind == FieldKind::Edit)
            form_.setEditText(field.controlId, QString());
    }
}

void ParameterSession::setEnabled(bool enabled) {
    form_.setControlsEnabled(enabled);
}

void ParameterSession::startWaiting() {
    timer_.start();
}

void ParameterSession::stopWaiting() {
    timer_.stop();
}

void ParameterSession::giveUp() {
    stopWaiting();
    setEnabled(true);
}

} // namespace tessa
