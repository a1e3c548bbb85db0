#pragma once

// The spreadsheet of a record list: row 1 the column titles, then one row per list row in list order.
// The first column is the mark column: text 17 for a marked row, empty otherwise; every other cell takes
// the list's text. Columns beyond Z are left out. Header columns are 20 characters wide.

#include "export/SheetSource.h"

#include <atomic>
#include <functional>
#include <QDateTime>
#include <QString>

namespace tessa {

enum class SheetStatus {
    Written,
    Empty,      // the list has no rows: nothing is written unless asked for
    Incomplete, // the sheet could not take every row (more rows than a sheet holds, no memory); what was
                // filled so far is written
    NotWritten, // the workbook could not be written at all
    Stopped,    // the program is closing; nothing is left behind
};

struct SheetOptions {
    // Called after rows are done with (done, total), not necessarily after every one.
    std::function<void(int done, int total)> rowsDone;
    const std::atomic<bool>* stop = nullptr;
    // An empty list still gets a workbook with its header row (the command-line tool); the window's
    // export does nothing for an empty list.
    bool headerWhenEmpty = false;
};

// Writes the workbook of the source's list to path (scratch files in scratchFolder).
SheetStatus exportSpreadsheet(SheetSource& source, const QString& path, const QString& scratchFolder,
                              const SheetOptions& options = {});

// A name that says what the workbook holds: the model, the list and when it was made, e.g.
// "VX7 All Records 2018-01-15 09.30.12.xlsx". Characters a file name cannot carry become '_'.
QString spreadsheetFileName(const QString& modelName, const QString& listName, const QDateTime& made);

} // namespace tessa
