#include "cli/RecordOutput.h"

#include "cli/Json.h"
#include "format/CardRecord.h"
#include "store/Remark.h"

namespace tessa::cli {

QString timeText(const RecordTime& t) {
    return QStringLiteral("%1-%2-%3 %4:%5:%6")
        .arg(t.year.get(), 4, 10, QLatin1Char('0'))
        .arg(t.month.get(), 2, 10, QLatin1Char('0'))
        .arg(t.day.get(), 2, 10, QLatin1Char('0'))
        .arg(t.hour.get(), 2, 10, QLatin1Char('0'))
        .arg(t.minute.get(), 2, 10, QLatin1Char('0'))
        .arg(t.second.get(), 2, 10, QLatin1Char('0'));
}

void printRecordJson(QTextStream& out, const CallRecord& r, int modelCode, bool first) {
    out << (first ? "\n" : ",\n");
    JsonObjectWriter(out)
        .field("index", qint64(r.index.get()))
        .field("valid", qint64(r.valid.get()))
        .field("callType", qint64(r.callType.get()))
        .field("auxFlag", qint64(r.auxFlag.get()))
        .field("marked", qint64(r.marked.get()))
        .field("time", timeText(r.time))
        .field("number", r.number.text())
        .field("name", r.name.text())
        .field("callDuration", qint64(r.callDuration.get()))
        .field("recordingDuration", qint64(r.recordingDuration.get()))
        .field("shortPath", r.shortPath.text())
        .field("fullPath", r.fullPath.text())
        .field("remark", modelCode == ModelVX5 ? cardRemark(r) : QString());
}

void printRecordText(QTextStream& out, const CallRecord& r, int modelCode) {
    out << qSetFieldWidth(6) << r.index.get() << qSetFieldWidth(0) << "  type " << r.callType.get()
        << (r.marked.get() == 1 ? " marked " : "        ") << timeText(r.time) << "  " << r.number.text();
    if (!r.name.empty())
        out << " (" << r.name.text() << ")";
    out << "  " << r.callDuration.get() << "s/" << r.recordingDuration.get() << "s  " << r.fullPath.text();
    if (modelCode == ModelVX5) {
        const QString remark = cardRemark(r);
        if (!remark.isEmpty())
            out << "  [" << remark << "]";
    }
    out << "\n";
}

} // namespace tessa::cli
