// A query over 100 000 call records with all three conditions on: a time range, a piece of the number
// and three call types. "Walk" is the matching alone on the calling thread; "Search" is the whole search
// as the dialog runs it: the worker walks while the GUI thread takes the hits in batches onto a results
// page, from the start until the end is delivered.
//
//   cmake --preset bench -B build/bench && cmake --build build/bench --target bench_query
//   build/bench/bin/bench_query

#include "browse/QuerySearch.h"
#include "browse/RecordListModel.h"
#include "store/RecordCollection.h"

#include <benchmark/benchmark.h>
#include <QCoreApplication>
#include <random>

using namespace tessa;

namespace {

constexpr int kRecords = 100000;

RecordCollection& collection() {
    static RecordCollection records = [] {
        RecordCollection out;
        std::mt19937 rng(5);
        for (int i = 0; i < kRecords; ++i) {
            CallRecord r{};
            r.cardBytes[0] = 1;
            r.valid = 1;
            r.callType = 2 + rng() % 7;
            r.time.year = uint16_t(2017 + rng() % 3);
            r.time.month = uint16_t(1 + rng() % 12);
            r.time.day = uint16_t(1 + rng() % 28);
            r.time.hour = uint16_t(rng() % 24);
            r.time.minute = uint16_t(rng() % 60);
            r.time.second = uint16_t(rng() % 60);
            QString number;
            for (int d = 0, n = 6 + int(rng() % 6); d < n; ++d)
                number += QChar(char16_t(u'0' + rng() % 10));
            r.number.setText(number);
            out.append(r);
        }
        return out;
    }();
    return records;
}

QueryConditions allThree() {
    QueryForm form;
    form.timeBox = true;
    form.start = QDateTime(QDate(2018, 1, 1), QTime(0, 0));
    form.end = QDateTime(QDate(2018, 12, 31), QTime(23, 59, 59));
    form.numberBox = true;
    form.numberText = QStringLiteral("12");
    form.typeBox = true;
    form.typeBoxes = {true, true, true, false, false};
    return queryConditions(form);
}

class CountingReport : public QueryWalkReport {
public:
    void progress(uint32_t) override {}
    void hits(std::vector<CallRecord*> found) override { count += found.size(); }
    size_t count = 0;
};

void BM_QueryWalk(benchmark::State& state) {
    RecordCollection& records = collection();
    const QueryConditions conditions = allThree();
    std::atomic<bool> stop{false}, quit{false};
    size_t hits = 0;
    for (auto _ : state) {
        CountingReport report;
        walkQuery(records, conditions, stop, quit, report);
        hits = report.count;
    }
    state.counters["hits"] = double(hits);
    state.SetItemsProcessed(int64_t(state.iterations()) * kRecords);
}
BENCHMARK(BM_QueryWalk)->Unit(benchmark::kMillisecond);

void BM_QuerySearch(benchmark::State& state) {
    RecordCollection& records = collection();
    const QueryConditions conditions = allThree();
    std::atomic<bool> quit{false};
    QuerySearch search(quit);
    RecordListModel page(9);
    bool ended = false;
    QObject::connect(&search, &QuerySearch::started, &page, [&](quint32) { page.clear(); });
    QObject::connect(&search, &QuerySearch::hitsFound, &page,
                     [&](const std::vector<CallRecord*>& hits) { page.appendRows(hits); });
    QObject::connect(&search, &QuerySearch::ended, &page, [&](bool) { ended = true; });
    for (auto _ : state) {
        ended = false;
        search.start(records, conditions);
        while (!ended)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    state.counters["hits"] = double(page.rowCount());
    state.SetItemsProcessed(int64_t(state.iterations()) * kRecords);
}
BENCHMARK(BM_QuerySearch)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
