// Loads 100 000 records from 24 month logs into the window and lists them, on the offscreen platform.
// Reports the time from the start of the load to all rows listed (next to `cat` of the same files), the
// longest gap of the event loop meanwhile, the resident size after listing, and sorting times.
//
//   cmake --preset bench && cmake --build --preset bench --target window_load
//   build/bench/bin/window_load [--load-only]
//
// --load-only ends after the load, for profiling it alone (perf record -g build/bench/bin/window_load
// --load-only).

#include "app/ui/MainWindow.h"
#include "browse/RecordListModel.h"
#include "browse/ui/MainView.h"
#include "browse/ui/RecordCommands.h"
#include "browse/ui/RecordListPage.h"
#include "config/ProgramFolder.h"
#include "config/Settings.h"
#include "store/AppState.h"
#include "store/CallLogFile.h"
#include "store/CallLogService.h"

#include <cstdio>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QItemSelectionModel>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <random>

using namespace tessa;

namespace {

constexpr int kRecords = 100000;
constexpr int kMonths = 24;

long residentKilobytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

QStringList writeMonthLogs(const QString& backupRoot) {
    std::mt19937 rng(5);
    QStringList files;
    const QString folder = backupRoot + QStringLiteral("TessaDeviceBackup/CallLog");
    QDir().mkpath(folder);
    int written = 0;
    for (int m = 0; m < kMonths; ++m) {
        const int year = 2024 + m / 12, month = 1 + m % 12;
        const int count = kRecords / kMonths + (m < kRecords % kMonths ? 1 : 0);
        QByteArray log;
        log.reserve(count * int(CallRecord::kSize));
        for (int i = 0; i < count; ++i, ++written) {
            CallRecord r{};
            r.cardBytes[0] = 1;
            r.valid = 1;
            r.callType = 2 + rng() % 7;
            r.marked = rng() % 20 == 0;
            r.cardBytes[3] = uint8_t(r.marked.get());
            r.time.year = uint16_t(year);
            r.time.month = uint16_t(month);
            r.time.day = uint16_t(1 + i % 28);
            r.time.hour = uint16_t(i / 60 % 24);
            r.time.minute = uint16_t(i % 60);
            r.number.setText(QString::number(10000000 + rng() % 90000000));
            r.callDuration = rng() % 600;
            r.recordingDuration = r.callDuration;
            const QString name = QStringLiteral("%1%2%3%4-I-%5.wav")
                                     .arg(year)
                                     .arg(month, 2, 10, QLatin1Char('0'))
                                     .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                                     .arg(i % 1000000, 6, 10, QLatin1Char('0'))
                                     .arg(r.number.text());
            r.shortPath.setText(QStringLiteral("E:\\") + name);
            r.fullPath.setText(backupRoot + QStringLiteral("TessaDeviceBackup/x/") + name);
            log.append(reinterpret_cast<const char*>(&r), sizeof r);
        }
        const QString path =
            folder + QStringLiteral("/%1%2CallLogBK.dat").arg(year).arg(month, 2, 10, QLatin1Char('0'));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(log);
        files << path;
    }
    return files;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("TESSA_DEVICE_LINK", "down");
    qputenv("TESSA_AUDIO", "null");
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(icons);
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("Config"));
    QDir().mkpath(config);
    for (const QString& file :
         QDir(QCoreApplication::applicationDirPath() + "/Config").entryList(QDir::Files))
        QFile::copy(QCoreApplication::applicationDirPath() + "/Config/" + file, config + "/" + file);
    setConfigLocations(portableConfigLocations(config));
    const QString backup = dir.filePath(QStringLiteral("backup")) + "/";
    writeStringSetting(QStringLiteral("BackupPath"), backup);
    writeIntSetting(QStringLiteral("DevType"), 0);
    const QStringList files = writeMonthLogs(backup);

    // The same files read by cat, for scale.
    QElapsedTimer clock;
    clock.start();
    QProcess cat;
    cat.setStandardOutputFile(QProcess::nullDevice());
    cat.start(QStringLiteral("cat"), files);
    cat.waitForFinished(-1);
    const qint64 catMs = clock.elapsed();

    AppState state;
    MainWindow window(state);
    window.resize(1280, 900);
    window.show();
    RecordListPage* all = window.view()->page(1);

    // The longest gap between two ticks of a 5 ms timer while loading and listing.
    qint64 longestGap = 0;
    QElapsedTimer tick;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] { longestGap = std::max(longestGap, tick.restart()); });

    clock.restart();
    tick.start();
    probe.start(5);
    window.callLogs()->loadMonthLogs();
    // The first rows on page 1 mark the end of reading: the lister starts once every log is read.
    qint64 firstRowsMs = -1;
    while (!(all->rowCount() == kRecords && !state.busy)) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        if (firstRowsMs < 0 && all->rowCount() > 0)
            firstRowsMs = clock.elapsed();
    }
    const qint64 loadMs = clock.elapsed();
    probe.stop();
    const long rss = residentKilobytes();
    if (app.arguments().contains(QStringLiteral("--load-only"))) {
        std::printf("load to all rows listed:     %lld ms (cat: %lld ms)\n", static_cast<long long>(loadMs),
                    static_cast<long long>(catMs));
        return 0;
    }

    clock.restart();
    all->model()->sortByColumnClick(3);
    const qint64 sortDateMs = clock.elapsed();
    clock.restart();
    all->model()->sortByColumnClick(4);
    const qint64 sortNumberMs = clock.elapsed();

    // Marking 1 000 selected rows of the 100 000 on page 1, with the other pages brought up to date.
    QItemSelection rows(all->table()->model()->index(0, 0), all->table()->model()->index(999, 8));
    all->table()->selectionModel()->select(rows, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    clock.restart();
    window.recordCommands()->toggleMarks();
    const qint64 markMs = clock.elapsed();
    const int marked = window.view()->page(7)->rowCount();

    std::printf("records listed:              %d\n", all->rowCount());
    std::printf("cat of the 24 month logs:    %lld ms (%.1f MB)\n", static_cast<long long>(catMs),
                double(kRecords) * CallRecord::kSize / 1e6);
    std::printf("load to all rows listed:     %lld ms\n", static_cast<long long>(loadMs));
    std::printf("first rows listed after:     %lld ms\n", static_cast<long long>(firstRowsMs));
    std::printf("longest event-loop gap:      %lld ms\n", static_cast<long long>(longestGap));
    std::printf("resident size after listing: %ld MB\n", rss / 1024);
    std::printf("sort 100 000 rows by date:   %lld ms\n", static_cast<long long>(sortDateMs));
    std::printf("sort 100 000 rows by number: %lld ms\n", static_cast<long long>(sortNumberMs));
    std::printf("mark 1 000 selected rows:    %lld ms (marked page now %d rows)\n",
                static_cast<long long>(markMs), marked);
    return 0;
}
