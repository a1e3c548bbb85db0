#pragma once

// One call record as a JSON object, with the keys every record-listing command uses, or as a line of text.

#include "format/CallRecord.h"

#include <QByteArray>
#include <QString>
#include <QTextStream>

namespace tessa::cli {

// "YYYY-MM-DD hh:mm:ss".
QString timeText(const RecordTime& t);

// Writes the record as one element of a JSON array: a newline before the first, ",\n" before the others.
// The remark is filled for VX5 records only.
void printRecordJson(QTextStream& out, const CallRecord& r, int modelCode, bool first);
// The same element appended as UTF-8 to a buffer, for listings long enough that the stream would cost
// more than the records.
void appendRecordJson(QByteArray& out, const CallRecord& r, int modelCode, bool first);

// One line: index, type, marking, time, number (and name), durations, full path (and the VX5 remark).
void printRecordText(QTextStream& out, const CallRecord& r, int modelCode);

} // namespace tessa::cli
