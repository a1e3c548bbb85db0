#include "store/LogLoader.h"

#include "config/Settings.h"
#include "format/CardRecord.h"
#include "platform/ConfinedFiles.h"
#include "platform/NativePath.h"
#include "platform/VolumeTable.h"
#include "store/AppState.h"
#include "store/CallLogFile.h"
#include "store/Lister.h"
#include "store/LoadSink.h"
#include "store/ProgressThrottle.h"
#include "store/RebuildWorker.h"

#include <algorithm>

namespace tessa {
namespace {

// The backup path as the settings hold it; reading it also makes it the backup root of the file layer.
QString loaderBackupRoot() {
    const QString root = readStringSetting(QStringLiteral("BackupPath"));
    platform::setBackupRoot(root.isEmpty() ? QString() : platform::nativePath(root));
    return root;
}

// The month a log's name starts with: its first six characters read as a decimal number.
uint32_t monthOfLogName(const QString& name) {
    uint32_t value = 0;
    for (const QChar c : QStringView(name).left(6)) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        value = value * 10 + uint32_t(c.unicode() - '0');
    }
    return value;
}

// Months of the month logs in "<root><model folder>\CallLog\*CallLogBK.dat", in enumeration order.
std::vector<uint32_t> findMonthLogs(const QString& root, int modelCode) {
    std::vector<uint32_t> months;
    // Without a backup folder the pattern would search the process's working folder.
    if (root.isEmpty())
        return months;
    const QString folder =
        platform::nativePath(root + backupModelFolder(modelCode) + QStringLiteral("\\CallLog"));
    if (folder.isEmpty())
        return months;
    std::vector<platform::FolderEntry> entries;
    if (platform::listFolder(folder, platform::Area::Backup, &entries) != platform::FileError::None)
        return months;
    // Links are listed too: reading one is confined like any other month log.
    for (const platform::FolderEntry& entry : entries)
        if (entry.kind != platform::EntryKind::Folder &&
            entry.name.endsWith(kMonthLogSuffix, Qt::CaseInsensitive))
            months.push_back(monthOfLogName(entry.name));
    return months;
}

QString loaderRecordLine(const CallRecord* record, uint32_t done, uint32_t count) {
    if (!record)
        return QStringLiteral("%1/%2").arg(done).arg(count);
    return QStringLiteral("%1 %2/%3").arg(record->shortPath.text()).arg(done).arg(count);
}

} // namespace

LogLoader::LogLoader(AppState& state, LoadSink& sink, platform::GuiQueue& queue, Lister& lister,
                     RebuildWorker& rebuild)
    : state_(state), sink_(sink), queue_(queue), lister_(lister), rebuild_(rebuild) {}

LogLoader::~LogLoader() {
    stop();
}

bool LogLoader::stop(std::chrono::milliseconds limit) {
    return worker_.stop(limit);
}

bool LogLoader::loadMonthLogs() {
    const QString root = loaderBackupRoot();
    const int model = state_.modelCode;
    const bool busy = state_.busy;
    if (!busy) {
        // Rows of the backup view point into the collection about to be freed.
        if (state_.viewMode == ViewBackup && !state_.backupRecords.empty())
            queue_.post([&sink = sink_] { sink.clearRecordLists(); });
        state_.backupRecords.clear();
        state_.months.clear();
    }
    std::vector<uint32_t> months = findMonthLogs(root, model);
    if (months.empty())
        return false;
    // The loader or lister running owns the collection and reads the month list.
    if (busy)
        return true;
    std::sort(months.begin(), months.end());
    // Two names of one month ("201801CallLogBK.dat", "201801 CallLogBK.dat") name the same file to read.
    months.erase(std::unique(months.begin(), months.end()), months.end());
    state_.months = std::move(months);
    state_.loadSource = LoadMonthLogs;
    start();
    return true;
}

bool LogLoader::start() {
    if (state_.busy.exchange(true))
        return false;
    Plan plan;
    plan.fromCard = state_.loadSource == LoadCard;
    plan.driveLetter = state_.cardDriveLetter;
    plan.modelCode = state_.modelCode;
    if (plan.fromCard) {
        if (const auto card = platform::volumeTable().volume(plan.driveLetter))
            platform::setCardRoot(card->root);
        plan.files.push_back(platform::nativePath(state_.cardLogPath));
    } else {
        const QString root = loaderBackupRoot();
        for (const uint32_t month : state_.months)
            plan.files.push_back(platform::nativePath(monthLogPathOfMonth(root, plan.modelCode, month)));
    }
    if (!worker_.start([this, plan = std::move(plan)] { run(plan); })) {
        state_.busy = false;
        return false;
    }
    return true;
}

void LogLoader::run(const Plan& plan) {
    size_t kept = 0;
    progressShown_ = false;
    for (const QString& path : plan.files)
        if (!readLog(plan, path, kept))
            return;
    if (state_.quit)
        return;
    queue_.post([&sink = sink_] { sink.hideProgress(); });

    bool listAgain = true;
    if (!plan.fromCard) {
        state_.viewMode = ViewBackup;
    } else if (kept > 0) {
        state_.viewMode = ViewCard;
        if (readIntSetting(QStringLiteral("AutoBackup")) == 1) {
            // The window shows the backup dialog and answers once the user has closed it.
            const auto started = queue_.send([&sink = sink_] { return sink.offerAutoBackup(); });
            if (!started)
                return;
            if (*started)
                state_.viewMode = ViewBackup;
        }
    } else if (state_.viewMode == ViewBackup) {
        listAgain = false; // the backup view stays as it is listed
    } else {
        state_.viewMode = ViewBackup;
    }

    queue_.post([&sink = sink_] { sink.updateFreeSpace(); });
    if (!listAgain) {
        queue_.post([&busy = state_.busy] { busy = false; });
        return;
    }
    queue_.post([&sink = sink_] { sink.showPage(PageAll); });
    lister_.list();
}

bool LogLoader::readLog(const Plan& plan, const QString& path, size_t& kept) {
    RecordCollection& records = plan.fromCard ? state_.cardRecords : state_.backupRecords;
    const int caption = plan.fromCard ? kProgressCaptionCard : kProgressCaptionBackup;
    ProgressThrottle throttle;
    uint32_t count = 0, lastDone = 0, sentDone = 0;
    const CallRecord* lastKept = nullptr;
    auto sendProgress = [&](uint32_t done, uint32_t total) {
        queue_.post([&sink = sink_, done, line = loaderRecordLine(lastKept, done, total)] {
            sink.setProgress(done, line);
        });
        sentDone = done;
    };

    LogReadHandlers handlers;
    handlers.started = [&](uint32_t total) {
        count = total;
        // The window is waited for once, when the first log shows it; waiting again for every month log
        // would cost more than reading it.
        auto show = [&sink = sink_, caption, total] {
            sink.showProgress(caption, total, true);
            return true;
        };
        if (!progressShown_)
            queue_.send(show);
        else
            queue_.post(show);
        progressShown_ = true;
    };
    const RecordOrigin origin{path,
                              uint32_t(plan.fromCard ? cardRecordSize(plan.modelCode) : kMonthLogRecordSize)};
    handlers.record = [&](uint32_t done, uint32_t total, CallRecord* record) {
        lastKept = record ? &records.append(*record, origin) : nullptr;
        if (record)
            ++kept;
        lastDone = done;
        // The clock is read every few records only: reading it for each cost as much as keeping it.
        if ((done % 64 == 0 || done == total) && throttle.due(done == total))
            sendProgress(done, total);
    };

    const LogReadStatus status = plan.fromCard
                                     ? readCardLog(path, platform::Area::Card, plan.driveLetter,
                                                   plan.modelCode, &state_.contacts, &state_.quit, handlers)
                                     : readMonthLog(path, platform::Area::Backup, &state_.quit, handlers);
    if (state_.quit)
        return false;
    if (plan.fromCard && status == LogReadStatus::Empty)
        rebuild_.queue(plan.driveLetter);
    // A card pulled mid-read ends the log early: the last position reached is still shown.
    if (status == LogReadStatus::Read && lastDone != sentDone)
        sendProgress(lastDone, count);
    return true;
}

} // namespace tessa
