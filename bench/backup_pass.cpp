// The backup pass over 2 000 recordings (about 1 GB) on the disk of this machine, next to `cp -r` of the
// same card in the same run. Keep mode copies every recording through a temporary name and renames it
// into place, as cp -r leaves the writing to the disk to the system; move mode also syncs each copy and
// its folder, reads the copy back from the disk, compares it with the card's file, syncs the month-log
// entry and only then removes the card's file. The card is generated here and removed afterwards.
//
//   cmake --preset bench && cmake --build build/bench --target backup_pass
//   build/bench/bin/backup_pass [--dir FOLDER] [--recordings N] [--size BYTES] [--rounds N]
//
// FOLDER must lie on the disk to be measured (default: the system's temporary folder).

#include "backup/BackupPass.h"
#include "platform/ConfinedFiles.h"
#include "platform/FileRoots.h"
#include "platform/NativePath.h"
#include "platform/VolumeTable.h"
#include "store/CallLogFile.h"
#include "store/CardRecordCodec.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <random>

using namespace tessa;

namespace {

struct Options {
    QString dir = QDir::tempPath();
    int recordings = 2000;
    qint64 size = 512 * 1024;
    int rounds = 3;
};

double seconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

bool run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A VX7 card: month folders of recordings with random bytes and the call log naming them.
void writeCard(const QString& card, const Options& o) {
    QDir().mkpath(card);
    QFile log(card + "/CallLog.dat");
    log.open(QIODevice::WriteOnly);
    std::mt19937_64 rng(7);
    QByteArray bytes(o.size, Qt::Uninitialized);
    for (int i = 0; i < o.recordings; ++i) {
        const int month = 1 + i % 12, day = 1 + (i / 12) % 28;
        const QString name = QStringLiteral("2018%1%2%3%4-I-555%5.wav")
                                 .arg(month, 2, 10, QLatin1Char('0'))
                                 .arg(day, 2, 10, QLatin1Char('0'))
                                 .arg(10 + i % 12, 2, 10, QLatin1Char('0'))
                                 .arg(i % 10000, 4, 10, QLatin1Char('0'))
                                 .arg(i);
        const auto record = buildCardRecord('E', name, 0, 30);
        log.write(reinterpret_cast<const char*>(record->data()), 128);
        QDir().mkpath(card + "/" + name.left(6));
        auto* words = reinterpret_cast<uint64_t*>(bytes.data());
        for (qsizetype w = 0; w < bytes.size() / 8; ++w)
            words[w] = rng();
        QFile f(card + "/" + name.left(6) + "/" + name);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
    }
}

std::vector<CallRecord> loadCard() {
    std::vector<CallRecord> records;
    LogReadHandlers handlers;
    handlers.record = [&](uint32_t, uint32_t, CallRecord* r) {
        if (r)
            records.push_back(*r);
    };
    readCardLog(platform::nativePath(QStringLiteral("E:\\CallLog.dat")), platform::Area::Card, 'E', 0,
                nullptr, nullptr, handlers);
    return records;
}

double pass(const QString& card, const QString& backup, bool move) {
    platform::ScopedFileRoots roots(card, backup);
    BackupRequest request;
    request.root = backup + "/";
    request.moveFiles = move;
    request.cardLogPath = QStringLiteral("E:\\CallLog.dat");
    const std::vector<CallRecord> records = loadCard();
    BackupObserver quiet;
    const auto start = std::chrono::steady_clock::now();
    const BackupSummary summary = runBackupPass(request, records, nullptr, quiet);
    const double took = seconds(start);
    if (!summary.allBackedUp() || (move ? summary.moved : summary.copied) != records.size())
        std::fprintf(stderr, "pass incomplete: %u copied, %u moved, %u skipped\n", summary.copied,
                     summary.moved, summary.skipped);
    return took;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QCoreApplication app(argc, argv);
    Options o;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--dir")
            o.dir = args[i + 1];
        else if (args[i] == "--recordings")
            o.recordings = args[i + 1].toInt();
        else if (args[i] == "--size")
            o.size = args[i + 1].toLongLong();
        else if (args[i] == "--rounds")
            o.rounds = args[i + 1].toInt();
    }
    QTemporaryDir scratch(o.dir + "/tessa-backup-bench-XXXXXX");
    const QString card = scratch.filePath("card");
    writeCard(card, o);
    run("sync", {});
    platform::setVolumeTable(std::make_shared<platform::FixedVolumeTable>(std::vector<platform::Volume>{
        {'C', platform::DriveFixed, "/"}, {'E', platform::DriveRemovable, card}}));
    const double megabytes = double(o.recordings) * double(o.size) / 1e6;
    std::printf("%d recordings of %lld bytes (%.0f MB) in %s\n", o.recordings, (long long)o.size, megabytes,
                qPrintable(o.dir));

    // Rounds alternate cp -r and the keep pass, each writing a fresh tree that is synced and removed
    // before the next, so that neither inherits the other's pending writes.
    std::vector<double> cp, cpSync, keep;
    for (int round = 0; round < o.rounds; ++round) {
        const QString target = scratch.filePath(QStringLiteral("cp%1").arg(round));
        auto start = std::chrono::steady_clock::now();
        run("cp", {"-r", card, target});
        cp.push_back(seconds(start));
        run("sync", {});
        cpSync.push_back(seconds(start));
        QDir(target).removeRecursively();
        run("sync", {});

        const QString backup = scratch.filePath(QStringLiteral("keep%1").arg(round));
        QDir().mkpath(backup);
        keep.push_back(pass(card, backup, false));
        QDir(backup).removeRecursively();
        run("sync", {});
        std::printf("round %d: cp -r %.2f s (with sync %.2f s), keep pass %.2f s\n", round + 1, cp.back(),
                    cpSync.back(), keep.back());
    }
    const double cpMedian = median(cp), cpSyncMedian = median(cpSync), keepMedian = median(keep);
    std::printf(
        "keep mode: %.0f MB/s against cp -r %.0f MB/s: %.2f of it (cp -r followed by sync: %.0f MB/s)\n",
        megabytes / keepMedian, megabytes / cpMedian, cpMedian / keepMedian, megabytes / cpSyncMedian);

    // Move mode on a copy of the card, against a keep pass of the same copy.
    std::vector<double> move;
    for (int round = 0; round < o.rounds; ++round) {
        const QString copy = scratch.filePath(QStringLiteral("movecard%1").arg(round));
        run("cp", {"-r", card, copy});
        run("sync", {});
        platform::setVolumeTable(std::make_shared<platform::FixedVolumeTable>(std::vector<platform::Volume>{
            {'C', platform::DriveFixed, "/"}, {'E', platform::DriveRemovable, copy}}));
        const QString backup = scratch.filePath(QStringLiteral("move%1").arg(round));
        QDir().mkpath(backup);
        move.push_back(pass(copy, backup, true));
        QDir(backup).removeRecursively();
        QDir(copy).removeRecursively();
        run("sync", {});
        std::printf("round %d: move pass %.2f s\n", round + 1, move.back());
    }
    // The comparing alone: every recording of a keep pass read back from the disk next to the card's.
    double compare = 0;
    {
        const QString backup = scratch.filePath(QStringLiteral("compare"));
        QDir().mkpath(backup);
        platform::setVolumeTable(std::make_shared<platform::FixedVolumeTable>(std::vector<platform::Volume>{
            {'C', platform::DriveFixed, "/"}, {'E', platform::DriveRemovable, card}}));
        pass(card, backup, false);
        run("sync", {});
        platform::ScopedFileRoots roots(card, backup);
        const auto start = std::chrono::steady_clock::now();
        for (const CallRecord& r : loadCard()) {
            const QString name = r.shortPath.text().section(QLatin1Char('\\'), -1);
            bool equal = false;
            platform::compareFiles(card + "/" + name.left(6) + "/" + name, platform::Area::Card,
                                   backup + "/TessaDeviceBackup/" + name.left(6) + "/" + name.left(8) + "/" +
                                       name,
                                   platform::Area::Backup, &equal);
            if (!equal)
                std::fprintf(stderr, "copy differs: %s\n", qPrintable(name));
        }
        compare = seconds(start);
        QDir(backup).removeRecursively();
    }
    const double moveMedian = median(move);
    std::printf("move mode: %.0f MB/s, %.2f s against %.2f s in keep mode: reading back, comparing and "
                "removing cost %.0f%% more\n",
                megabytes / moveMedian, moveMedian, keepMedian, 100.0 * (moveMedian / keepMedian - 1.0));
    std::printf(
        "of which reading back and comparing %.2f s; syncing copies, folders and month logs and removing "
        "from the card the remaining %.2f s\n",
        compare, moveMedian - keepMedian - compare);
    return 0;
}
