// Decoding 100 000 card records and 100 000 month-log records, with and without a contact list of 2 000
// contacts. With contacts, the decode must stay within twice the time without them.
//
//   cmake --preset bench && cmake --build --preset bench && build/bench/bin/bench_decode
//   build/bench/bin/bench_decode --write-month-log FILE   (a 100 000-record month log for bench/cli_log.sh)

#include "phonebook/ContactList.h"
#include "store/CallLogFile.h"
#include "store/CardRecordCodec.h"

#include <benchmark/benchmark.h>
#include <cstring>
#include <QFile>
#include <QTemporaryDir>
#include <random>
#include <string>

using namespace tessa;

namespace {

constexpr int kRecords = 100000;
constexpr int kContacts = 2000;

QString randomNumber(std::mt19937& rng, int digits) {
    QString n;
    for (int i = 0; i < digits; ++i)
        n += QChar(char16_t(u'0' + rng() % 10));
    return n;
}

const ContactList& contacts() {
    static const ContactList list = [] {
        std::mt19937 rng(7);
        ContactList l;
        for (int i = 0; i < kContacts; ++i) {
            ContactBlock c{};
            c.name.setText(QStringLiteral("Contact %1").arg(i));
            for (int slot = 0; slot < 3; ++slot)
                c.numbers[slot].setText(randomNumber(rng, 7 + int(rng() % 5)));
            l.append(c);
        }
        return l;
    }();
    return list;
}

QByteArray cardLog(int model) {
    std::mt19937 rng(11);
    const size_t size = cardRecordSize(model);
    QByteArray log;
    log.reserve(int(size) * kRecords);
    for (int i = 0; i < kRecords; ++i) {
        const QString name = QStringLiteral("201801%1%2%3%4-I-%5.wav")
                                 .arg(1 + i / 86400 % 28, 2, 10, QLatin1Char('0'))
                                 .arg(i / 3600 % 24, 2, 10, QLatin1Char('0'))
                                 .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
                                 .arg(i % 60, 2, 10, QLatin1Char('0'))
                                 .arg(randomNumber(rng, 6 + int(rng() % 6)));
        const auto record = buildCardRecord('E', name, model, uint32_t(rng() % 600));
        log.append(reinterpret_cast<const char*>(record->data()), qsizetype(size));
    }
    return log;
}

QByteArray monthLog() {
    const QByteArray card = cardLog(ModelVX7);
    QByteArray log;
    log.reserve(int(CallRecord::kSize) * kRecords);
    for (int i = 0; i < kRecords; ++i) {
        CallRecord r{};
        decodeCardRecord(reinterpret_cast<const uint8_t*>(card.constData()) + i * 128, r, 'E', ModelVX7,
                         nullptr);
        r.fullPath.setText(QStringLiteral("/home/user/TessaBackup/TessaDeviceBackup/201801/20180115/") +
                           r.fullPath.text().mid(10));
        log.append(reinterpret_cast<const char*>(&r), sizeof r);
    }
    return log;
}

QString writeTemp(const QByteArray& bytes, const QString& name) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

void cardDecode(benchmark::State& state, int model, bool withContacts) {
    const QString path = writeTemp(cardLog(model), QStringLiteral("CallLog%1.dat").arg(model));
    const ContactList* list = withContacts ? &contacts() : nullptr;
    for (auto _ : state) {
        size_t kept = 0;
        LogReadHandlers handlers;
        handlers.record = [&](uint32_t, uint32_t, CallRecord* r) { kept += r != nullptr; };
        readCardLog(path, platform::Area::User, 'E', model, list, nullptr, handlers);
        benchmark::DoNotOptimize(kept);
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

void monthDecode(benchmark::State& state) {
    const QString path = writeTemp(monthLog(), QStringLiteral("201801CallLogBK.dat"));
    for (auto _ : state) {
        size_t kept = 0;
        LogReadHandlers handlers;
        handlers.record = [&](uint32_t, uint32_t, CallRecord* r) { kept += r != nullptr; };
        readMonthLog(path, platform::Area::User, nullptr, handlers);
        benchmark::DoNotOptimize(kept);
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

// A month log holds named records already; what loading adds with contacts is the reload after a fetch,
// which resolves every unnamed record again.
void monthResolve(benchmark::State& state, bool withContacts) {
    const QString path = writeTemp(monthLog(), QStringLiteral("201801CallLogBK.dat"));
    const ContactList* list = withContacts ? &contacts() : nullptr;
    for (auto _ : state) {
        size_t named = 0;
        LogReadHandlers handlers;
        handlers.record = [&](uint32_t, uint32_t, CallRecord* r) {
            if (r) {
                resolveName(*r, list, false);
                named += !r->name.empty();
            }
        };
        readMonthLog(path, platform::Area::User, nullptr, handlers);
        benchmark::DoNotOptimize(named);
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

} // namespace

BENCHMARK_CAPTURE(cardDecode, vx7_plain, ModelVX7, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(cardDecode, vx7_contacts, ModelVX7, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(cardDecode, vx5_plain, ModelVX5, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(cardDecode, vx5_contacts, ModelVX5, true)->Unit(benchmark::kMillisecond);
BENCHMARK(monthDecode)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(monthResolve, plain, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(monthResolve, contacts, true)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--write-month-log") {
        QFile f(QString::fromLocal8Bit(argv[2]));
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        f.write(monthLog());
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
