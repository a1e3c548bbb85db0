#pragma once

// The recorder's parameters page: clock, display, recording and answering-machine settings as one form
// on a scrolling form, read from and written to the connected recorder. The page is the current
// parameters page of the process while it exists (ParameterSession::current()).

#include "device/ParameterSession.h"
#include "device/ui/ScrollingForm.h"

#include <map>
#include <memory>

class QComboBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QTimeEdit;

namespace tessa {

class ParametersPage : public ScrollingForm, public ParameterForm {
    Q_OBJECT
public:
    static constexpr QSize kDesignSize{850, 420};

    explicit ParametersPage(QWidget* parent = nullptr);
    ~ParametersPage() override;

    ParameterSession& session() { return *session_; }

    QComboBox* list(int controlId) const;
    QLineEdit* edit(int controlId) const;
    QDateEdit* datePicker() const { return date_; }
    QTimeEdit* timePicker() const { return time_; }
    QPushButton* readAllButton() const { return readAll_; }
    QPushButton* writeAllButton() const { return writeAll_; }
    // The display formats as the recorder names them ("hh:mm" is the twelve-hour clock).
    QString dateFormat() const { return dateFormat_; }
    QString timeFormat() const { return timeFormat_; }

    // ParameterForm
    void setListIndex(int controlId, int index) override;
    int listIndex(int controlId) const override;
    void setEditText(int controlId, const QString& text) override;
    QString editText(int controlId) const override;
    QDate date() const override;
    void setDate(const QDate& date) override;
    QTime time() const override;
    void setTime(const QTime& time) override;
    void setDateFormat(const QString& format) override;
    void setTimeFormat(const QString& format) override;
    void setControlsEnabled(bool enabled) override;

protected:
    // Enter and Escape stay on the page: they neither close nor reach anything around it.
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void build();

    std::map<int, QComboBox*> lists_;
    std::map<int, QLineEdit*> edits_;
    QDateEdit* date_ = nullptr;
    QTimeEdit* time_ = nullptr;
    QPushButton* readAll_ = nullptr;
    QPushButton* writeAll_ = nullptr;
    QString dateFormat_;
    QString timeFormat_;
    std::unique_ptr<ParameterSession> session_;
};

} // namespace tessa
