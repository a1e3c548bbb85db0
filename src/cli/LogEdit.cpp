#include "cli/LogEdit.h"

#include "cli/Json.h"
#include "cli/UserPaths.h"
#include "format/CardRecord.h"
#include "platform/NativePath.h"
#include "platform/VolumeTable.h"
#include "store/CallLogFile.h"

#include <algorithm>

namespace tessa::cli {
namespace log_edit_internal {

QString folderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

QString nameOf(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace log_edit_internal

using namespace log_edit_internal;

int parseLogEditArgs(const Args& args, Io io, const char* command, LogEditArgs* out) {
    if (args.positional().size() < 2)
        return usageError(io,
                          QStringLiteral("%1 needs LOG and at least one INDEX").arg(QLatin1String(command)));
    out->typed = args.positional().first();

    const QString modelText = args.value(QStringLiteral("model"), QStringLiteral("0"));
    if (modelText != QLatin1String("0") && modelText != QLatin1String("1"))
        return usageError(io, QStringLiteral("--model must be 0 or 1"));
    out->modelCode = modelText.toInt();

    for (const QString& text : args.positional().mid(1)) {
        bool ok =
            !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
        const uint32_t index = ok ? text.toUInt(&ok) : 0;
        if (!ok)
            return usageError(io, QStringLiteral("INDEX must be a record index, not '%1'").arg(text));
        if (std::find(out->indices.begin(), out->indices.end(), index) == out->indices.end())
            out->indices.push_back(index);
    }

    if (args.has(QStringLiteral("drive"))) {
        const QString letter = args.value(QStringLiteral("drive")).toUpper();
        if (letter.size() != 1 || letter[0] < QLatin1Char('A') || letter[0] > QLatin1Char('Z'))
            return usageError(io, QStringLiteral("--drive must be one letter"));
        out->drive = char(letter[0].unicode());
    }

    if (const int refused = checkReadableFile(io, out->typed); refused != ExitOk)
        return refused;
    out->native = userNativePath(out->typed);
    out->monthLog = isMonthLogName(nameOf(out->native));
    // The same drive letter as `log` gives the records, so that their paths read alike.
    if (out->drive == 0)
        out->drive = platform::hasDrivePrefix(out->typed) ? char(out->typed[0].toUpper().unicode())
                                                          : platform::driveLetterOfNative(out->native);
    if (out->drive == 0)
        out->drive = 'E';
    return ExitOk;
}

EditedLog::EditedLog() = default;

EditedLog::~EditedLog() {
    if (tableInstalled_)
        platform::setVolumeTable(previousTable_);
}

int EditedLog::load(const LogEditArgs& args, Io io) {
    LogReadHandlers handlers;
    LogReadStatus status;
    if (args.monthLog) {
        // <root>/<model folder>/CallLog/<month log>: anything else gives no backup root to stay inside.
        const QString callLogFolder = folderOf(args.native);
        const QString modelFolder = folderOf(callLogFolder);
        const QString model = nameOf(modelFolder);
        if (nameOf(callLogFolder) != QLatin1String("CallLog") ||
            (model != backupModelFolder(ModelVX7) && model != backupModelFolder(ModelVX5)))
            return inputError(
                io, QStringLiteral("%1 is not in a backup's CallLog folder "
                                   "(ROOT/TessaDeviceBackup/CallLog or ROOT/TessaDeviceBackupM/CallLog)")
                        .arg(args.typed));
        roots_ = std::make_unique<platform::ScopedFileRoots>(QString(), folderOf(modelFolder));
        area_ = platform::Area::Backup;
        const RecordOrigin origin{args.native, uint32_t(CallRecord::kSize)};
        handlers.record = [&](uint32_t, uint32_t, CallRecord* r) {
            if (r)
                records_.append(*r, origin);
        };
        status = readMonthLog(args.native, platform::Area::Backup, nullptr, handlers);
    } else {
        const QString cardRoot = folderOf(args.native);
        roots_ = std::make_unique<platform::ScopedFileRoots>(cardRoot, QString());
        area_ = platform::Area::Card;
        // The records name their recordings on drive <letter>: that drive is the log's folder.
        previousTable_ = platform::installedVolumeTable();
        auto table = std::make_shared<platform::FixedVolumeTable>(
            std::vector<platform::Volume>{{args.drive, platform::DriveRemovable, cardRoot}});
        platform::setVolumeTable(table);
        table->refresh();
        tableInstalled_ = true;
        const RecordOrigin origin{args.native, uint32_t(cardRecordSize(args.modelCode))};
        handlers.record = [&](uint32_t, uint32_t, CallRecord* r) {
            if (r)
                records_.append(*r, origin);
        };
        status = readCardLog(args.native, platform::Area::Card, args.drive, args.modelCode, nullptr, nullptr,
                             handlers);
    }
    if (status == LogReadStatus::Unreadable)
        return inputError(io, QStringLiteral("cannot read %1").arg(args.typed));
    return ExitOk;
}

CallRecord* EditedLog::find(uint32_t index) {
    for (CallRecord& r : records_)
        if (r.index == index && r.valid == 1 && r.validByte())
            return &r;
    return nullptr;
}

void printEditResults(Io io, bool json, const std::vector<EditResult>& results) {
    if (!json) {
        for (const EditResult& r : results) {
            io.out << r.index << ' ' << r.result;
            if (!r.reason.isEmpty())
                io.out << ": " << r.reason;
            if (r.recording == QLatin1String("shared"))
                io.out << " (the recording stays: another record names it)";
            io.out << '\n';
        }
        return;
    }
    io.out << '[';
    bool first = true;
    for (const EditResult& r : results) {
        io.out << (first ? "\n" : ",\n");
        first = false;
        JsonObjectWriter object(io.out);
        object.field("index", qint64(r.index)).field("result", r.result);
        if (!r.reason.isEmpty())
            object.field("reason", r.reason);
        if (!r.recording.isEmpty())
            object.field("recording", r.recording);
    }
    io.out << (first ? "]\n" : "\n]\n");
}

} // namespace tessa::cli
