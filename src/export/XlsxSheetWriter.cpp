#include "export/XlsxSheetWriter.h"

#include <cstdio>
#include <fcntl.h>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <unistd.h>
#include <xlsxwriter.h>

namespace tessa {
namespace {

// Pushes a finished file to the disk before it is renamed into place, so that a crash leaves either the
// old file or the new one.
bool syncFile(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    return ::close(fd) == 0 && synced;
}

} // namespace

XlsxSheetWriter::XlsxSheetWriter(const QString& path, const QString& scratchFolder) : path_(path) {
    // A unique name beside the target: the rename that puts the workbook in place stays on one file system.
    {
        QTemporaryFile reserve(QFileInfo(path).absolutePath() + QStringLiteral("/.") +
                               QFileInfo(path).fileName() + QStringLiteral(".XXXXXX"));
        reserve.setAutoRemove(false);
        if (!reserve.open())
            return;
        partialPath_ = reserve.fileName();
    }
    const QByteArray scratch = QFile::encodeName(scratchFolder);
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = scratch.isEmpty() ? nullptr : const_cast<char*>(scratch.constData());
    workbook_ = workbook_new_opt(QFile::encodeName(partialPath_).constData(), &options);
    if (!workbook_) {
        QFile::remove(partialPath_);
        return;
    }
    sheet_ = workbook_add_worksheet(workbook_, nullptr);
    cellFormat_ = workbook_add_format(workbook_);
    if (!sheet_ || !cellFormat_) {
        discard();
        return;
    }
    format_set_num_format_index(cellFormat_, 49); // the built-in text format, "@"
    format_set_border(cellFormat_, LXW_BORDER_THIN);
    format_set_border_color(cellFormat_, LXW_COLOR_BLACK);
    format_set_align(cellFormat_, LXW_ALIGN_CENTER);
    format_set_align(cellFormat_, LXW_ALIGN_VERTICAL_CENTER);
}

XlsxSheetWriter::~XlsxSheetWriter() {
    discard();
}

bool XlsxSheetWriter::setColumnWidth(int column, double width) {
    if (!sheet_ || column < 0 || column >= kMaxColumns)
        return false;
    if (worksheet_set_column(sheet_, lxw_col_t(column), lxw_col_t(column), width, nullptr) != LXW_NO_ERROR)
        failed_ = true;
    return !failed_;
}

bool XlsxSheetWriter::writeText(int row, int column, const QString& text) {
    if (!sheet_ || row < 0 || row >= kMaxRows || column < 0 || column >= kMaxColumns)
        return false;
    const QByteArray utf8 = text.toUtf8();
    // An empty string is written as a blank cell that still carries the border and the text format.
    const lxw_error result =
        worksheet_write_string(sheet_, lxw_row_t(row), lxw_col_t(column), utf8.constData(), cellFormat_);
    return result == LXW_NO_ERROR;
}

bool XlsxSheetWriter::finish() {
    if (!workbook_)
        return false;
    const lxw_error closed = workbook_close(workbook_);
    workbook_ = nullptr;
    sheet_ = nullptr;
    cellFormat_ = nullptr;
    const QByteArray from = QFile::encodeName(partialPath_);
    if (closed != LXW_NO_ERROR || failed_ || !syncFile(partialPath_) ||
        std::rename(from.constData(), QFile::encodeName(path_).constData()) != 0) {
        QFile::remove(partialPath_);
        return false;
    }
    return true;
}

void XlsxSheetWriter::discard() {
    if (!workbook_)
        return;
    // Closing is the library's only way to free a workbook; what it writes is thrown away.
    workbook_close(workbook_);
    workbook_ = nullptr;
    sheet_ = nullptr;
    QFile::remove(partialPath_);
}

} // namespace tessa
