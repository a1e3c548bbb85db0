#include "export/MailBody.h"

#include "config/Settings.h"
#include "config/StringTable.h"
#include "platform/CodePage.h"

namespace tessa {
namespace {

QString two(uint32_t value) {
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

QString callTypeText(uint32_t callType) {
    switch (callType) {
    case CallIncoming:
        return text(18);
    case CallMissed:
        return text(19);
    case CallOutgoing:
        return text(20);
    case CallNote:
        return text(21);
    case CallNote2:
        return text(22);
    case CallTriggered:
        return text(23);
    case CallAnswering:
        return text(24);
    default:
        return {};
    }
}

} // namespace

QString mailRecordBlock(const CallRecord& r) {
    const RecordTime& t = r.time;
    QString block = QStringLiteral("%1:%2/%3/%4 %5:%6:%7")
                        .arg(text(11))
                        .arg(t.year.get(), 4, 10, QLatin1Char('0'))
                        .arg(two(t.month), two(t.day), two(t.hour), two(t.minute), two(t.second));
    block += QStringLiteral("\r\n%1:%2 %3").arg(text(12), r.number.text(), r.name.text());
    const uint32_t seconds = r.callDuration;
    block += QStringLiteral("\r\n%1:%2:%3:%4")
                 .arg(text(13), two(seconds / 3600), two(seconds / 60 % 60), two(seconds % 60));
    if (r.callType >= CallIncoming && r.callType <= CallAnswering)
        block += QStringLiteral("\r\n%1:%2").arg(text(16), callTypeText(r.callType));
    block += QStringLiteral("\r\n\r\n");
    return block;
}

QString mailFooter(int modelCode) {
    const QString device =
        readStringSetting(modelCode == 1 ? QStringLiteral("Device2") : QStringLiteral("Device"));
    return QStringLiteral("\r\n%1\r\n%2\r\n%3")
        .arg(device, readStringSetting(QStringLiteral("Company")), readStringSetting(QStringLiteral("Web")));
}

QString mailBody(const std::vector<CallRecord>& records, int modelCode) {
    QString body;
    for (const CallRecord& r : records)
        body += mailRecordBlock(r);
    body += mailFooter(modelCode);
    const qint64 budget = qint64(records.size()) * kMailBodyBytesPerRecord - 1;
    return cutToCodePageBytes(body, int(std::min<qint64>(budget, INT32_MAX)));
}

QString cutToCodePageBytes(const QString& text, int maxBytes) {
    if (maxBytes <= 0)
        return {};
    const platform::CodePage& codePage = platform::systemCodePage();
    if (codePage.encode(text).size() <= maxBytes)
        return text;
    // Characters take one or more bytes: find the longest prefix that fits, never splitting a surrogate
    // pair.
    qsizetype low = 0, high = text.size();
    while (low < high) {
        const qsizetype mid = (low + high + 1) / 2;
        if (codePage.encode(text.left(mid)).size() <= maxBytes)
            low = mid;
        else
            high = mid - 1;
    }
    if (low > 0 && text[low - 1].isHighSurrogate())
        --low;
    return text.left(low);
}

} // namespace tessa
