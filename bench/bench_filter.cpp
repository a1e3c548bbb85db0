// Filtering a record list page of 100 000 rows as the user types: one keystroke is one new filter text
// applied to the page's filter proxy (the rows' texts already kept, as after the first keystroke), and
// the first filter of a page, which makes and keeps the texts of every row. The window does the
// latter a slice at a time between events, so it never blocks typing; its total is measured here.
//
//   cmake --preset bench -B build/bench && cmake --build build/bench --target bench_filter
//   build/bench/bin/bench_filter

#include "browse/RecordFilter.h"
#include "browse/RecordListModel.h"
#include "format/CallRecord.h"

#include <benchmark/benchmark.h>
#include <cstring>
#include <QIdentityProxyModel>
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
    auto model =
        std::make_unique<RecordListModel>(1, ListDateTime(QLocale(QLocale::English, QLocale::UnitedKingdom)));
    model->appendRows(rowPointers());
    return model;
}

// What a user types, one keystroke after the other, and takes back again.
const QStringList kTyping[] = {
    {"a", "al", "ali", "alic", "alice", "alic", "ali", "al", "a", ""},
    {"1", "17", "171", "1715", "171", "17", "1", ""},
    {"2", "20", "201", "2018", "201", "20", "2", ""},
};

void BM_FilterKeystroke(benchmark::State& state) {
    const QStringList& typing = kTyping[state.range(0)];
    auto model = makeModel();
    RecordFilterProxy filter;
    filter.setSourceModel(model.get());
    // The page's view looks at the filter through the icons proxy.
    QIdentityProxyModel icons;
    icons.setSourceModel(&filter);
    filter.setFilterText(QStringLiteral("x"));
    filter.finishPreparing();
    qsizetype i = 0;
    for (auto _ : state) {
        filter.setFilterText(typing[i++ % typing.size()]);
        benchmark::DoNotOptimize(icons.rowCount());
    }
    state.SetLabel(typing.join(QLatin1Char(' ')).toStdString());
}

void BM_FilterFirstPrepare(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto model = makeModel();
        RecordFilterProxy filter;
        filter.setSourceModel(model.get());
        state.ResumeTiming();
        filter.setFilterText(QStringLiteral("alice"));
        filter.finishPreparing();
        benchmark::DoNotOptimize(filter.rowCount());
        state.PauseTiming();
        filter.setSourceModel(nullptr);
        model.reset();
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK(BM_FilterKeystroke)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterFirstPrepare)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
