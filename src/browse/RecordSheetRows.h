#pragma once

// A record list model read for the spreadsheet export: column titles and rows as the list shows them.
// Reads the model directly, so it runs on the model's thread; the window's export asks for rows through
// the GUI queue, the command-line tool on its only thread.

#include "export/SheetSource.h"

namespace tessa {

class RecordListModel;

std::vector<QString> recordListTitles(const RecordListModel& model);
// Rows first .. first + count - 1 of the model; rows past its end come back empty.
void readRecordListRows(const RecordListModel& model, int first, int count, std::vector<SheetListRow>& out);

// A source over a model on the calling thread.
class RecordListSheetSource : public SheetSource {
public:
    explicit RecordListSheetSource(const RecordListModel& model) : model_(model) {}
    std::vector<QString> columnTitles() override { return recordListTitles(model_); }
    int rowCount() override;
    bool fetchRows(int first, int count, std::vector<SheetListRow>& out) override {
        readRecordListRows(model_, first, count, out);
        return true;
    }

private:
    const RecordListModel& model_;
};

} // namespace tessa
