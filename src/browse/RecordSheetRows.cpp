#include "browse/RecordSheetRows.h"

#include "browse/RecordListModel.h"

namespace tessa {

std::vector<QString> recordListTitles(const RecordListModel& model) {
    std::vector<QString> titles;
    for (int c = 0; c < model.columnCount(); ++c)
        titles.push_back(model.headerData(c, Qt::Horizontal).toString());
    return titles;
}

void readRecordListRows(const RecordListModel& model, int first, int count, std::vector<SheetListRow>& out) {
    out.assign(size_t(std::max(count, 0)), SheetListRow{});
    const int columns = model.columnCount();
    for (int i = 0; i < count; ++i) {
        const int row = first + i;
        if (row < 0 || row >= model.rowCount())
            continue;
        SheetListRow& into = out[size_t(i)];
        into.marked = model.cellImage(row, RecordListModel::ColumnMark) != RecordListModel::kNoImage;
        into.texts.reserve(size_t(columns));
        for (int c = 0; c < columns; ++c)
            into.texts.push_back(model.cellText(row, c));
    }
}

int RecordListSheetSource::rowCount() {
    return model_.rowCount();
}

} // namespace tessa
