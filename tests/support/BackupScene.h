#pragma once

// A recorder card and a PC backup folder on disk for the backup tests: the card is a folder that
// TESSA_DRIVES makes drive E, its call log is written with the store's own card-record encoder, and each
// recording holds bytes of its own so that a copy can be told from any other.

#include "backup/BackupPass.h"
#include "format/CardRecord.h"
#include "platform/FileRoots.h"
#include "platform/NativePath.h"
#include "platform/VolumeTable.h"
#include "store/CallLogFile.h"
#include "store/CardRecordCodec.h"
#include "support/TempDir.h"

#include <map>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <vector>

namespace tessa::test {

class BackupScene {
public:
    // base: where the scene's scratch folder is made (the system's temporary folder when empty).
    explicit BackupScene(int model = ModelVX7, const QString& base = {})
        : dir(base), model_(model), card(dir.file("card")), backup(dir.file("backup") + "/"),
          previousTable_(platform::installedVolumeTable()), roots_(card, dir.file("backup")) {
        QDir().mkpath(card);
        QDir().mkpath(backup);
        qputenv("TESSA_DRIVES", ("E=" + card).toUtf8());
        auto table = std::make_shared<platform::SystemVolumeTable>();
        table->refresh();
        platform::setVolumeTable(table);
        QFile log(card + "/CallLog.dat");
        log.open(QIODevice::WriteOnly); // an empty log: records are appended to it
    }
    ~BackupScene() {
        qunsetenv("TESSA_DRIVES");
        platform::setVolumeTable(previousTable_);
    }

    int model() const { return model_; }
    static QByteArray contentOf(const QString& name, int size = 3000) {
        static std::map<std::pair<QString, int>, QByteArray> made; // tests run on one thread
        QByteArray& bytes = made[{name, size}];
        if (!bytes.isEmpty() || size == 0)
            return bytes;
        QByteArray seed = name.toUtf8();
        while (bytes.size() < size) {
            seed = QCryptographicHash::hash(seed, QCryptographicHash::Sha256);
            bytes += seed;
        }
        bytes.truncate(size);
        return bytes;
    }
    // Folder of a recording on the card, relative to the card root.
    QString cardFolder(const QString& name) const {
        return (model_ == ModelVX5 ? QStringLiteral("RECORD/") : QString()) + name.left(6);
    }
    // Appends the card record of a recording name and, unless missing, writes the recording.
    void add(const QString& name, bool missing = false, int size = 3000) {
        const auto record = buildCardRecord('E', name, model_, 30);
        EXPECT_TRUE(record.has_value()) << name.toStdString();
        appendCardRecord(record->data());
        if (!missing)
            dir.write("card/" + cardFolder(name) + "/" + name, contentOf(name, size));
    }
    // Appends a card record whose card path is given as it stands (ANSI).
    void addWithCardPath(const QString& name, const QByteArray& cardPath) {
        auto record = *buildCardRecord('E', name, model_, 30);
        const size_t offset = model_ == ModelVX5 ? 88 : 83, field = model_ == ModelVX5 ? 64 : 45;
        std::memset(record.data() + offset, 0, field);
        std::memcpy(record.data() + offset, cardPath.constData(), std::min<size_t>(field, cardPath.size()));
        appendCardRecord(record.data());
    }
    void appendCardRecord(const uint8_t* record) {
        QFile log(card + "/CallLog.dat");
        ASSERT_TRUE(log.open(QIODevice::Append));
        log.write(reinterpret_cast<const char*>(record), qint64(cardRecordSize(model_)));
    }

    // The card collection as the loader reads it.
    std::vector<CallRecord> load() const {
        std::vector<CallRecord> records;
        LogReadHandlers handlers;
        handlers.record = [&](uint32_t, uint32_t, CallRecord* r) {
            if (r)
                records.push_back(*r);
        };
        readCardLog(platform::nativePath(QStringLiteral("E:\\CallLog.dat")), platform::Area::Card, 'E',
                    model_, nullptr, nullptr, handlers);
        return records;
    }

    BackupRequest request(bool move) const {
        BackupRequest r;
        r.root = backup;
        r.modelCode = model_;
        r.moveFiles = move;
        r.allRecords = true;
        r.cardLogPath = QStringLiteral("E:\\CallLog.dat");
        return r;
    }

    QString modelFolder() const {
        return backup + (model_ == ModelVX5 ? "TessaDeviceBackupM" : "TessaDeviceBackup");
    }
    QString onCard(const QString& name) const { return card + "/" + cardFolder(name) + "/" + name; }
    QString onPc(const QString& name) const {
        return modelFolder() + "/" + name.left(6) + "/" + name.left(8) + "/" + name;
    }
    // The program's form of a PC path, as month logs hold it.
    QString loggedPath(const QString& name) const {
        return backup + backupModelFolder(model_) + "\\" + name.left(6) + "\\" + name.left(8) + "\\" + name;
    }
    QString monthLog(const QString& month) const {
        return modelFolder() + "/CallLog/" + month + "CallLogBK.dat";
    }
    QByteArray cardLog() const { return TempDir::read(card + "/CallLog.dat"); }
    // Every record image of a month log; a torn tail fails the test.
    std::vector<CallRecord> monthLogRecords(const QString& month) const {
        const QByteArray bytes = TempDir::read(monthLog(month));
        EXPECT_EQ(bytes.size() % qsizetype(CallRecord::kSize), 0) << month.toStdString();
        std::vector<CallRecord> records(size_t(bytes.size()) / CallRecord::kSize);
        if (!records.empty())
            std::memcpy(records.data(), bytes.constData(), records.size() * CallRecord::kSize);
        return records;
    }

    TempDir dir;

private:
    int model_;

public:
    QString card;   // native card folder (drive E)
    QString backup; // native backup root, ending with a separator

private:
    std::shared_ptr<platform::VolumeTable> previousTable_;
    platform::ScopedFileRoots roots_;
};

// Collects what a pass reports.
struct RecordingObserver : BackupObserver {
    void rangeSet(uint32_t total) override { ranges.push_back(total); }
    void positionSet(uint32_t position) override { positions.push_back(position); }
    void destinationShown(const QString& path) override { destinations.push_back(path); }
    void recordLogged(const CallRecord& record, const QString&) override { logged.push_back(record); }
    void recordDone(const BackupRecordResult& result) override {
        results.push_back(result);
        if (afterRecord)
            afterRecord(result);
    }
    std::vector<uint32_t> ranges, positions;
    std::vector<QString> destinations;
    std::vector<CallRecord> logged;
    std::vector<BackupRecordResult> results;
    std::function<void(const BackupRecordResult&)> afterRecord;
};

} // namespace tessa::test
