// The spreadsheet export of a 100 000-row record list: the time to write the .xlsx workbook and the
// memory it takes at its peak beyond the list itself. The rows are read from a record list model of
// generated call records, as the window's export reads the list on view.
//
//   cmake --preset bench && cmake --build build/bench --target export_sheet
//   build/bench/bin/export_sheet [--rows N] [--rounds N]
//
// Peak memory: the process's resident peak (VmHWM) is reset once the list is built (clear_refs), so
// the peak read after the export, minus the resident size before it, is what the export added at its
// highest.

#include "browse/RecordListModel.h"
#include "browse/RecordSheetRows.h"
#include "config/ProgramFolder.h"
#include "export/SpreadsheetExport.h"
#include "format/CallRecord.h"
#include "store/LoadSink.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <random>

using namespace tessa;

namespace {

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM").
long statusKb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').first().toLong();
    return -1;
}

// Resets the resident peak to the present size.
bool resetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

void fill(std::deque<CallRecord>& records, int count) {
    std::mt19937 rng(11);
    for (int i = 0; i < count; ++i) {
        CallRecord& r = records.emplace_back();
        r = CallRecord{};
        r.valid = 1;
        r.callType = 2 + rng() % 7;
        r.marked = rng() % 20 == 0;
        r.time.year = 2024;
        r.time.month = uint16_t(1 + i % 12);
        r.time.day = uint16_t(1 + i % 28);
        r.time.hour = uint16_t(i / 60 % 24);
        r.time.minute = uint16_t(i % 60);
        // A leading zero, which the workbook keeps as text.
        r.number.setText(QStringLiteral("0%1").arg(10000000 + rng() % 90000000));
        r.callDuration = rng() % 600;
        r.recordingDuration = r.callDuration;
        r.fullPath.setText(QStringLiteral("E:\\2024%1\\2024%1%2%3-I-%4.xtr")
                               .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                               .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                               .arg(i % 1000000, 6, 10, QLatin1Char('0'))
                               .arg(r.number.text()));
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int rows = 100000, rounds = 3;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--rows")
            rows = args[i + 1].toInt();
        else if (args[i] == "--rounds")
            rounds = args[i + 1].toInt();
    }
    rows = std::max(1, rows);
    rounds = std::max(1, rounds);
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("Config"));
    QDir().mkpath(config);
    const QString shipped = QCoreApplication::applicationDirPath() + QStringLiteral("/Config/");
    for (const QString& file : QDir(shipped).entryList(QDir::Files))
        QFile::copy(shipped + file, config + "/" + file);
    setConfigLocations(portableConfigLocations(config));

    std::deque<CallRecord> records;
    fill(records, rows);
    RecordListModel model(PageAll);
    std::vector<CallRecord*> pointers;
    for (CallRecord& r : records)
        pointers.push_back(&r);
    model.appendRows(pointers);
    pointers.clear();
    pointers.shrink_to_fit();
    RecordListSheetSource source(model);
    std::printf("%d rows, %zu columns, %d rounds\n", model.rowCount(), recordListTitles(model).size(),
                rounds);

    const QString path = dir.filePath(QStringLiteral("list.xlsx"));
    const long residentBefore = statusKb("VmRSS");
    const bool peakReset = resetPeak();
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        QFile::remove(path);
        const auto start = std::chrono::steady_clock::now();
        const SheetStatus status = exportSpreadsheet(source, path, dir.path());
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (status != SheetStatus::Written) {
            std::fprintf(stderr, "the workbook was not written (%d)\n", int(status));
            return 1;
        }
    }
    const long peak = statusKb("VmHWM");
    std::sort(times.begin(), times.end());
    std::printf("export to .xlsx: best %.3f s  median %.3f s  (%.0f rows/s)\n", times.front(),
                times[times.size() / 2], rows / times.front());
    std::printf("workbook %lld bytes\n", (long long)QFileInfo(path).size());
    std::printf("resident before the export %ld KiB (the list), peak during it %ld KiB: %ld KiB added%s\n",
                residentBefore, peak, peak - residentBefore,
                peakReset ? "" : " (peak not reset: includes building the list)");
    return 0;
}
