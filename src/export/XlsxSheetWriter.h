#pragma once

// One worksheet of a new .xlsx workbook, written row by row. Every cell is stored as text (so a number
// such as 0123 keeps its leading zero) with a thin black border, centred both ways. Rows must come in
// order: the sheet is streamed to a scratch file instead of being held in memory, which keeps a list of
// 100 000 records small.
//
// The workbook appears at its path only once it is whole: it is written under a temporary name in the
// same folder, synced and then renamed.

#include <QString>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace tessa {

class XlsxSheetWriter {
public:
    // The last column a sheet gets: the cell addresses of the export have a single letter.
    static constexpr int kMaxColumns = 26;
    // Rows a worksheet can hold, the header row included.
    static constexpr int kMaxRows = 1048576;

    // scratchFolder takes the library's own temporary files; it must be private to the user.
    XlsxSheetWriter(const QString& path, const QString& scratchFolder);
    ~XlsxSheetWriter();
    XlsxSheetWriter(const XlsxSheetWriter&) = delete;
    XlsxSheetWriter& operator=(const XlsxSheetWriter&) = delete;

    // False when the workbook could not be started; every later call then fails.
    bool isOpen() const { return sheet_ != nullptr; }
    // Width of a column in characters; call it before the first row.
    bool setColumnWidth(int column, double width);
    // A text cell at a zero-based row and column; false on any failure (row beyond the sheet, no memory).
    bool writeText(int row, int column, const QString& text);
    // Writes the workbook and moves it into place. False when anything failed since it was opened: then
    // nothing is left at the path (an earlier file of that name stays as it was).
    bool finish();

private:
    void discard();

    QString path_;
    QString partialPath_;
    lxw_workbook* workbook_ = nullptr;
    lxw_worksheet* sheet_ = nullptr;
    lxw_format* cellFormat_ = nullptr;
    bool failed_ = false;
};

} // namespace tessa
