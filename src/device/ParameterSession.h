#pragma once

// What the parameters page does with the recorder, apart from its widgets: reading every parameter
// (the values arrive one report at a time, in any order, report 31 last), writing the whole record and
// waiting for its acknowledgement, and giving either up after a wait of 8 s. The page implements
// ParameterForm over its controls; the device link implements ParameterDevice.
//
// One session is the current one of the process (the one created last and not yet destroyed); the main
// window hands it the recorder's notifications.

#include "device/ParameterFields.h"
#include "format/DeviceParameters.h"

#include <cstdint>
#include <optional>
#include <QDate>
#include <QObject>
#include <QString>
#include <QTime>
#include <QTimer>

namespace tessa {

class ParameterForm {
public:
    virtual ~ParameterForm() = default;
    // Selects the item at index; an index outside the list leaves none selected.
    virtual void setListIndex(int controlId, int index) = 0;
    // The selected index, -1 when none.
    virtual int listIndex(int controlId) const = 0;
    // Empty text blanks the box.
    virtual void setEditText(int controlId, const QString& text) = 0;
    virtual QString editText(int controlId) const = 0;
    virtual QDate date() const = 0;
    virtual void setDate(const QDate& date) = 0;
    virtual QTime time() const = 0;
    virtual void setTime(const QTime& time) = 0;
    virtual void setDateFormat(const QString& format) = 0;
    virtual void setTimeFormat(const QString& format) = 0;
    // The pickers, every list and edit of the record, and both buttons.
    virtual void setControlsEnabled(bool enabled) = 0;
};

class ParameterDevice {
public:
    virtual ~ParameterDevice() = default;
    // True when the read was started.
    virtual bool readAll() = 0;
    // True when the write was accepted; *request then holds the identifier its acknowledgement carries.
    virtual bool writeAll(const tagDeviceParameters& parameters, uint32_t* request) = 0;
};

class ParameterSession : public QObject {
    Q_OBJECT
public:
    static constexpr int kWaitMs = 8000;
    // The years a date picker can show.
    static constexpr int kFirstYear = 1601;
    static constexpr int kLastYear = 9999;

    // Sets the pickers' first formats and disables the controls until a recorder is connected.
    explicit ParameterSession(ParameterForm& form, QObject* parent = nullptr);
    ~ParameterSession() override;

    // The session the recorder's notifications go to, or null when there is no parameters page.
    static ParameterSession* current();

    // The device is not owned; null makes reads and writes do nothing.
    void setDevice(ParameterDevice* device) { device_ = device; }

    // The recorder's notification: 0 link state (1 connected), 1 report, 2 write acknowledgement.
    void notify(unsigned event, long data);
    void connected(bool up);
    void report(unsigned number, uint16_t value);
    void acknowledge(long data);

    // The Read all and Write all buttons.
    void readAll();
    void writeAll();

    // The record the controls hold, converted as the recorder stores it.
    tagDeviceParameters recordOfForm() const;

    uint32_t writeRequest() const { return request_; }
    // A read or write is awaited (timer 100 runs).
    bool waiting() const { return timer_.isActive(); }
    const QTimer& timer() const { return timer_; }
    // Tests shorten the wait; the program keeps kWaitMs.
    void setWaitPeriod(int milliseconds) { timer_.setInterval(milliseconds); }

private:
    struct DateParts {
        int year = 0, month = 0, day = 0;
    };

    void setEnabled(bool enabled);
    void stopWaiting();
    void startWaiting();
    void giveUp();
    void showClockPart(ClockPart part, uint16_t value);
    void clearFields();

    ParameterForm& form_;
    ParameterDevice* device_ = nullptr;
    QTimer timer_;
    uint32_t request_ = kNoWriteRequest;
    // The date being reported, kept whole between its three reports so that their order does not matter
    // (month 2 before day 28 must not be lost on a 31st).
    std::optional<DateParts> date_;
};

} // namespace tessa
