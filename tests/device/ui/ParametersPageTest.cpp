#include "device/ui/ParametersPage.h"

#include "config/ProgramFolder.h"
#include "config/StringTable.h"
#include "device/LinkParameterDevice.h"
#include "platform/DeviceLink.h"
#include "support/EventLoop.h"
#include "support/ScopedConfig.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <vector>

namespace tessa {
namespace {

using test::TempDir;
using test::waitUntil;

QStringList numbers(int first, int last) {
    QStringList items;
    for (int n = first; n <= last; ++n)
        items << QString::number(n);
    return items;
}

// The record the simulated recorder holds, every field a value its control can show.
tagDeviceParameters storedRecord() {
    tagDeviceParameters p{};
    const std::vector<std::pair<size_t, int32_t>> values = {
        {0, 1},   {4, 2},   {8, 7},    {12, 33}, {16, 2},  {20, 1},   {24, 6},    {28, 5},
        {32, 0},  {36, 50}, {40, 20},  {44, 1},  {48, 2},  {52, 1},   {56, 2031}, {60, 2},
        {64, 28}, {68, 21}, {72, 9},   {76, 6},  {80, 12}, {84, 255}, {92, 1},    {96, 1},
        {100, 2}, {104, 6}, {108, 20}, {112, 3}, {116, 8}, {120, 9},  {124, 1}};
    for (const auto& [offset, value] : values)
        setDeviceField(p, offset, value);
    return p;
}

QByteArray bytesOf(const tagDeviceParameters& p) {
    return QByteArray(reinterpret_cast<const char*>(p.bytes()), tagDeviceParameters::kSize);
}

class ParametersPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"TESSA_DEVICE_LINK", "TESSA_DEVICE_SILENT", "TESSA_DEVICE_DELAY_MS",
                                 "TESSA_DEVICE_LIBRARY", "TESSA_DEVICE_DROP_AFTER"})
            environment.unset(name);
        statePath = temp.file(QStringLiteral("device.bin"));
        environment.set("TESSA_DEVICE_STATE", statePath.toUtf8());
        page = std::make_unique<ParametersPage>();
        page->resize(ParametersPage::kDesignSize);
        page->show();
    }
    void TearDown() override {
        if (link)
            link->close();
        page.reset();
    }
    void setEnvironment(const char* name, const char* value) { environment.set(name, value); }
    // The recorder's link, its notifications handed to the page as the main window hands them.
    void openLink() {
        link = std::make_unique<platform::DeviceLink>();
        device = std::make_unique<LinkParameterDevice>(*link);
        page->session().setDevice(device.get());
        QObject::connect(link.get(), &platform::DeviceLink::notification, page.get(),
                         [](unsigned event, long data) {
                             if (ParameterSession* s = ParameterSession::current())
                                 s->notify(event, data);
                         });
        ASSERT_TRUE(link->open()) << link->errorString().toStdString();
    }
    bool readDone() const { return page->readAllButton()->isEnabled() && !page->session().waiting(); }

    test::ScopedConfig config{test::shippedConfigFolder()};
    TempDir temp;
    QString statePath;
    test::ScopedEnvironment environment;
    std::unique_ptr<ParametersPage> page;
    std::unique_ptr<platform::DeviceLink> link;
    std::unique_ptr<LinkParameterDevice> device;
};

TEST_F(ParametersPageTest, EveryCaptionListAndUnitLabel) {
    EXPECT_EQ(page->objectName(), QStringLiteral("dlg142"));
    EXPECT_EQ(ParameterSession::current(), &page->session());
    const std::map<int, int> captions = {
        {1063, 32},  {1064, 33},  {1008, 34},  {1014, 35},  {1016, 36},  {1018, 37},  {1020, 38},
        {1011, 39},  {1012, 40},  {1017, 41},  {1024, 42},  {1025, 43},  {1027, 44},  {1029, 45},
        {1031, 46},  {1033, 47},  {1035, 48},  {1037, 49},  {1038, 50},  {1039, 51},  {1040, 52},
        {1075, 123}, {1049, 125}, {1073, 126}, {1051, 127}, {1057, 128}, {1059, 129}, {1067, 130},
        {1069, 131}, {1071, 132}, {1047, 223}};
    for (const auto& [id, number] : captions) {
        const QString name = QStringLiteral("ctl%1").arg(id);
        QString shown;
        if (auto* label = page->findChild<QLabel*>(name))
            shown = label->text();
        else if (auto* group = page->findChild<QGroupBox*>(name))
            shown = group->title();
        else
            ADD_FAILURE() << "no caption " << id;
        EXPECT_EQ(shown, text(number)) << id;
        EXPECT_FALSE(shown.isEmpty()) << id;
    }
    const std::map<QString, QString> units = {
        {QStringLiteral("ctl1022"), QStringLiteral("V (15-30)")},
        {QStringLiteral("ctl1023"), text(80) + QStringLiteral(" (0-20)")},
        {QStringLiteral("ctl1046"), text(80) + QStringLiteral(" (5-55)")},
        {QStringLiteral("ctl1066"), text(79) + QStringLiteral(" (5-99)")},
        {QStringLiteral("unit1030"), QStringLiteral("(1-10)")},
        {QStringLiteral("unit1043"), QStringLiteral("% (5-40)")}};
    for (const auto& [name, shown] : units) {
        auto* label = page->findChild<QLabel*>(name);
        ASSERT_TRUE(label) << name.toStdString();
        EXPECT_EQ(label->text(), shown);
    }
    const QStringList offOn = {text(56), text(55)};
    const std::map<int, QStringList> lists = {
        {1015, offOn},
        {1045, {text(64), text(65), text(66), text(171)}},
        {1028, {text(59), text(60), text(23)}},
        {1026, {text(59), text(60)}},
        {1034, {text(67), text(68), text(69), text(70), text(71), text(72), text(73)}},
        {1036, {text(67), text(74), text(75), text(76), text(77), text(78)}},
        {1041, {text(55), text(56)}},
        {1044, offOn},
        {1010, {text(61), text(62), text(63)}},
        {1013, {text(57), text(58)}},
        {1021, numbers(1, 6)},
        {1050, {text(118), text(117)}},
        {1074, offOn},
        {1052, {text(119), text(120), text(121)}},
        {1058, QStringList{text(122)} + numbers(2, 7)},
        {1060, numbers(5, 20)},
        {1068, numbers(0, 9)},
        {1070, numbers(0, 9)},
        {1072, numbers(0, 9)},
        {1048, {text(224), text(225)}}};
    for (const auto& [id, items] : lists) {
        QComboBox* list = page->findChild<QComboBox*>(QStringLiteral("ctl%1").arg(id));
        ASSERT_TRUE(list) << id;
        QStringList shown;
        for (int i = 0; i < list->count(); ++i)
            shown << list->itemText(i);
        EXPECT_EQ(shown, items) << id;
        EXPECT_EQ(list->currentIndex(), -1) << id;
    }
    for (int id : {1030, 1032, 1042, 1043, 1019, 1065})
        EXPECT_TRUE(page->findChild<QLineEdit*>(QStringLiteral("ctl%1").arg(id))) << id;
    EXPECT_EQ(page->findChild<QDateEdit*>(QStringLiteral("ctl1007")), page->datePicker());
    EXPECT_EQ(page->findChild<QTimeEdit*>(QStringLiteral("ctl1009")), page->timePicker());
    EXPECT_EQ(page->findChild<QPushButton*>(QStringLiteral("ctl1061"))->text(), text(53));
    EXPECT_EQ(page->findChild<QPushButton*>(QStringLiteral("ctl1062"))->text(), text(54));
    EXPECT_EQ(page->datePicker()->displayFormat(), QStringLiteral("yyyy / MM / dd"));
    EXPECT_EQ(page->palette().color(QPalette::Window), QColor(Qt::white));
    // Nothing works before a recorder is connected.
    EXPECT_FALSE(page->readAllButton()->isEnabled());
    EXPECT_FALSE(page->writeAllButton()->isEnabled());
    EXPECT_FALSE(page->list(1021)->isEnabled());
    EXPECT_FALSE(page->edit(1065)->isEnabled());
    EXPECT_FALSE(page->datePicker()->isEnabled());
}

TEST_F(ParametersPageTest, TheTimePickerShowsTheRecordersClock) {
    page->session().report(14, 1);
    EXPECT_EQ(page->timeFormat(), QStringLiteral("HH:mm"));
    EXPECT_EQ(page->timePicker()->displayFormat(), QStringLiteral("HH:mm"));
    page->session().report(14, 0);
    EXPECT_EQ(page->timeFormat(), QStringLiteral("hh:mm"));
    page->setTime(QTime(15, 45));
    EXPECT_TRUE(page->timePicker()->text().startsWith(QStringLiteral("03:45"))) << "twelve-hour clock";
    page->session().report(13, 1);
    page->setDate(QDate(2026, 3, 4));
    EXPECT_EQ(page->datePicker()->text(), QStringLiteral("03 / 04 / 2026"));
}

TEST_F(ParametersPageTest, ReadsShowsEditsAndWritesEveryFieldOfTheRecorder) {
    {
        QFile file(statePath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytesOf(storedRecord()));
    }
    openLink();
    // The link comes up, the page asks for everything, report 31 ends the read.
    ASSERT_TRUE(waitUntil([&] { return page->list(1072)->currentIndex() == 9 && readDone(); }, 10000));
    const std::map<int, int> shownLists = {{1015, 1},  {1045, 2}, {1028, 2}, {1026, 1}, {1034, 6},
                                           {1036, 5},  {1041, 0}, {1044, 1}, {1010, 2}, {1013, 1},
                                           {1021, 5},  {1050, 1}, {1074, 1}, {1052, 2}, {1058, 6},
                                           {1060, 15}, {1068, 3}, {1070, 8}, {1072, 9}, {1048, 1}};
    for (const auto& [id, index] : shownLists)
        EXPECT_EQ(page->list(id)->currentIndex(), index) << id;
    const std::map<int, QString> shownEdits = {{1030, "7"},  {1032, "33"}, {1042, "50"},
                                               {1043, "20"}, {1019, "12"}, {1065, "25"}};
    for (const auto& [id, text] : shownEdits)
        EXPECT_EQ(page->edit(id)->text(), text) << id;
    EXPECT_EQ(page->datePicker()->date(), QDate(2031, 2, 28));
    EXPECT_EQ(page->timePicker()->time().hour(), 21);
    EXPECT_EQ(page->timePicker()->time().minute(), 9);
    EXPECT_EQ(page->datePicker()->displayFormat(), QStringLiteral("dd / MM / yyyy"));
    EXPECT_EQ(page->timePicker()->displayFormat(), QStringLiteral("HH:mm"));
    EXPECT_TRUE(page->list(1021)->isEnabled());

    // Edited in the controls and written back whole.
    page->list(1021)->setCurrentIndex(0);
    page->edit(1030)->setText(QStringLiteral("99"));
    page->list(1060)->setCurrentIndex(0);
    page->datePicker()->setDate(QDate(2032, 12, 31));
    page->timePicker()->setTime(QTime(7, 30, 44));
    page->writeAllButton()->click();
    EXPECT_FALSE(page->list(1021)->isEnabled());
    ASSERT_TRUE(
        waitUntil([&] { return page->writeAllButton()->isEnabled() && !page->session().waiting(); }, 10000));

    tagDeviceParameters expected = storedRecord();
    expected.displayBrightness = 1;
    expected.triggerLevel = 99;
    expected.ringsBeforeRemoteAnswering = 5;
    expected.offHookVoltage = 250; // 25.5 V was shown as 25
    expected.year = 2032;
    expected.month = 12;
    expected.day = 31;
    expected.hour = 7;
    expected.minute = 30;
    EXPECT_EQ(TempDir::read(statePath), bytesOf(expected));

    // Read again: the recorder now holds what was written.
    page->edit(1030)->clear();
    page->readAllButton()->click();
    EXPECT_TRUE(page->list(1021)->currentIndex() == -1 && page->edit(1042)->text().isEmpty());
    ASSERT_TRUE(waitUntil([&] { return readDone(); }, 10000));
    EXPECT_EQ(page->edit(1030)->text(), QStringLiteral("99"));
    EXPECT_EQ(page->list(1021)->currentIndex(), 0);
}

TEST_F(ParametersPageTest, ALinkThatDropsDuringAReadLeavesThePageDisabled) {
    setEnvironment("TESSA_DEVICE_DROP_AFTER", "6");
    setEnvironment("TESSA_DEVICE_DELAY_MS", "5");
    openLink();
    ASSERT_TRUE(waitUntil([&] { return link->linkUp(); }, 10000));
    ASSERT_TRUE(waitUntil([&] { return !link->linkUp(); }, 10000));
    QApplication::processEvents();
    EXPECT_FALSE(page->readAllButton()->isEnabled());
    EXPECT_FALSE(page->list(1072)->isEnabled());
    EXPECT_FALSE(page->session().waiting()) << "nothing is awaited from a recorder that is gone";
    int shown = 0;
    for (const ParameterField& field : kParameterFields) {
        if (field.kind == FieldKind::List)
            shown += page->list(field.controlId)->currentIndex() >= 0;
        else if (field.kind == FieldKind::Edit)
            shown += !page->edit(field.controlId)->text().isEmpty();
    }
    EXPECT_LE(shown, 6);
    EXPECT_EQ(page->list(1072)->currentIndex(), -1) << "report 31 never came";
    // A read asked for now is refused by the library and changes nothing.
    page->session().readAll();
    EXPECT_FALSE(page->session().waiting());
}

TEST_F(ParametersPageTest, ARecorderThatNeverAnswersIsGivenUpSilently) {
    setEnvironment("TESSA_DEVICE_SILENT", "1");
    page->session().setWaitPeriod(150);
    openLink();
    ASSERT_TRUE(waitUntil([&] { return page->session().waiting(); }, 10000));
    EXPECT_FALSE(page->writeAllButton()->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return page->writeAllButton()->isEnabled(); }, 5000));
    EXPECT_FALSE(page->session().waiting());
    EXPECT_EQ(page->list(1021)->currentIndex(), -1);
    EXPECT_TRUE(page->edit(1030)->text().isEmpty());
}

TEST_F(ParametersPageTest, EnterAndEscapeStayOnThePage) {
    QDialog dialog;
    page->setParent(&dialog);
    page->move(0, 0);
    dialog.resize(ParametersPage::kDesignSize);
    dialog.show();
    page->show();
    page->setControlsEnabled(true);
    QLineEdit* edit = page->edit(1030);
    edit->setFocus();
    for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(edit, &press);
    }
    QApplication::processEvents();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), 0);
    // The dialog itself does close on Escape: the page is what keeps it.
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &escape);
    EXPECT_FALSE(dialog.isVisible());
    page->setParent(nullptr);
}

} // namespace
} // namespace tessa
