#include "cli/LogCommand.h"

#include "browse/RecordListModel.h"
#include "browse/RecordSheetRows.h"
#include "cli/Json.h"
#include "cli/RecordOutput.h"
#include "cli/UserPaths.h"
#include "config/ProgramFolder.h"
#include "export/SpreadsheetExport.h"
#include "format/CardRecord.h"
#include "phonebook/ContactList.h"
#include "platform/NativePath.h"
#include "platform/VCardContactSource.h"
#include "store/CallLogFile.h"
#include "store/LoadSink.h"
#include "store/Remark.h"

#include <deque>
#include <QFileInfo>

namespace tessa::cli {
namespace {

// The records as the record list shows them (page 1, every column), written as a workbook.
bool writeWorkbook(const std::deque<CallRecord>& records, int modelCode, const QString& out) {
    RecordListModel list(PageAll);
    list.setModelCode(modelCode);
    std::vector<CallRecord*> rows;
    for (const CallRecord& r : records)
        rows.push_back(const_cast<CallRecord*>(&r));
    list.appendRows(rows);
    RecordListSheetSource source(list);
    // An empty log still gets its header row, so that the file says what it would hold.
    SheetOptions options;
    options.headerWhenEmpty = true;
    const SheetStatus status = exportSpreadsheet(source, out, privateTempFolder(), options);
    return status == SheetStatus::Written || status == SheetStatus::Empty;
}

} // namespace

int LogCommand::run(const Args& args, Io io) const {
    if (args.positional().size() != 1)
        return usageError(io, QStringLiteral("log needs exactly one FILE"));
    const QString file = args.positional().first();

    const QString modelText = args.value(QStringLiteral("model"), QStringLiteral("0"));
    if (modelText != QLatin1String("0") && modelText != QLatin1String("1"))
        return usageError(io, QStringLiteral("--model must be 0 or 1"));
    const int model = modelText.toInt();

    char drive = 0;
    if (args.has(QStringLiteral("drive"))) {
        const QString letter = args.value(QStringLiteral("drive")).toUpper();
        if (letter.size() != 1 || letter[0] < QLatin1Char('A') || letter[0] > QLatin1Char('Z'))
            return usageError(io, QStringLiteral("--drive must be one letter"));
        drive = char(letter[0].unicode());
    } else if (platform::hasDrivePrefix(file)) {
        drive = char(file[0].toUpper().unicode());
    } else {
        drive = platform::driveLetterOfNative(QFileInfo(file).absoluteFilePath());
        if (drive == 0)
            drive = 'E';
    }

    if (const int refused = checkReadableFile(io, file); refused != ExitOk)
        return refused;
    const QString native = userNativePath(file);

    const bool json = args.has(QStringLiteral("json"));
    const bool workbook = args.has(QStringLiteral("xlsx"));
    const QString workbookPath = args.value(QStringLiteral("xlsx"));
    if (workbook && workbookPath.isEmpty())
        return usageError(io, QStringLiteral("--xlsx needs a file name"));
    std::deque<CallRecord> listed;
    const bool monthLog = isMonthLogName(file);

    // Names for card records, from a vCard file or a folder of them. Month-log records keep the names they
    // were backed up with: the loader resolves only card records, and so does this command.
    ContactList contacts;
    const bool withContacts = args.has(QStringLiteral("contacts"));
    if (withContacts) {
        const platform::VCardContactSource source(args.value(QStringLiteral("contacts")));
        if (source.path().isEmpty() || !source.available())
            return inputError(io, QStringLiteral("cannot read contacts %1").arg(source.path()));
        source.enumerate([&contacts](const ContactBlock& block) {
            contacts.append(block);
            return true;
        });
        if (!json)
            io.err << contacts.size() << " contact(s) from " << source.path() << "\n";
        if (monthLog)
            io.err << "tessa-cli: records of a month log keep their stored names; --contacts names card "
                      "records only\n";
    }
    // Remarks exist only on VX5 cards; a month log tells its model by the backup folder it lies in.
    const int remarkModel =
        monthLog ? (model == ModelVX5 || file.contains(backupModelFolder(ModelVX5)) ? ModelVX5 : ModelVX7)
                 : model;
    if (json)
        io.out << "[";
    bool first = true;
    uint32_t kept = 0;
    // JSON goes out in blocks of about a megabyte.
    QByteArray jsonBlock;
    constexpr qsizetype kJsonBlock = 1 << 20;
    LogReadHandlers handlers;
    handlers.record = [&](uint32_t, uint32_t, CallRecord* record) {
        if (!record)
            return;
        ++kept;
        if (workbook)
            listed.push_back(*record);
        if (json) {
            appendRecordJson(jsonBlock, *record, remarkModel, first);
            if (jsonBlock.size() >= kJsonBlock) {
                writeUtf8(io.out, jsonBlock);
                jsonBlock.resize(0);
            }
        } else
            printRecordText(io.out, *record, remarkModel);
        first = false;
    };
    const LogReadStatus status = monthLog
                                     ? readMonthLog(native, platform::Area::User, nullptr, handlers)
                                     : readCardLog(native, platform::Area::User, drive, model,
                                                   withContacts ? &contacts : nullptr, nullptr, handlers);
    if (json)
        writeUtf8(io.out, jsonBlock);
    if (status == LogReadStatus::Unreadable) {
        if (json)
            io.out << "]\n";
        return inputError(io, QStringLiteral("cannot read %1").arg(file));
    }
    if (json)
        io.out << (first ? "]\n" : "\n]\n");
    if (workbook) {
        if (!writeWorkbook(listed, remarkModel, workbookPath))
            return inputError(io, QStringLiteral("cannot write %1").arg(workbookPath));
        if (!json)
            io.err << listed.size() << " record(s) written to " << workbookPath << "\n";
    }
    if (status == LogReadStatus::Empty)
        io.err << "tessa-cli: " << file << " holds no whole record\n";
    else if (status == LogReadStatus::NoLiveRecord)
        io.err << "tessa-cli: every record of " << file << " is deleted\n";
    else if (!json)
        io.err << kept << " record(s)\n";
    return ExitOk;
}

} // namespace tessa::cli
