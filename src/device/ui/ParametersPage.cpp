#include "device/ui/ParametersPage.h"

#include "config/StringTable.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>

namespace tessa {
namespace {

enum class RowKind { List, Edit, Date, Time };

struct Row {
    int captionId;
    QString caption;
    RowKind kind;
    int controlId;
    QStringList items = {}; // lists
    int unitId = 0;         // edits: a unit label with a control id...
    QString unit = {};      // ...or without one
};

struct Group {
    int captionId;
    QString caption;
    std::vector<Row> rows;
};

QStringList numbers(int first, int last) {
    QStringList items;
    for (int n = first; n <= last; ++n)
        items << QString::number(n);
    return items;
}

QString withRange(const QString& unit, const char* range) {
    return QStringLiteral("%1 (%2)").arg(unit, QLatin1String(range));
}

std::vector<Group> formGroups() {
    const QStringList offOn = {text(56), text(55)};
    const QStringList onOff = {text(55), text(56)};
    return {
        {1063,
         text(32),
         {
             {1008, text(34), RowKind::Time, kTimePickerId},
             {1016, text(36), RowKind::Date, kDatePickerId},
             {1011, text(39), RowKind::List, 1010, {text(61), text(62), text(63)}},
             {1012, text(40), RowKind::List, 1013, {text(57), text(58)}},
             {1014, text(35), RowKind::List, 1015, offOn},
             {1017, text(41), RowKind::List, 1045, {text(64), text(65), text(66), text(171)}},
             {1020, text(38), RowKind::List, 1021, numbers(1, 6)},
             {1018, text(37), RowKind::Edit, 1019, {}, 1023, withRange(text(80), "0-20")},
             {1064, text(33), RowKind::Edit, 1065, {}, 1022, QStringLiteral("V (15-30)")},
         }},
        {1024,
         text(42),
         {
             {1027, text(44), RowKind::List, 1028, {text(59), text(60), text(23)}},
             {1025, text(43), RowKind::List, 1026, {text(59), text(60)}},
             {1047, text(223), RowKind::List, 1048, {text(224), text(225)}},
             {1029, text(45), RowKind::Edit, 1030, {}, 0, QStringLiteral("(1-10)")},
             {1031, text(46), RowKind::Edit, 1032, {}, 1046, withRange(text(80), "5-55")},
             {1033,
              text(47),
              RowKind::List,
              1034,
              {text(67), text(68), text(69), text(70), text(71), text(72), text(73)}},
             {1035,
              text(48),
              RowKind::List,
              1036,
              {text(67), text(74), text(75), text(76), text(77), text(78)}},
             {1037, text(49), RowKind::List, 1041, onOff},
             {1038, text(50), RowKind::Edit, 1042, {}, 1066, withRange(text(79), "5-99")},
             {1039, text(51), RowKind::Edit, 1043, {}, 0, QStringLiteral("% (5-40)")},
             {1040, text(52), RowKind::List, 1044, offOn},
         }},
        {1075,
         text(123),
         {
             {1049, text(125), RowKind::List, 1050, {text(118), text(117)}},
             {1073, text(126), RowKind::List, 1074, offOn},
             {1051, text(127), RowKind::List, 1052, {text(119), text(120), text(121)}},
             {1057, text(128), RowKind::List, 1058, QStringList{text(122)} + numbers(2, 7)},
             {1059, text(129), RowKind::List, 1060, numbers(5, 20)},
             {1067, text(130), RowKind::List, 1068, numbers(0, 9)},
             {1069, text(131), RowKind::List, 1070, numbers(0, 9)},
             {1071, text(132), RowKind::List, 1072, numbers(0, 9)},
         }},
    };
}

QString controlName(int id) {
    return QStringLiteral("ctl%1").arg(id);
}

// The picker has no twelve-hour display without the day-half marker.
QString pickerTimeFormat(const QString& format) {
    return format == QLatin1String("hh:mm") ? QStringLiteral("hh:mm AP") : format;
}

constexpr int kGroupWidth = 270;
constexpr int kRowHeight = 30;
constexpr int kFirstRow = 25;

} // namespace

ParametersPage::ParametersPage(QWidget* parent) : ScrollingForm(parent) {
    setObjectName(QStringLiteral("dlg142"));
    build();
    session_ = std::make_unique<ParameterSession>(*this);
    initialise(kDesignSize);
}

ParametersPage::~ParametersPage() = default;

void ParametersPage::build() {
    // White page; captions and buttons take it as their background.
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::Button, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);
    content()->setPalette(white);
    content()->setAutoFillBackground(true);

    int x = 10;
    for (const Group& group : formGroups()) {
        auto* box = new QGroupBox(group.caption, content());
        box->setObjectName(controlName(group.captionId));
        box->setGeometry(x, 10, kGroupWidth, kFirstRow + int(group.rows.size()) * kRowHeight + 10);
        int y = kFirstRow;
        for (const Row& row : group.rows) {
            auto* caption = new QLabel(row.caption, box);
            caption->setObjectName(controlName(row.captionId));
            caption->setGeometry(10, y, 125, 24);
            caption->setWordWrap(true);
            QWidget* control = nullptr;
            switch (row.kind) {
            case RowKind::List: {
                auto* list = new QComboBox(box);
                list->addItems(row.items);
                list->setCurrentIndex(-1);
                lists_[row.controlId] = list;
                control = list;
                control->setGeometry(140, y, 120, 24);
                break;
            }
            case RowKind::Edit: {
                auto* edit = new QLineEdit(box);
                edits_[row.controlId] = edit;
                control = edit;
                control->setGeometry(140, y, 50, 24);
                auto* unit = new QLabel(row.unit, box);
                unit->setObjectName(row.unitId ? controlName(row.unitId)
                                               : QStringLiteral("unit%1").arg(row.controlId));
                unit->setGeometry(195, y, 70, 24);
                break;
            }
            case RowKind::Date:
                date_ = new QDateEdit(QDate::currentDate(), box);
                date_->setDateRange(QDate(ParameterSession::kFirstYear, 1, 1),
                                    QDate(ParameterSession::kLastYear, 12, 31));
                date_->setCalendarPopup(true);
                control = date_;
                control->setGeometry(140, y, 120, 24);
                break;
            case RowKind::Time:
                time_ = new QTimeEdit(QTime::currentTime(), box);
                control = time_;
                control->setGeometry(140, y, 120, 24);
                break;
            }
            control->setObjectName(controlName(row.controlId));
            y += kRowHeight;
        }
        x += kGroupWidth + 10;
    }
    const int buttonsTop = kDesignSize.height() - 40;
    readAll_ = new QPushButton(text(53), content());
    readAll_->setObjectName(controlName(kReadAllButtonId));
    readAll_->setGeometry(10, buttonsTop, 120, 30);
    writeAll_ = new QPushButton(text(54), content());
    writeAll_->setObjectName(controlName(kWriteAllButtonId));
    writeAll_->setGeometry(140, buttonsTop, 120, 30);
    connect(readAll_, &QPushButton::clicked, this, [this] { session_->readAll(); });
    connect(writeAll_, &QPushButton::clicked, this, [this] { session_->writeAll(); });
}

QComboBox* ParametersPage::list(int controlId) const {
    const auto it = lists_.find(controlId);
    return it == lists_.end() ? nullptr : it->second;
}

QLineEdit* ParametersPage::edit(int controlId) const {
    const auto it = edits_.find(controlId);
    return it == edits_.end() ? nullptr : it->second;
}

void ParametersPage::setListIndex(int controlId, int index) {
    if (QComboBox* l = list(controlId))
        l->setCurrentIndex(index >= 0 && index < l->count() ? index : -1);
}

int ParametersPage::listIndex(int controlId) const {
    const QComboBox* l = list(controlId);
    return l ? l->currentIndex() : -1;
}

void ParametersPage::setEditText(int controlId, const QString& text) {
    if (QLineEdit* e = edit(controlId))
        e->setText(text);
}

QString ParametersPage::editText(int controlId) const {
    const QLineEdit* e = edit(controlId);
    return e ? e->text() : QString();
}

QDate ParametersPage::date() const {
    return date_->date();
}

void ParametersPage::setDate(const QDate& date) {
    date_->setDate(date);
}

QTime ParametersPage::time() const {
    return time_->time();
}

void ParametersPage::setTime(const QTime& time) {
    time_->setTime(time);
}

void ParametersPage::setDateFormat(const QString& format) {
    dateFormat_ = format;
    date_->setDisplayFormat(format);
}

void ParametersPage::setTimeFormat(const QString& format) {
    timeFormat_ = format;
    time_->setDisplayFormat(pickerTimeFormat(format));
}

void ParametersPage::setControlsEnabled(bool enabled) {
    date_->setEnabled(enabled);
    time_->setEnabled(enabled);
    for (const auto& [id, l] : lists_)
        l->setEnabled(enabled);
    for (const auto& [id, e] : edits_)
        e->setEnabled(enabled);
    readAll_->setEnabled(enabled);
    writeAll_->setEnabled(enabled);
}

namespace {
bool swallowedKey(const QEvent* event) {
    const auto* key = static_cast<const QKeyEvent*>(event);
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Escape;
}
} // namespace

bool ParametersPage::event(QEvent* event) {
    // Accepting the override keeps window shortcuts (a dialog's default button, Escape to close) from
    // taking the key; the key press then ends here.
    if (event->type() == QEvent::ShortcutOverride && swallowedKey(event)) {
        event->accept();
        return true;
    }
    return ScrollingForm::event(event);
}

void ParametersPage::keyPressEvent(QKeyEvent* event) {
    if (swallowedKey(event)) {
        event->accept();
        return;
    }
    ScrollingForm::keyPressEvent(event);
}

} // namespace tessa
