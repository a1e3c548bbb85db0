// Proving a backup: `tessa-cli verify` over 2 000 recordings (about 1 GB) next to `sha256sum -c` of the
// same month manifests in the same run, and what the SHA-256 computed while copying costs the backup
// pass. The card (16-bit PCM WAV recordings of random samples) is generated here and removed afterwards.
//
//   cmake --preset bench && cmake --build build/bench --target backup_verify tessa-cli
//   build/bench/bin/backup_verify [--dir FOLDER] [--recordings N] [--size BYTES] [--rounds N]
//
// FOLDER must lie on the disk to be measured (default: the system's temporary folder). Both checks read
// the copies from the page cache (one untimed run of each first), so the comparison is of the checking,
// not of the disk. The checksum's cost is measured on the copies alone, the way the pass copies them
// (through a temporary name, flushed), once with the hash in the copy's read loop and once without, plus
// the manifest lines the pass appends; it is set against the whole pass over the same card.

#include "audio/WavWriter.h"
#include "backup/BackupManifest.h"
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
#include <QFileInfo>
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

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Runs a program to its end; its time in seconds, or a negative number when it failed.
double timed(const QString& program, const QStringList& args, const QString& workingDir = {}) {
    QProcess p;
    if (!workingDir.isEmpty())
        p.setWorkingDirectory(workingDir);
    p.setStandardOutputFile(QProcess::nullDevice());
    const auto start = std::chrono::steady_clock::now();
    p.start(program, args);
    const bool ok = p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    const double took = seconds(start);
    if (!ok)
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), p.readAllStandardError().constData());
    return ok ? took : -1;
}

// Unique, valid stamps: one a second from 10:00 on, over the months and days.
QString recordingName(int i) {
    const int month = 1 + i % 12, day = 1 + (i / 12) % 28, second = i / 336;
    return QStringLiteral("2018%1%2%3%4%5-I-555%6.wav")
        .arg(month, 2, 10, QLatin1Char('0'))
        .arg(day, 2, 10, QLatin1Char('0'))
        .arg(10 + second / 3600 % 12, 2, 10, QLatin1Char('0'))
        .arg(second / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(second % 60, 2, 10, QLatin1Char('0'))
        .arg(i);
}

// A VX7 card: month folders of PCM WAV recordings and the call log naming them.
void writeCard(const QString& card, const Options& o) {
    QDir().mkpath(card);
    QFile log(card + "/CallLog.dat");
    log.open(QIODevice::WriteOnly);
    std::mt19937_64 rng(11);
    const qsizetype audioSize = (o.size - 44) & ~qsizetype(1);
    QByteArray audio(audioSize, Qt::Uninitialized);
    for (int i = 0; i < o.recordings; ++i) {
        const QString name = recordingName(i);
        const auto record = buildCardRecord('E', name, 0, 30);
        log.write(reinterpret_cast<const char*>(record->data()), 128);
        QDir().mkpath(card + "/" + name.left(6));
        auto* words = reinterpret_cast<uint64_t*>(audio.data());
        for (qsizetype w = 0; w < audio.size() / 8; ++w)
            words[w] = rng();
        QFile f(card + "/" + name.left(6) + "/" + name);
        f.open(QIODevice::WriteOnly);
        f.write(wavFile(Coding::Pcm16, audio, uint32_t(audio.size() / 2)));
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

double keepPass(const QString& card, const QString& backup) {
    platform::ScopedFileRoots roots(card, backup);
    BackupRequest request;
    request.root = backup + "/";
    request.cardLogPath = QStringLiteral("E:\\CallLog.dat");
    const std::vector<CallRecord> records = loadCard();
    BackupObserver quiet;
    const auto start = std::chrono::steady_clock::now();
    const BackupSummary summary = runBackupPass(request, records, nullptr, quiet);
    const double took = seconds(start);
    if (!summary.allBackedUp() || summary.copied != records.size())
        std::fprintf(stderr, "pass incomplete: %u copied, %u skipped\n", summary.copied, summary.skipped);
    return took;
}

// The pass's copies alone, into day folders made beforehand, with or without the hash.
double copiesAlone(const QString& card, const QString& backup, int recordings, bool hashed) {
    platform::ScopedFileRoots roots(card, backup);
    for (int i = 0; i < recordings; ++i)
        QDir().mkpath(backup + "/" + recordingName(i).left(8));
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < recordings; ++i) {
        const QString name = recordingName(i);
        QByteArray sha256;
        platform::CopyOptions options;
        options.durability = platform::Durability::Flushed;
        options.sha256 = hashed ? &sha256 : nullptr;
        if (platform::copyFile(card + "/" + name.left(6) + "/" + name, platform::Area::Card,
                               backup + "/" + name.left(8) + "/" + name, platform::Area::Backup,
                               options) != platform::FileError::None)
            std::fprintf(stderr, "copy failed: %s\n", qPrintable(name));
    }
    return seconds(start);
}

// The manifest lines of a pass, appended one by one and flushed as the pass appends them.
double manifestLines(const QString& backup, int recordings) {
    platform::ScopedFileRoots roots(QString(), backup);
    QDir().mkpath(backup + "/CallLog");
    ManifestBook book;
    const QByteArray sha256(32, '\x5a');
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < recordings; ++i) {
        const QString name = recordingName(i);
        book.add(backup + "/CallLog/" + name.left(6) + ".sha256",
                 name.left(6) + "/" + name.left(8) + "/" + name, sha256, platform::Durability::Flushed);
    }
    return seconds(start);
}

void syncDisks() {
    timed("sync", {});
}

} // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QCoreApplication app(argc, argv);
    Options o;
    QString cli = QCoreApplication::applicationDirPath() + "/tessa-cli";
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
        else if (args[i] == "--cli")
            cli = args[i + 1];
    }
    if (!QFileInfo(cli).isExecutable()) {
        std::fprintf(stderr, "tessa-cli not found at %s (give --cli PATH)\n", qPrintable(cli));
        return 2;
    }
    QTemporaryDir scratch(o.dir + "/tessa-verify-bench-XXXXXX");
    const QString card = scratch.filePath("card");
    writeCard(card, o);
    syncDisks();
    platform::setVolumeTable(std::make_shared<platform::FixedVolumeTable>(std::vector<platform::Volume>{
        {'C', platform::DriveFixed, "/"}, {'E', platform::DriveRemovable, card}}));
    const double megabytes = double(o.recordings) * double(o.size) / 1e6;
    std::printf("%d recordings of %lld bytes (%.0f MB) in %s\n", o.recordings, (long long)o.size, megabytes,
                qPrintable(o.dir));

    // The checksum's share of the pass: rounds alternate the pass and the copies with and without the
    // hash, each into a fresh tree that is synced and removed before the next.
    std::vector<double> pass, withHash, withoutHash, lines;
    for (int round = 0; round < o.rounds; ++round) {
        const QString target = scratch.filePath(QStringLiteral("round%1").arg(round));
        QDir().mkpath(target);
        pass.push_back(keepPass(card, target));
        QDir(target).removeRecursively();
        syncDisks();
        QDir().mkpath(target);
        withHash.push_back(copiesAlone(card, target, o.recordings, true));
        QDir(target).removeRecursively();
        syncDisks();
        QDir().mkpath(target);
        withoutHash.push_back(copiesAlone(card, target, o.recordings, false));
        QDir(target).removeRecursively();
        syncDisks();
        QDir().mkpath(target);
        lines.push_back(manifestLines(target, o.recordings));
        QDir(target).removeRecursively();
        syncDisks();
        std::printf("round %d: pass %.2f s; copies with hash %.2f s, without %.2f s; manifest lines %.3f s\n",
                    round + 1, pass.back(), withHash.back(), withoutHash.back(), lines.back());
    }
    const double passMedian = median(pass);
    const double hashCost = std::max(0.0, median(withHash) - median(withoutHash)) + median(lines);
    const double passWithout = passMedian - hashCost;
    std::printf(
        "checksum in the pass: %.2f s of %.2f s; %.1f%% over the pass without it (target at most 10%%); "
        "pass %.0f MB/s\n",
        hashCost, passMedian, 100.0 * hashCost / passWithout, megabytes / passMedian);

    // The backup to verify, written once by the pass.
    const QString backup = scratch.filePath("backup");
    QDir().mkpath(backup);
    keepPass(card, backup);
    syncDisks();
    const QString modelFolder = backup + "/TessaDeviceBackup";
    QStringList manifests;
    for (const QString& name : QDir(modelFolder + "/CallLog").entryList({"*.sha256"}, QDir::Files))
        manifests << "CallLog/" + name;
    const QStringList sha256sumArgs = QStringList{"-c", "--quiet"} + manifests;
    const QStringList verifyArgs{"verify", backup, "--model", "0"};
    timed("sha256sum", sha256sumArgs, modelFolder); // warms the page cache
    timed(cli, verifyArgs);
    std::vector<double> sums, verifies;
    for (int round = 0; round < o.rounds; ++round) {
        sums.push_back(timed("sha256sum", sha256sumArgs, modelFolder));
        verifies.push_back(timed(cli, verifyArgs));
        std::printf("round %d: sha256sum -c %.2f s, tessa-cli verify %.2f s\n", round + 1, sums.back(),
                    verifies.back());
    }
    const double sumMedian = median(sums), verifyMedian = median(verifies);
    std::printf("verify: %.2f s against sha256sum -c %.2f s: %.2f times its time (target at most 1.2)\n",
                verifyMedian, sumMedian, verifyMedian / sumMedian);
    return 0;
}
