#pragma once

// The record list a spreadsheet is made from, as the export sees it: column titles and rows of cell texts.
// The list belongs to another thread in the window, so rows are asked for in blocks.

#include <QString>
#include <vector>

namespace tessa {

struct SheetListRow {
    // The row shows the mark image in its first column.
    bool marked = false;
    // The texts of every column; a column that shows only an image has an empty text.
    std::vector<QString> texts;
};

class SheetSource {
public:
    virtual ~SheetSource() = default;
    virtual std::vector<QString> columnTitles() = 0;
    virtual int rowCount() = 0;
    // Rows first .. first + count - 1 into out (resized to count). A row that no longer exists comes back
    // empty. False when the list cannot be read any more (the program is closing).
    virtual bool fetchRows(int first, int count, std::vector<SheetListRow>& out) = 0;
};

} // namespace tessa
