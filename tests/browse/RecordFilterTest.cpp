// The filter of a record list page: each field it looks in, numbers typed with blanks or +, and that it
// follows the page's rows (sorting, removal, a new listing, changed texts) without changing them.

#include "browse/RecordFilter.h"

#include "browse/RecordListModel.h"
#include "config/ProgramFolder.h"
#include "store/LoadSink.h"
#include "support/FakeLoadSink.h"
#include "support/TempDir.h"

#include <cstring>
#include <deque>
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QElapsedTimer>

namespace record_filter_test {

using namespace tessa;
using tessa::test::TempDir;

class RecordFilterTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureCoreApplication();
        config.write("TessaLang.ini", "[English]\r\n0018=Incoming\r\n0020=Outgoing\r\n0021=Note\r\n");
        setConfigLocations(portableConfigLocations(config.path()));
        model = std::make_unique<RecordListModel>(
            PageAll, ListDateTime(QLocale(QLocale::English, QLocale::UnitedKingdom)));
        model->setModelCode(ModelVX5);
        filter.setSourceModel(model.get());
    }
    void TearDown() override { setConfigLocations(portableConfigLocations(QStringLiteral("/nonexistent"))); }

    CallRecord* record(uint32_t type, const QString& number, const QString& name, const QString& path,
                       int day = 15) {
        CallRecord& r = records.emplace_back();
        std::memset(&r, 0, sizeof r);
        r.valid = 1;
        r.callType = type;
        r.number.setText(number);
        r.name.setText(name);
        r.fullPath.setText(path);
        r.time.year = 2018;
        r.time.month = 1;
        r.time.day = uint16_t(day);
        r.time.hour = 9;
        r.time.minute = 30;
        r.time.second = 12;
        return &r;
    }
    // The numbers of the rows shown, in their order.
    QStringList shown(const QString& typed) {
        filter.setFilterText(typed);
        filter.finishPreparing();
        QStringList numbers;
        for (int row = 0; row < filter.rowCount(); ++row)
            numbers << model->record(filter.modelRow(row))->number.text();
        return numbers;
    }

    TempDir config;
    std::deque<CallRecord> records;
    std::unique_ptr<RecordListModel> model;
    RecordFilterProxy filter;
};

TEST_F(RecordFilterTest, FindsEachFieldWithoutRegardToCase) {
    CallRecord* alice =
        record(CallIncoming, "5551234", "Alice Smith", "E:\\201801\\20180115093012-I-5551234.wav");
    CallRecord* office =
        record(CallOutgoing, "0301112222", "", "E:\\201801\\20180120093012-O-0301112222.wav", 20);
    std::memcpy(office->bytes() + 9, "RM:Lawyer Meyer", 15);
    CallRecord* note = record(CallNote, "777", "", "E:\\201802\\20180203101010-N.wav", 3);
    model->appendRows({alice, office, note});

    EXPECT_EQ(shown(QStringLiteral("alice")), QStringList({"5551234"}));
    EXPECT_EQ(shown(QStringLiteral("SMITH")), QStringList({"5551234"}));
    EXPECT_EQ(shown(QStringLiteral("555")), QStringList({"5551234"}));
    EXPECT_EQ(shown(QStringLiteral("meyer")), QStringList({"0301112222"})); // the remark
    EXPECT_EQ(shown(QStringLiteral("201802")), QStringList({"777"}));       // the path
    const QString date = model->cellText(1, RecordListModel::ColumnTime);
    ASSERT_FALSE(date.isEmpty());
    EXPECT_EQ(shown(date.left(date.indexOf(QLatin1Char(' ')))), QStringList({"0301112222"})); // the date text
    EXPECT_EQ(shown(QStringLiteral("-o-")), QStringList({"0301112222"}));
    // A note's number is not shown, so it is not found (its path still is).
    EXPECT_EQ(shown(QStringLiteral("777")), QStringList());
    EXPECT_EQ(shown(QStringLiteral("nobody")), QStringList());
    EXPECT_EQ(shown(QStringLiteral("   ")), QStringList({"5551234", "0301112222", "777"}));
    EXPECT_EQ(shown(QString()), QStringList({"5551234", "0301112222", "777"}));
    // The page itself keeps all its rows.
    EXPECT_EQ(model->rowCount(), 3);
}

TEST_F(RecordFilterTest, DigitsFindNumbersWrittenWithBlanksOrAPlus) {
    model->appendRows({record(CallIncoming, "+49 171 5551234", "", "a.wav"),
                       record(CallIncoming, "030 1112222", "", "b.wav"),
                       record(CallIncoming, "4930999", "", "c.wav")});
    EXPECT_EQ(shown(QStringLiteral("1715551")), QStringList({"+49 171 5551234"}));
    EXPECT_EQ(shown(QStringLiteral("0301112")), QStringList({"030 1112222"}));
    EXPECT_EQ(shown(QStringLiteral("+49 30")), QStringList({"4930999"}));
    EXPECT_EQ(shown(QStringLiteral("+49")), QStringList({"+49 171 5551234", "4930999"}));
    EXPECT_EQ(shown(QStringLiteral("(030) 111-2222")), QStringList({"030 1112222"}));
    // Text with letters is matched as written, not as digits.
    EXPECT_EQ(shown(QStringLiteral("x0301112")), QStringList());
}

TEST_F(RecordFilterTest, FollowsSortingRemovalChangedTextsAndANewListing) {
    model->appendRows({record(CallIncoming, "300", "Carol", "c.wav"),
                       record(CallIncoming, "100", "Anna", "a.wav"),
                       record(CallIncoming, "200", "Anne", "b.wav")});
    EXPECT_EQ(shown(QStringLiteral("ann")), QStringList({"100", "200"}));
    ASSERT_TRUE(model->sortByColumnClick(RecordListModel::ColumnNumber));
    model->sortByColumnClick(RecordListModel::ColumnNumber); // descending
    EXPECT_EQ(filter.rowCount(), 2);
    EXPECT_EQ(model->record(filter.modelRow(0))->number.text(), QStringLiteral("200"));

    // A changed text is searched as it now stands.
    model->setCellText(model->rowOf(&records[0]), RecordListModel::ColumnNumber,
                       QStringLiteral("300 Annabel"));
    EXPECT_EQ(filter.rowCount(), 3);
    model->removeRow(model->rowOf(&records[1]));
    EXPECT_EQ(filter.rowCount(), 2);
    EXPECT_EQ(filter.keptEntries(), 2);

    // A new listing while filtered: the new rows are filtered by the same text.
    model->clear();
    EXPECT_EQ(filter.keptEntries(), 0);
    EXPECT_EQ(filter.rowCount(), 0);
    model->appendRows(
        {record(CallIncoming, "400", "Annika", "d.wav"), record(CallIncoming, "500", "Bert", "e.wav")});
    EXPECT_EQ(filter.rowCount(), 1);
    EXPECT_EQ(filter.filterText(), QStringLiteral("ann"));
    EXPECT_EQ(model->record(filter.modelRow(0))->number.text(), QStringLiteral("400"));
    EXPECT_EQ(filter.shownRow(1), -1);
    EXPECT_EQ(filter.shownRow(0), 0);
}

TEST_F(RecordFilterTest, TheFirstFilterOfABigPageIsPreparedBetweenEvents) {
    std::vector<CallRecord*> rows;
    for (int i = 0; i < 20000; ++i)
        rows.push_back(record(CallIncoming, QString::number(1000000 + i), QStringLiteral("Caller %1").arg(i),
                              QStringLiteral("Q:\\201801\\%1.wav").arg(i)));
    model->appendRows(rows);
    int applied = 0;
    QObject::connect(&filter, &RecordFilterProxy::filterApplied, [&] { ++applied; });
    filter.setFilterText(QStringLiteral("caller 1999"));
    // The old rows stay while the texts are made; no slice is longer than a few milliseconds, so the
    // window keeps answering.
    EXPECT_TRUE(filter.isPreparing());
    EXPECT_EQ(filter.rowCount(), 20000);
    QElapsedTimer clock;
    clock.start();
    while (filter.isPreparing() && clock.elapsed() < 30000)
        QCoreApplication::processEvents();
    ASSERT_FALSE(filter.isPreparing());
    EXPECT_EQ(applied, 1);
    EXPECT_EQ(filter.keptEntries(), 20000);
    EXPECT_EQ(filter.rowCount(), 11); // 1999 and 19990-19999
    // With the texts kept, the next keystroke applies at once.
    filter.setFilterText(QStringLiteral("caller 19995"));
    EXPECT_FALSE(filter.isPreparing());
    EXPECT_EQ(filter.rowCount(), 1);
}

} // namespace record_filter_test
