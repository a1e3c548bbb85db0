#include "device/ParameterSession.h"

#include "support/EventLoop.h"

#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <QCoreApplication>
#include <QThread>
#include <vector>

namespace tessa {
namespace {

// The page's controls as plain values; lists know their item counts as the page's lists do.
class FakeForm : public ParameterForm {
public:
    FakeForm() {
        const std::map<int, int> counts = {{1015, 2},  {1045, 4},  {1028, 3},  {1026, 2},  {1034, 7},
                                           {1036, 6},  {1041, 2},  {1044, 2},  {1010, 3},  {1013, 2},
                                           {1021, 6},  {1050, 2},  {1074, 2},  {1052, 3},  {1058, 7},
                                           {1060, 16}, {1068, 10}, {1070, 10}, {1072, 10}, {1048, 2}};
        for (const auto& [id, count] : counts)
            lists[id] = {count, -1};
        for (int id : {1030, 1032, 1042, 1043, 1019, 1065})
            edits[id] = QStringLiteral("?");
    }
    void setListIndex(int id, int index) override {
        auto& l = lists.at(id);
        l.second = index >= 0 && index < l.first ? index : -1;
    }
    int listIndex(int id) const override { return lists.at(id).second; }
    void setEditText(int id, const QString& text) override { edits.at(id) = text; }
    QString editText(int id) const override { return edits.at(id); }
    QDate date() const override { return shownDate; }
    void setDate(const QDate& d) override { shownDate = d; }
    QTime time() const override { return shownTime; }
    void setTime(const QTime& t) override { shownTime = t; }
    void setDateFormat(const QString& f) override { dateFormat = f; }
    void setTimeFormat(const QString& f) override { timeFormat = f; }
    void setControlsEnabled(bool e) override { enabled = e; }

    std::map<int, std::pair<int, int>> lists; // count, selection
    std::map<int, QString> edits;
    QDate shownDate{2026, 1, 31};
    QTime shownTime{10, 20, 30};
    QString dateFormat, timeFormat;
    bool enabled = true;
};

class FakeDevice : public ParameterDevice {
public:
    bool readAll() override {
        ++reads;
        return acceptRead;
    }
    bool writeAll(const tagDeviceParameters& p, uint32_t* request) override {
        written.push_back(p);
        *request = nextRequest;
        return acceptWrite;
    }
    int reads = 0;
    bool acceptRead = true;
    bool acceptWrite = true;
    uint32_t nextRequest = 7;
    std::vector<tagDeviceParameters> written;
};

class ParameterSessionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::ensureCoreApplication(); }
    void SetUp() override {
        session = std::make_unique<ParameterSession>(form);
        session->setDevice(&device);
    }
    // Connected, read posted and run, fields emptied, waiting for the reports.
    void connectAndRead() {
        session->notify(0, 1);
        ASSERT_TRUE(form.enabled);
        ASSERT_TRUE(test::waitUntil([&] { return device.reads == 1; }));
        ASSERT_FALSE(form.enabled);
        ASSERT_TRUE(session->waiting());
    }
    void reportValue(uint16_t number, uint16_t value) {
        session->notify(1, encodeDeviceReport(number, value));
    }
    tagDeviceParameters writeAndGetRecord() {
        session->writeAll();
        EXPECT_FALSE(device.written.empty());
        return device.written.empty() ? tagDeviceParameters{} : device.written.back();
    }

    FakeForm form;
    FakeDevice device;
    std::unique_ptr<ParameterSession> session;
};

TEST_F(ParameterSessionTest, OpensWithFirstFormatsDisabledAndAsTheCurrentPage) {
    EXPECT_FALSE(form.enabled);
    EXPECT_EQ(form.dateFormat, QStringLiteral("yyyy / MM / dd"));
    EXPECT_EQ(form.timeFormat, QStringLiteral("hh:mm"));
    EXPECT_EQ(ParameterSession::current(), session.get());
    EXPECT_EQ(session->timer().interval(), 8000);
    EXPECT_EQ(session->timer().objectName(), QStringLiteral("timer100"));
    session.reset();
    EXPECT_EQ(ParameterSession::current(), nullptr);
}

TEST_F(ParameterSessionTest, AReadEmptiesTheFieldsAndEndsWithReport31) {
    connectAndRead();
    for (const auto& [id, list] : form.lists)
        EXPECT_EQ(list.second, -1) << id;
    for (const auto& [id, text] : form.edits)
        EXPECT_TRUE(text.isEmpty()) << id;
    EXPECT_EQ(form.shownDate, QDate(2026, 1, 31)) << "the pickers keep their values";

    reportValue(20, 3);
    EXPECT_EQ(form.lists[1021].second, 2) << "brightness 3 is the third item";
    reportValue(28, 5);
    EXPECT_EQ(form.lists[1060].second, 0);
    reportValue(129, 255);
    EXPECT_EQ(form.edits[1065], QStringLiteral("25"));
    reportValue(3, 99);
    EXPECT_EQ(form.edits[1030], QStringLiteral("99"));
    reportValue(1, 3);
    EXPECT_EQ(form.lists[1045].second, 3);
    reportValue(7, 9); // beyond the list: nothing selected
    EXPECT_EQ(form.lists[1034].second, -1);
    reportValue(22, 1);
    EXPECT_EQ(form.lists[1048].second, 1);
    EXPECT_FALSE(form.enabled);
    EXPECT_TRUE(session->waiting());

    reportValue(31, 4);
    EXPECT_EQ(form.lists[1072].second, 4);
    EXPECT_TRUE(form.enabled);
    EXPECT_FALSE(session->waiting());
}

TEST_F(ParameterSessionTest, IgnoredReportNumbersChangeNothing) {
    connectAndRead();
    const auto lists = form.lists;
    const auto edits = form.edits;
    for (uint16_t number : {2, 19, 23, 32, 64, 127, 130, 0xFFFF})
        reportValue(number, 1);
    EXPECT_EQ(form.lists, lists);
    EXPECT_EQ(form.edits, edits);
    EXPECT_EQ(form.shownDate, QDate(2026, 1, 31));
    EXPECT_EQ(form.shownTime, QTime(10, 20, 30));
    EXPECT_FALSE(form.enabled);
}

TEST_F(ParameterSessionTest, PickerFormatsFollowReports13And14) {
    reportValue(14, 1);
    EXPECT_EQ(form.timeFormat, QStringLiteral("HH:mm"));
    EXPECT_EQ(form.lists[1013].second, 1);
    reportValue(14, 0);
    EXPECT_EQ(form.timeFormat, QStringLiteral("hh:mm"));
    reportValue(14, 1);
    reportValue(14, 5);
    EXPECT_EQ(form.timeFormat, QStringLiteral("hh:mm")) << "anything but 1 is the twelve-hour clock";
    reportValue(13, 1);
    EXPECT_EQ(form.dateFormat, QStringLiteral("MM / dd / yyyy"));
    reportValue(13, 2);
    EXPECT_EQ(form.dateFormat, QStringLiteral("dd / MM / yyyy"));
    reportValue(13, 0);
    EXPECT_EQ(form.dateFormat, QStringLiteral("yyyy / MM / dd"));
    reportValue(13, 2);
    reportValue(13, 3);
    EXPECT_EQ(form.dateFormat, QStringLiteral("dd / MM / yyyy"));
    EXPECT_EQ(form.lists[1010].second, -1);
}

TEST_F(ParameterSessionTest, DateAndTimeReportsComposeInAnyOrder) {
    // On the 31st, month 2 arrives before day 28: the date ends as reported, not in January.
    reportValue(15, 2);
    reportValue(16, 28);
    reportValue(128, 2027);
    EXPECT_EQ(form.shownDate, QDate(2027, 2, 28));
    // Day 30 before month 4: the 30th is kept although February has no such day.
    reportValue(16, 30);
    reportValue(15, 4);
    EXPECT_EQ(form.shownDate, QDate(2027, 4, 30));
    // Parts a picker cannot show are left out.
    reportValue(15, 13);
    reportValue(16, 0);
    reportValue(128, 0);
    EXPECT_EQ(form.shownDate, QDate(2027, 4, 30));
    reportValue(17, 23);
    reportValue(18, 5);
    EXPECT_EQ(form.shownTime, QTime(23, 5, 30));
    reportValue(17, 24);
    reportValue(18, 60);
    EXPECT_EQ(form.shownTime, QTime(23, 5, 30));
    // A date the user picked meanwhile is the one the next report changes.
    form.shownDate = QDate(2030, 6, 15);
    reportValue(16, 1);
    EXPECT_EQ(form.shownDate, QDate(2030, 6, 1));
}

TEST_F(ParameterSessionTest, WriteConvertsTheFieldsAndWaitsForItsOwnAcknowledgement) {
    connectAndRead();
    reportValue(31, 0);
    form.lists[1021].second = 2; // brightness "3"
    form.lists[1060].second = 0; // remote rings "5"
    form.edits[1065] = QStringLiteral("25");
    form.edits[1030] = QStringLiteral(" 99 ");
    form.edits[1032] = QStringLiteral("12abc");
    form.edits[1042] = QStringLiteral("-4");
    form.edits[1043] = QStringLiteral("99999999999");
    form.lists[1015].second = 1;
    form.lists[1048].second = -1;
    form.shownDate = QDate(2026, 11, 5);
    form.shownTime = QTime(14, 7, 59);
    const tagDeviceParameters p = writeAndGetRecord();
    EXPECT_EQ(p.displayBrightness.get(), 3);
    EXPECT_EQ(p.ringsBeforeRemoteAnswering.get(), 5);
    EXPECT_EQ(p.offHookVoltage.get(), 250);
    EXPECT_EQ(p.triggerLevel.get(), 99) << "sent as typed although the label says 1-10";
    EXPECT_EQ(p.triggerEndTime.get(), 0) << "text that is not a number";
    EXPECT_EQ(p.storageReminder.get(), -4);
    EXPECT_EQ(p.cardReservedSpace.get(), 0) << "beyond 32 bits is not a number";
    EXPECT_EQ(p.callerIdTimeSync.get(), 1);
    EXPECT_EQ(p.manualRecordingMode.get(), -1) << "no selection";
    EXPECT_EQ(p.year.get(), 2026);
    EXPECT_EQ(p.month.get(), 11);
    EXPECT_EQ(p.day.get(), 5);
    EXPECT_EQ(p.hour.get(), 14);
    EXPECT_EQ(p.minute.get(), 7);
    EXPECT_EQ(p.unused.get(), 0);
    EXPECT_EQ(session->writeRequest(), 7u);
    EXPECT_FALSE(form.enabled);
    EXPECT_TRUE(session->waiting());

    session->notify(2, encodeDeviceAcknowledgement(8));
    EXPECT_FALSE(form.enabled) << "another write's acknowledgement";
    EXPECT_TRUE(session->waiting());
    session->notify(2, encodeDeviceAcknowledgement(7));
    EXPECT_TRUE(form.enabled);
    EXPECT_FALSE(session->waiting());
}

TEST_F(ParameterSessionTest, AVoltageBeyondThe32BitFieldIsSentAsItsLargestValue) {
    form.edits[1065] = QStringLiteral("300000000");
    EXPECT_EQ(writeAndGetRecord().offHookVoltage.get(), INT32_MAX);
    form.edits[1065] = QStringLiteral("-300000000");
    EXPECT_EQ(writeAndGetRecord().offHookVoltage.get(), INT32_MIN);
}

TEST_F(ParameterSessionTest, RefusedReadsAndWritesChangeNothing) {
    session->notify(0, 1);
    ASSERT_TRUE(test::waitUntil([&] { return device.reads == 1; }));
    reportValue(31, 0);
    reportValue(3, 6);
    device.acceptRead = false;
    session->readAll();
    EXPECT_EQ(form.edits[1030], QStringLiteral("6"));
    EXPECT_TRUE(form.enabled);
    EXPECT_FALSE(session->waiting());

    device.acceptWrite = false;
    session->writeAll();
    EXPECT_TRUE(form.enabled);
    EXPECT_FALSE(session->waiting());
    EXPECT_EQ(session->writeRequest(), kNoWriteRequest);

    device.acceptWrite = true;
    device.nextRequest = kNoWriteRequest; // accepted, but no acknowledgement will come
    session->writeAll();
    EXPECT_TRUE(form.enabled);
    EXPECT_FALSE(session->waiting());
    session->notify(2, encodeDeviceAcknowledgement(0xFFFF));
    EXPECT_TRUE(form.enabled);
}

TEST_F(ParameterSessionTest, ANeverEndingReadIsGivenUpAfterTheWait) {
    session->setWaitPeriod(40);
    connectAndRead();
    reportValue(20, 2);
    ASSERT_TRUE(test::waitUntil([&] { return form.enabled; }));
    EXPECT_FALSE(session->waiting());
    EXPECT_EQ(form.lists[1021].second, 1);
    EXPECT_TRUE(form.edits[1030].isEmpty()) << "fields not reported stay empty";
}

TEST_F(ParameterSessionTest, LosingTheLinkDisablesAndEndsTheWait) {
    connectAndRead();
    session->notify(0, 0);
    EXPECT_FALSE(form.enabled);
    EXPECT_FALSE(session->waiting());
    // Any link state but 1 is a link that is down.
    session->notify(0, 2);
    EXPECT_FALSE(form.enabled);
    // Connected again: a new read is asked for.
    session->notify(0, 1);
    ASSERT_TRUE(test::waitUntil([&] { return device.reads == 2; }));
    // A posted read that arrives after the page is gone is dropped.
    session->notify(0, 1);
    session.reset();
    test::drainEvents();
    EXPECT_EQ(device.reads, 2);
}

} // namespace
} // namespace tessa
