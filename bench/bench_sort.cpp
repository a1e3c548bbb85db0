// Sorting a record list page of 100 000 rows by date and time (column 3) and by number and name
// (column 4), and filling the page. "First" sorts a freshly filled page, so the date texts are made
// during the sort; "Again" sorts a page whose texts exist, after the rows were scrambled by another
// column.
//
//   cmake --preset bench -B build/bench && cmake --build build/bench --target bench_sort
//   build/bench/bin/bench_sort

#include "browse/RecordListModel.h"
#include "format/CallRecord.h"

#include <benchmark/benchmark.h>
#include <cstring>
#include <random>

using namespace tessa;

namespace {

constexpr int kRows = 100000;

const std::vector<CallRecord>& records() {
    static const std::vector<CallRecord> all = [] {
        std::mt19937 rng(11);
        const char* const names[] = {"", "", "Bob", "Alice Smith", "Office", "Dr. Who", ""};
        std::vector<CallRecord> out(kRows);
        for (CallRecord& r : out) {
            std::memset(&r, 0, sizeof r);
            r.valid = 1;
            r.callType = 2 + rng() % 7;
            r.marked = rng() % 10 == 0;
            r.time.year = uint16_t(2017 + rng() % 3);
            r.time.month = uint16_t(1 + rng() % 12);
            r.time.day = uint16_t(1 + rng() % 28);
            r.time.hour = uint16_t(rng() % 24);
            r.time.minute = uint16_t(rng() % 60);
            r.time.second = uint16_t(rng() % 60);
            QString number;
            for (int i = 0, n = 6 + int(rng() % 6); i < n; ++i)
                number += QChar(char16_t(u'0' + rng() % 10));
            r.number.setText(number);
            r.name.setText(QString::fromLatin1(names[rng() % 7]));
            r.callDuration = rng() % 4000;
            r.recordingDuration = r.callDuration;
            // A drive without a volume: the file columns stay cheap and empty.
            r.fullPath.setText(QStringLiteral("Q:\\%1%2\\%3-I-%4.wav")
                                   .arg(r.time.year)
                                   .arg(r.time.month, 2, 10, QLatin1Char('0'))
                                   .arg(rng())
                                   .arg(number));
        }
        return out;
    }();
    return all;
}

std::vector<CallRecord*> rowPointers() {
    std::vector<CallRecord*> out;
    for (const CallRecord& r : records())
        out.push_back(const_cast<CallRecord*>(&r));
    return out;
}

std::unique_ptr<RecordListModel> makeModel() {
    return std::make_unique<RecordListModel>(1,
                                             ListDateTime(QLocale(QLocale::English, QLocale::UnitedKingdom)));
}

void BM_AppendRows(benchmark::State& state) {
    const auto rows = rowPointers();
    auto model = makeModel();
    for (auto _ : state) {
        model->clear();
        model->appendRows(rows);
        benchmark::DoNotOptimize(model->rowCount());
    }
}

void BM_SortFirst(benchmark::State& state) {
    const int column = int(state.range(0));
    const auto rows = rowPointers();
    auto model = makeModel();
    for (auto _ : state) {
        state.PauseTiming();
        model->clear();
        model->appendRows(rows);
        state.ResumeTiming();
        model->sortByColumnClick(column);
    }
}

void BM_SortAgain(benchmark::State& state) {
    const int column = int(state.range(0));
    const int scramble =
        column == RecordListModel::ColumnTime ? RecordListModel::ColumnNumber : RecordListModel::ColumnTime;
    auto model = makeModel();
    model->appendRows(rowPointers());
    model->sortByColumnClick(column);
    for (auto _ : state) {
        state.PauseTiming();
        model->sortByColumnClick(scramble);
        state.ResumeTiming();
        model->sortByColumnClick(column);
    }
}

} // namespace

BENCHMARK(BM_AppendRows)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortFirst)
    ->Arg(RecordListModel::ColumnTime)
    ->Arg(RecordListModel::ColumnNumber)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortAgain)
    ->Arg(RecordListModel::ColumnTime)
    ->Arg(RecordListModel::ColumnNumber)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
