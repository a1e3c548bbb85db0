#include "browse/QuerySearch.h"

#include "store/RecordCollection.h"
#include "support/FakeLoadSink.h"

#include <gtest/gtest.h>

namespace tessa {
namespace {

CallRecord queryRecord(uint32_t type, const QString& number = {}, const QDateTime& when = {},
                       const QString& name = {}) {
    CallRecord r{};
    r.cardBytes[0] = 1;
    r.valid = 1;
    r.callType = type;
    r.number.setText(number);
    r.name.setText(name);
    const QDateTime at = when.isValid() ? when : QDateTime(QDate(2019, 5, 1), QTime(12, 0));
    r.time.year = uint16_t(at.date().year());
    r.time.month = uint16_t(at.date().month());
    r.time.day = uint16_t(at.date().day());
    r.time.hour = uint16_t(at.time().hour());
    r.time.minute = uint16_t(at.time().minute());
    r.time.second = uint16_t(at.time().second());
    return r;
}

QueryConditions numberQuery(const QString& text) {
    QueryForm form;
    form.numberBox = true;
    form.numberText = text;
    return queryConditions(form);
}

QueryConditions typeQuery(QueryTypeBoxes boxes) {
    QueryForm form;
    form.typeBox = true;
    form.typeBoxes = boxes;
    return queryConditions(form);
}

QueryConditions timeQuery(const QDateTime& start, const QDateTime& end) {
    QueryForm form;
    form.timeBox = true;
    form.start = start;
    form.end = end;
    return queryConditions(form);
}

TEST(QueryConditionsTest, EachConditionIsOnOnlyWithSomethingToLookFor) {
    QueryForm form;
    EXPECT_FALSE(queryConditions(form).anyOn());

    // A ticked number box with an empty field searches nothing and is remembered as off.
    form.numberBox = true;
    EXPECT_FALSE(queryConditions(form).numberOn);
    EXPECT_EQ(querySettings(form).numCond, 0);
    EXPECT_EQ(querySettings(form).searchedNum, QString());

    // The call-type box with no type ticked finds every type, so it is no condition at all.
    form.typeBox = true;
    EXPECT_FALSE(queryConditions(form).typeOn);
    form.typeBoxes[BoxAnswering] = true;
    EXPECT_TRUE(queryConditions(form).typeOn);
    form.typeBox = false;
    EXPECT_FALSE(queryConditions(form).typeOn);

    // The text counts only while its box is ticked, and then it is what the settings keep.
    form.numberBox = false;
    form.numberText = QStringLiteral("555");
    EXPECT_FALSE(queryConditions(form).numberOn);
    EXPECT_EQ(querySettings(form).searchedNum, QString());
    form.numberBox = true;
    EXPECT_EQ(querySettings(form).numCond, 1);
    EXPECT_EQ(querySettings(form).searchedNum, QStringLiteral("555"));

    EXPECT_EQ(querySettings(form).dateCond, 0);
    form.timeBox = true;
    EXPECT_EQ(querySettings(form).dateCond, 1);
    EXPECT_TRUE(queryConditions(form).timeOn);
}

TEST(QueryConditionsTest, OnlyTheFirst49CharactersOfTheNumberAreSearched) {
    const QString head = QString(48, QLatin1Char('7')) + QLatin1Char('1');
    const QString typed = head + QLatin1Char('9'); // 50 characters, the field's limit
    QueryForm form;
    form.numberBox = true;
    form.numberText = typed;
    EXPECT_EQ(queryConditions(form).number, head);
    EXPECT_EQ(querySettings(form).searchedNum, head);

    // A number holding the first 49 characters but not the 50th is found.
    const CallRecord record = queryRecord(CallIncoming, QStringLiteral("0") + head);
    EXPECT_TRUE(matchesQuery(record, queryConditions(form)));
}

TEST(QueryMatchTest, BothEndsOfTheTimeRangeAreIncluded) {
    const QDateTime start(QDate(2019, 3, 31), QTime(23, 59, 59));
    const QDateTime end(QDate(2019, 4, 2), QTime(0, 0, 0));
    const QueryConditions range = timeQuery(start, end);
    EXPECT_TRUE(matchesQuery(queryRecord(CallIncoming, {}, start), range));
    EXPECT_TRUE(matchesQuery(queryRecord(CallIncoming, {}, end), range));
    EXPECT_TRUE(matchesQuery(queryRecord(CallIncoming, {}, start.addSecs(3600)), range));
    EXPECT_FALSE(matchesQuery(queryRecord(CallIncoming, {}, start.addSecs(-1)), range));
    EXPECT_FALSE(matchesQuery(queryRecord(CallIncoming, {}, end.addSecs(1)), range));

    // The fields' milliseconds are not part of the moment: a record in the field's second is found.
    const QueryConditions fine = timeQuery(start.addMSecs(700), start.addMSecs(900));
    EXPECT_TRUE(matchesQuery(queryRecord(CallIncoming, {}, start), fine));

    // A range whose end comes first holds nothing.
    EXPECT_FALSE(matchesQuery(queryRecord(CallIncoming, {}, start), timeQuery(end, start)));
}

TEST(QueryMatchTest, ARecordTimeThatNamesNoMomentLiesInNoRange) {
    CallRecord record = queryRecord(CallIncoming);
    const QueryConditions all =
        timeQuery(QDateTime(QDate(1800, 1, 1), QTime(0, 0)), QDateTime(QDate(9000, 1, 1), QTime(0, 0)));
    EXPECT_TRUE(matchesQuery(record, all));
    record.time.month = 13;
    EXPECT_FALSE(matchesQuery(record, all));
    record.time.month = 2;
    record.time.day = 30;
    EXPECT_FALSE(matchesQuery(record, all));
    record.time.day = 1;
    record.time.hour = 24;
    EXPECT_FALSE(matchesQuery(record, all));
    // Without the time condition the same record is found.
    EXPECT_TRUE(matchesQuery(record, typeQuery({true, false, false, false, false})));
}

TEST(QueryMatchTest, TheNumberIsSearchedAsAnExactPieceOfTheNumberFieldOnly) {
    const QueryConditions query = numberQuery(QStringLiteral("123"));
    EXPECT_TRUE(matchesQuery(queryRecord(CallIncoming, QStringLiteral("5123")), query));
    EXPECT_TRUE(matchesQuery(queryRecord(CallIncoming, QStringLiteral("123")), query));
    EXPECT_TRUE(matchesQuery(queryRecord(CallIncoming, QStringLiteral("91234")), query));
    EXPECT_FALSE(matchesQuery(
        queryRecord(CallIncoming, QStringLiteral("5555"), {}, QStringLiteral("123 Ltd")), query));
    EXPECT_FALSE(matchesQuery(queryRecord(CallIncoming, QStringLiteral("1 23")), query));
    EXPECT_FALSE(matchesQuery(queryRecord(CallIncoming, QStringLiteral("12")), query));
    EXPECT_FALSE(matchesQuery(queryRecord(CallIncoming), query));
    // Case counts.
    EXPECT_FALSE(matchesQuery(queryRecord(CallIncoming, QStringLiteral("x*AB#")), numberQuery("ab")));
    EXPECT_TRUE(matchesQuery(queryRecord(CallIncoming, QStringLiteral("x*AB#")), numberQuery("AB")));
}

TEST(QueryMatchTest, ANumberFieldWithoutTerminatorIsSearchedToItsEndOnly) {
    CallRecord record = queryRecord(CallIncoming);
    for (auto& unit : record.number.units)
        unit = u'1';
    record.number.units[63] = u'9';
    // The name field that follows must not extend the number.
    record.name.setText(QStringLiteral("8"));
    EXPECT_TRUE(matchesQuery(record, numberQuery(QStringLiteral("19"))));
    EXPECT_FALSE(matchesQuery(record, numberQuery(QStringLiteral("98"))));
}

TEST(QueryMatchTest, EachTypeBoxCoversItsCallTypes) {
    const std::array<std::vector<uint32_t>, kQueryTypeBoxCount> covered = {{
        {CallIncoming},                       // 1051
        {CallOutgoing},                       // 1052
        {CallMissed},                         // 1053
        {CallNote, CallNote2, CallTriggered}, // 1054
        {CallAnswering},                      // 1055
    }};
    for (int box = 0; box < kQueryTypeBoxCount; ++box) {
        QueryTypeBoxes boxes{};
        boxes[size_t(box)] = true;
        const QueryConditions query = typeQuery(boxes);
        for (uint32_t type = 0; type <= 10; ++type) {
            const auto& want = covered[size_t(box)];
            const bool expected = std::find(want.begin(), want.end(), type) != want.end();
            EXPECT_EQ(matchesQuery(queryRecord(type), query), expected) << "box " << box << " type " << type;
        }
    }
}

TEST(QueryMatchTest, AllConditionsMustHoldAndDeletedRecordsAreSkipped) {
    QueryForm form;
    form.timeBox = true;
    form.start = QDateTime(QDate(2019, 1, 1), QTime(0, 0));
    form.end = QDateTime(QDate(2019, 12, 31), QTime(23, 59, 59));
    form.numberBox = true;
    form.numberText = QStringLiteral("55");
    form.typeBox = true;
    form.typeBoxes[BoxOutgoing] = true;
    const QueryConditions query = queryConditions(form);

    const QDateTime inside(QDate(2019, 6, 1), QTime(8, 0));
    CallRecord hit = queryRecord(CallOutgoing, QStringLiteral("0155"), inside);
    EXPECT_TRUE(matchesQuery(hit, query));
    EXPECT_FALSE(matchesQuery(queryRecord(CallIncoming, QStringLiteral("0155"), inside), query));
    EXPECT_FALSE(matchesQuery(queryRecord(CallOutgoing, QStringLiteral("0154"), inside), query));
    EXPECT_FALSE(matchesQuery(queryRecord(CallOutgoing, QStringLiteral("0155"), inside.addYears(1)), query));

    // Only a card valid byte of 0 takes a record out; the in-memory valid field does not.
    hit.valid = 0;
    EXPECT_TRUE(matchesQuery(hit, query));
    hit.cardBytes[0] = 0;
    EXPECT_FALSE(matchesQuery(hit, query));
    EXPECT_FALSE(matchesQuery(hit, typeQuery({true, true, true, true, true})));
}

TEST(QueryFormatTest, TheMomentFieldsUseTheLocaleOrTheFixedFormat) {
    EXPECT_EQ(queryDateTimeFormat(QString(), QStringLiteral("HH:mm:ss")), QString("yyyy/MM/dd hh:mm:ss"));
    EXPECT_EQ(queryDateTimeFormat(QStringLiteral("dd.MM.yyyy"), QStringLiteral("  ")),
              QString("yyyy/MM/dd hh:mm:ss"));
    EXPECT_EQ(queryDateTimeFormat(QStringLiteral("dd.MM.yyyy"), QStringLiteral("HH:mm:ss")),
              QString("dd.MM.yyyy HH:mm:ss"));
    // A locale's long time format names a zone, which a moment of the call log has not.
    const QString german = queryDateTimeFormat(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_TRUE(
        german.startsWith(QLocale(QLocale::German, QLocale::Germany).dateFormat(QLocale::ShortFormat)));
    EXPECT_TRUE(german.contains(QStringLiteral("mm:ss")));
    EXPECT_FALSE(german.contains(QLatin1Char('t')));
}

// Collects what a synchronous walk reports; may set the stop request after a number of hit batches.
class CollectingReport : public QueryWalkReport {
public:
    explicit CollectingReport(std::atomic<bool>* stopAfterFirstHits = nullptr) : stop_(stopAfterFirstHits) {}
    void progress(uint32_t reached) override { positions.push_back(reached); }
    void hits(std::vector<CallRecord*> found) override {
        EXPECT_FALSE(found.empty());
        batches.push_back(found.size());
        all.insert(all.end(), found.begin(), found.end());
        if (stop_)
            *stop_ = true;
    }
    std::vector<uint32_t> positions;
    std::vector<size_t> batches;
    std::vector<CallRecord*> all;

private:
    std::atomic<bool>* stop_;
};

TEST(QueryWalkTest, HitsComeInCollectionOrderAndBatches) {
    RecordCollection records;
    std::vector<CallRecord*> expected;
    for (int i = 0; i < 1000; ++i) {
        CallRecord& r = records.append(queryRecord(i % 3 == 0 ? CallMissed : CallIncoming));
        if (i % 3 == 0)
            expected.push_back(&r);
    }
    std::atomic<bool> stop{false}, quit{false};
    CollectingReport report;
    const QueryConditions missed = typeQuery({false, false, true, false, false});
    EXPECT_TRUE(walkQuery(records, missed, stop, quit, report, {std::chrono::milliseconds(0), 100}));
    EXPECT_EQ(report.all, expected);
    for (const size_t batch : report.batches)
        EXPECT_LE(batch, 100u);
    ASSERT_FALSE(report.positions.empty());
    EXPECT_EQ(report.positions.back(), 1000u);
    EXPECT_TRUE(std::is_sorted(report.positions.begin(), report.positions.end()));
}

TEST(QueryWalkTest, AStopRequestEndsTheWalkBeforeTheNextRecordKeepingTheHitsSoFar) {
    RecordCollection records;
    CallRecord& first = records.append(queryRecord(CallIncoming, QStringLiteral("1")));
    records.append(queryRecord(CallOutgoing, QStringLiteral("2")));
    records.append(queryRecord(CallIncoming, QStringLiteral("3")));
    records.append(queryRecord(CallIncoming, QStringLiteral("4")));

    std::atomic<bool> stop{false}, quit{false};
    CollectingReport report(&stop);
    const QueryConditions incoming = typeQuery({true, false, false, false, false});
    // The first hit goes out at once and asks to stop: the second record is never reached.
    EXPECT_FALSE(walkQuery(records, incoming, stop, quit, report, {std::chrono::milliseconds(1000), 1}));
    EXPECT_EQ(report.all, std::vector<CallRecord*>{&first});

    // The quit flag ends it the same way.
    stop = false;
    CollectingReport quitting;
    quit = true;
    EXPECT_FALSE(walkQuery(records, incoming, stop, quit, quitting));
    EXPECT_TRUE(quitting.all.empty());
}

class QuerySearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureCoreApplication();
        QObject::connect(&search, &QuerySearch::started, [this](quint32 total) {
            events.push_back(QStringLiteral("started %1").arg(total));
            runEnded = false;
        });
        QObject::connect(&search, &QuerySearch::progress, [this](quint32 reached) {
            EXPECT_GE(reached, lastProgress);
            lastProgress = reached;
        });
        QObject::connect(&search, &QuerySearch::hitsFound, [this](const std::vector<CallRecord*>& hits) {
            EXPECT_FALSE(runEnded) << "hits after the end";
            found.insert(found.end(), hits.begin(), hits.end());
        });
        QObject::connect(&search, &QuerySearch::ended, [this](bool wasStopped) {
            ++endedCount;
            runEnded = true;
            stopped = wasStopped;
            events.push_back(QStringLiteral("ended"));
        });
    }

    std::vector<CallRecord*> fill(size_t count) {
        std::vector<CallRecord*> hits;
        for (size_t i = 0; i < count; ++i) {
            CallRecord& r = records.append(queryRecord(CallIncoming, QString::number(i)));
            if (QString::number(i).contains(QStringLiteral("42")))
                hits.push_back(&r);
        }
        return hits;
    }

    std::atomic<bool> quit{false};
    QuerySearch search{quit};
    RecordCollection records;
    QStringList events;
    std::vector<CallRecord*> found;
    quint32 lastProgress = 0;
    int endedCount = 0;
    bool runEnded = false;
    bool stopped = false;
};

TEST_F(QuerySearchTest, TheGuiThreadGetsEveryHitInOrderBetweenStartAndEnd) {
    const std::vector<CallRecord*> expected = fill(20000);
    EXPECT_EQ(search.start(records, QueryConditions{}), QuerySearch::Start::NothingToSearch);
    EXPECT_FALSE(search.running());
    ASSERT_EQ(search.start(records, numberQuery(QStringLiteral("42"))), QuerySearch::Start::Started);
    EXPECT_TRUE(search.running());
    // A second search cannot start while one runs.
    EXPECT_EQ(search.start(records, numberQuery(QStringLiteral("1"))), QuerySearch::Start::NotStarted);
    ASSERT_TRUE(test::waitUntil([&] { return endedCount > 0; }));
    EXPECT_FALSE(search.running());
    EXPECT_FALSE(stopped);
    EXPECT_EQ(found, expected);
    EXPECT_EQ(lastProgress, 20000u);
    EXPECT_EQ(events, QStringList({"started 20000", "ended"}));
    test::drainEvents();
    EXPECT_EQ(endedCount, 1);
}

TEST_F(QuerySearchTest, StoppingWhileSearchingKeepsAPrefixOfTheHits) {
    const std::vector<CallRecord*> expected = fill(200000);
    ASSERT_EQ(search.start(records, numberQuery(QStringLiteral("42"))), QuerySearch::Start::Started);
    search.stopAndWait();
    // Everything is delivered by the time stopAndWait returns, whether the stop came in time or not.
    EXPECT_EQ(endedCount, 1);
    EXPECT_FALSE(search.running());
    ASSERT_LE(found.size(), expected.size());
    EXPECT_TRUE(std::equal(found.begin(), found.end(), expected.begin()));
    if (stopped)
        EXPECT_LT(lastProgress, 200000u);
    else
        EXPECT_EQ(found, expected);
    test::drainEvents();
    EXPECT_EQ(endedCount, 1);

    // The search can run again afterwards, from a clear stop request.
    found.clear();
    ASSERT_EQ(search.start(records, numberQuery(QStringLiteral("42"))), QuerySearch::Start::Started);
    ASSERT_TRUE(test::waitUntil([&] { return endedCount == 2; }));
    EXPECT_FALSE(stopped);
    EXPECT_EQ(found, expected);
}

TEST_F(QuerySearchTest, TheQuitFlagEndsTheSearchBeforeItsFirstRecord) {
    fill(100);
    quit = true;
    ASSERT_EQ(search.start(records, numberQuery(QStringLiteral("4"))), QuerySearch::Start::Started);
    ASSERT_TRUE(test::waitUntil([&] { return endedCount > 0; }));
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(found.empty());
    EXPECT_EQ(events, QStringList({"started 100", "ended"}));
}

} // namespace
} // namespace tessa
