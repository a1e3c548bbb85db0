// Imports 20 000 recordings in 2 000 folders into page 10 of the window on the offscreen platform, while a
// 5 ms timer probes the event loop. Reports the time from the command to all rows listed and the longest
// gap between two ticks of the probe (the window must keep answering: goal under 100 ms).
//
//   cmake --preset bench && cmake --build --preset bench --target import_window
//   build/bench/bin/import_window [--rounds N]

#include "app/ui/MainWindow.h"
#include "browse/ui/ImportController.h"
#include "browse/ui/MainView.h"
#include "browse/ui/RecordListPage.h"
#include "config/ProgramFolder.h"
#include "config/Settings.h"
#include "store/AppState.h"
#include "store/LoadSink.h"

#include <algorithm>
#include <cstdio>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

using namespace tessa;

namespace {

constexpr int kMonths = 40;
constexpr int kFoldersEach = 50; // 2 000 day folders
constexpr int kFilesEach = 10;   // 20 000 recordings

// A tree shaped like a backup: month folders of day folders of small recordings with valid names.
void writeTree(const QString& root) {
    for (int m = 0; m < kMonths; ++m) {
        const int year = 2020 + m / 12, month = 1 + m % 12;
        for (int d = 0; d < kFoldersEach; ++d) {
            const QString stampDay = QStringLiteral("%1%2%3")
                                         .arg(year)
                                         .arg(month, 2, 10, QLatin1Char('0'))
                                         .arg(1 + d % 28, 2, 10, QLatin1Char('0'));
            const QString folder = root + QStringLiteral("/%1/%2-%3").arg(stampDay.left(6), stampDay).arg(d);
            QDir().mkpath(folder);
            for (int f = 0; f < kFilesEach; ++f) {
                QFile file(folder + QStringLiteral("/%1%2%3%4-I-555%5.wav")
                                        .arg(stampDay)
                                        .arg(f, 2, 10, QLatin1Char('0'))
                                        .arg(d % 60, 2, 10, QLatin1Char('0'))
                                        .arg(f * 5, 2, 10, QLatin1Char('0'))
                                        .arg(m * 1000 + d * 10 + f));
                file.open(QIODevice::WriteOnly);
                file.write(QByteArray(4096, 'x'));
            }
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("TESSA_DEVICE_LINK", "down");
    qputenv("TESSA_AUDIO", "null");
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(icons);
    int rounds = 3;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2)
        if (args[i] == "--rounds")
            rounds = args[i + 1].toInt();

    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("Config"));
    QDir().mkpath(config);
    for (const QString& file :
         QDir(QCoreApplication::applicationDirPath() + "/Config").entryList(QDir::Files))
        QFile::copy(QCoreApplication::applicationDirPath() + "/Config/" + file, config + "/" + file);
    setConfigLocations(portableConfigLocations(config));
    writeStringSetting(QStringLiteral("BackupPath"), dir.filePath(QStringLiteral("backup")) + "/");
    writeIntSetting(QStringLiteral("DevType"), 0);
    const QString tree = dir.filePath(QStringLiteral("recordings"));
    writeTree(tree);
    const int expected = kMonths * kFoldersEach * kFilesEach;

    AppState state;
    MainWindow window(state);
    window.resize(1280, 900);
    window.show();
    window.view()->showPage(PageImport);
    ImportController* import = window.importController();
    import->chooseFolder = [&](QString * folder) {* folder = tree + "/";
    return true;
};
RecordListPage* page = window.view()->page(PageImport);

for (int round = 0; round < rounds; ++round) {
    import->clear();
    qint64 longestGap = 0;
    QElapsedTimer tick;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] { longestGap = std::max(longestGap, tick.restart()); });
    QElapsedTimer clock;
    clock.start();
    tick.start();
    probe.start(5);
    QTimer::singleShot(0, import, [import] { import->import(); });
    QApplication::processEvents(QEventLoop::AllEvents, 5);
    while (import->importing() || page->rowCount() < expected) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        if (clock.elapsed() > 600000)
            break;
    }
    const qint64 totalMs = clock.elapsed();
    probe.stop();
    longestGap = std::max(longestGap, tick.elapsed());
    std::printf("round %d: %d rows on page 10 in %lld ms, longest event-loop gap %lld ms\n", round + 1,
                page->rowCount(), static_cast<long long>(totalMs), static_cast<long long>(longestGap));
}
return 0;
}
