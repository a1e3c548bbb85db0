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

namespace {

template <size_t N>
void appendField(QByteArray& out, const Utf16Field<N>& field) {
    char16_t units[N];
    size_t n = 0;
    for (; n < N; ++n) {
        units[n] = char16_t(field.units[n].get());
        if (units[n] == 0)
            break;
    }
    appendJsonString(out, units, n);
}

void appendKey(QByteArray& out, const char* key, bool first = false) {
    if (!first)
        out.append(',');
    out.append('"');
    out.append(key);
    out.append("\":", 2);
}

void appendTwoDigits(QByteArray& out, unsigned value) {
    out.append(char('0' + value / 10 % 10));
    out.append(char('0' + value % 10));
}

} // namespace

void appendRecordJson(QByteArray& out, const CallRecord& r, int modelCode, bool first) {
    out.append(first ? "\n{" : ",\n{");
    appendKey(out, "index", true);
    appendJsonNumber(out, qint64(r.index.get()));
    appendKey(out, "valid");
    appendJsonNumber(out, qint64(r.valid.get()));
    appendKey(out, "callType");
    appendJsonNumber(out, qint64(r.callType.get()));
    appendKey(out, "auxFlag");
    appendJsonNumber(out, qint64(r.auxFlag.get()));
    appendKey(out, "marked");
    appendJsonNumber(out, qint64(r.marked.get()));
    appendKey(out, "time");
    const RecordTime& t = r.time;
    if (t.year.get() <= 9999) {
        // "YYYY-MM-DD hh:mm:ss" without a detour through text; fields beyond two digits take the slow way.
        const bool twoDigits = t.month.get() < 100 && t.day.get() < 100 && t.hour.get() < 100 &&
                               t.minute.get() < 100 && t.second.get() < 100;
        if (twoDigits) {
            out.append('"');
            appendTwoDigits(out, t.year.get() / 100);
            appendTwoDigits(out, t.year.get() % 100);
            out.append('-');
            appendTwoDigits(out, t.month.get());
            out.append('-');
            appendTwoDigits(out, t.day.get());
            out.append(' ');
            appendTwoDigits(out, t.hour.get());
            out.append(':');
            appendTwoDigits(out, t.minute.get());
            out.append(':');
            appendTwoDigits(out, t.second.get());
            out.append('"');
        } else {
            appendJsonString(out, timeText(t));
        }
    } else {
        appendJsonString(out, timeText(t));
    }
    appendKey(out, "number");
    appendField(out, r.number);
    appendKey(out, "name");
    appendField(out, r.name);
    appendKey(out, "callDuration");
    appendJsonNumber(out, qint64(r.callDuration.get()));
    appendKey(out, "recordingDuration");
    appendJsonNumber(out, qint64(r.recordingDuration.get()));
    appendKey(out, "shortPath");
    appendField(out, r.shortPath);
    appendKey(out, "fullPath");
    appendField(out, r.fullPath);
    appendKey(out, "remark");
    appendJsonString(out, modelCode == ModelVX5 ? cardRemark(r) : QString());
    out.append('}');
}

void printRecordJson(QTextStream& out, const CallRecord& r, int modelCode, bool first) {
    QByteArray bytes;
    appendRecordJson(bytes, r, modelCode, first);
    writeUtf8(out, bytes);
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
