#include "export/SpreadsheetExport.h"

#include "config/StringTable.h"
#include "export/XlsxSheetWriter.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace tessa {
namespace {

constexpr double kHeaderWidth = 20;
// Rows asked of the list at once: few enough that the window never waits long for the worker's question.
constexpr int kFetchBlock = 256;

// Paces progress reports: a report at most every period and always the last one.
class ProgressPace {
public:
    bool due(bool last) {
        const auto now = std::chrono::steady_clock::now();
        if (!last && now < next_)
            return false;
        next_ = now + std::chrono::milliseconds(30);
        return true;
    }

private:
    std::chrono::steady_clock::time_point next_ = std::chrono::steady_clock::now();
};

bool stopped(const SheetOptions& options) {
    return options.stop && options.stop->load();
}

} // namespace

SheetStatus exportSpreadsheet(SheetSource& source, const QString& path, const QString& scratchFolder,
                              const SheetOptions& options) {
    const int total = std::max(source.rowCount(), 0);
    if (total == 0 && !options.headerWhenEmpty)
        return SheetStatus::Empty;
    const std::vector<QString> titles = source.columnTitles();
    const int columns = std::min<int>(int(titles.size()), XlsxSheetWriter::kMaxColumns);

    XlsxSheetWriter sheet(path, scratchFolder);
    if (!sheet.isOpen())
        return SheetStatus::NotWritten;
    bool complete = true;
    for (int c = 0; c < columns; ++c)
        complete = sheet.setColumnWidth(c, kHeaderWidth) && complete;
    for (int c = 0; c < columns; ++c)
        complete = sheet.writeText(0, c, titles[size_t(c)]) && complete;

    const QString markText = text(17);
    ProgressPace pace;
    std::vector<SheetListRow> block;
    for (int first = 0; first < total && complete; first += kFetchBlock) {
        const int count = std::min(kFetchBlock, total - first);
        if (stopped(options) || !source.fetchRows(first, count, block))
            return SheetStatus::Stopped; // the sheet is discarded with its writer
        block.resize(size_t(count));
        for (int i = 0; i < count && complete; ++i) {
            // The list belongs to the window: let it have the processor between rows.
            std::this_thread::yield();
            const SheetListRow& row = block[size_t(i)];
            const int sheetRow = first + i + 1;
            for (int c = 0; c < columns && complete; ++c) {
                const QString cell = c == 0
                                         ? (row.marked ? markText : QString())
                                         : (size_t(c) < row.texts.size() ? row.texts[size_t(c)] : QString());
                complete = sheet.writeText(sheetRow, c, cell);
            }
            const int done = first + i + 1;
            if (options.rowsDone && complete && pace.due(done == total))
                options.rowsDone(done, total);
        }
    }
    if (stopped(options))
        return SheetStatus::Stopped;
    if (!sheet.finish())
        return SheetStatus::NotWritten;
    if (total == 0)
        return SheetStatus::Empty;
    return complete ? SheetStatus::Written : SheetStatus::Incomplete;
}

QString spreadsheetFileName(const QString& modelName, const QString& listName, const QDateTime& made) {
    QString name = QStringLiteral("%1 %2 %3")
                       .arg(modelName, listName, made.toString(QStringLiteral("yyyy-MM-dd hh.mm.ss")));
    name = name.simplified();
    for (QChar& ch : name)
        if (ch == QLatin1Char('/') || ch == QLatin1Char('\\') || ch.category() == QChar::Other_Control)
            ch = QLatin1Char('_');
    if (name.startsWith(QLatin1Char('.')))
        name[0] = QLatin1Char('_'); // not a hidden file
    return name + QStringLiteral(".xlsx");
}

} // namespace tessa
