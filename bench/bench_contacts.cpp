// The Outlook-match command: fetching 5 000 contacts from vCard files (a folder of exports in the three
// versions), then the reload that decodes a 100 000-record card log with them.
//
//   cmake --preset bench && cmake --build --preset bench --target bench_contacts &&
//   build/bench/bin/bench_contacts

#include "format/CardRecord.h"
#include "phonebook/ContactFetch.h"
#include "phonebook/ContactList.h"
#include "store/CallLogFile.h"
#include "store/CardRecordCodec.h"

#include <benchmark/benchmark.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <random>
#include <vector>

using namespace tessa;

namespace {

constexpr int kContacts = 5000;
constexpr int kFiles = 10;
constexpr int kRecords = 100000;

QByteArray digits(std::mt19937& rng, int count) {
    QByteArray n;
    for (int i = 0; i < count; ++i)
        n += char('0' + rng() % 10);
    return n;
}

QByteArray quotedPrintable(const QByteArray& utf8) {
    QByteArray out;
    for (char c : utf8)
        out += QByteArray("=") + QByteArray::number(uint8_t(c), 16).toUpper().rightJustified(2, '0');
    return out;
}

// One card in the style of a phone (2.1), a desktop address book (3.0) or a 4.0 writer.
QByteArray card(int i, const std::vector<QByteArray>& numbers) {
    const QByteArray given = "J\xC3\xBCrgen" + QByteArray::number(i);
    const QByteArray family = "M\xC3\xBCller-Fitzgerald";
    QByteArray c = "BEGIN:VCARD\r\n";
    switch (i % 3) {
    case 0: {
        c += "VERSION:2.1\r\nN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:" + quotedPrintable(family) + ";" +
             quotedPrintable(given) + ";;;\r\n";
        const QByteArray fn = quotedPrintable(given + " " + family);
        c += "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:" + fn.left(60) + "=\r\n" + fn.mid(60) + "\r\n";
        for (const QByteArray& n : numbers)
            c += "TEL;CELL:" + n + "\r\n";
        break;
    }
    case 1: {
        c += "VERSION:3.0\r\nN:" + family + ";" + given + ";;;\r\nFN:" + given + " " + family.left(5) +
             "\r\n " + family.mid(5) + "\r\n";
        int item = 1;
        for (const QByteArray& n : numbers)
            c += "item" + QByteArray::number(item++) + ".TEL;type=CELL;type=VOICE;type=pref:" + n + "\r\n";
        c += "PHOTO;ENCODING=b;TYPE=JPEG:" + QByteArray(70, 'A') + "\r\n " + QByteArray(70, 'B') + "\r\n";
        break;
    }
    default:
        c += "VERSION:4.0\r\nFN:" + given + " " + family + "\r\n";
        for (const QByteArray& n : numbers)
            c += "TEL;VALUE=uri;TYPE=\"voice,cell\":tel:" + n + "\r\n";
        break;
    }
    return c + "END:VCARD\r\n";
}

struct Fixture {
    QTemporaryDir dir;
    QString contactsFolder;
    QString cardLog;
    std::vector<QByteArray> contactNumbers;

    Fixture() {
        std::mt19937 rng(5);
        contactsFolder = dir.filePath(QStringLiteral("contacts"));
        QDir().mkpath(contactsFolder);
        std::vector<QByteArray> files(kFiles);
        for (int i = 0; i < kContacts; ++i) {
            std::vector<QByteArray> numbers;
            for (int k = 0, n = 1 + int(rng() % 4); k < n; ++k) {
                numbers.push_back(digits(rng, 7 + int(rng() % 5)));
                contactNumbers.push_back(numbers.back());
            }
            files[size_t(i % kFiles)] += card(i, numbers);
        }
        for (int f = 0; f < kFiles; ++f) {
            QFile out(QStringLiteral("%1/export%2.vcf").arg(contactsFolder).arg(f));
            out.open(QIODevice::WriteOnly);
            out.write(files[size_t(f)]);
        }
        // Half the calls come from contacts, half from unknown numbers.
        QByteArray log;
        log.reserve(128 * kRecords);
        for (int i = 0; i < kRecords; ++i) {
            const QByteArray number =
                i % 2 ? contactNumbers[rng() % contactNumbers.size()] : digits(rng, 6 + int(rng() % 6));
            const QString name = QStringLiteral("201801%1%2%3%4-I-%5.wav")
                                     .arg(1 + i / 86400 % 28, 2, 10, QLatin1Char('0'))
                                     .arg(i / 3600 % 24, 2, 10, QLatin1Char('0'))
                                     .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
                                     .arg(i % 60, 2, 10, QLatin1Char('0'))
                                     .arg(QString::fromLatin1(number));
            const auto record = buildCardRecord('E', name, ModelVX7, uint32_t(rng() % 600));
            log.append(reinterpret_cast<const char*>(record->data()), 128);
        }
        cardLog = dir.filePath(QStringLiteral("CallLog.dat"));
        QFile out(cardLog);
        out.open(QIODevice::WriteOnly);
        out.write(log);
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void fetch(benchmark::State& state) {
    const ContactEnumerator source = vcardContacts(fixture().contactsFolder);
    ContactList contacts;
    std::atomic<bool> busy{false};
    for (auto _ : state) {
        const ContactFetchResult r = fetchContacts(contacts, busy, source);
        if (r.count != size_t(kContacts))
            state.SkipWithError("not every contact was fetched");
        benchmark::DoNotOptimize(r);
    }
    state.SetItemsProcessed(state.iterations() * kContacts);
}

void reload(benchmark::State& state, bool withContacts) {
    ContactList contacts;
    std::atomic<bool> busy{false};
    if (withContacts)
        fetchContacts(contacts, busy, vcardContacts(fixture().contactsFolder));
    size_t named = 0;
    for (auto _ : state) {
        named = 0;
        LogReadHandlers handlers;
        handlers.record = [&](uint32_t, uint32_t, CallRecord* r) { named += r && !r->name.empty(); };
        readCardLog(fixture().cardLog, platform::Area::User, 'E', ModelVX7,
                    withContacts ? &contacts : nullptr, nullptr, handlers);
        benchmark::DoNotOptimize(named);
    }
    state.counters["named"] = double(named);
    state.SetItemsProcessed(state.iterations() * kRecords);
}

} // namespace

BENCHMARK(fetch)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(reload, without_contacts, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(reload, with_5000_contacts, true)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
