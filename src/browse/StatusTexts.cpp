#include "browse/StatusTexts.h"

#include "config/Settings.h"
#include "config/StringTable.h"
#include "format/CardRecord.h"
#include "store/LoadSink.h"

namespace tessa {

QString modelDisplayName(int modelCode) {
    return readStringSetting(modelCode != ModelVX7 ? QStringLiteral("Device2") : QStringLiteral("Device"));
}

QString pageSummaryText(int pageType, int rowCount, int modelCode) {
    QString label;
    switch (pageType) {
    case PageRoot:
        return modelDisplayName(modelCode);
    case PageAll:
        label = text(2);
        break;
    case PageOutgoing:
        label = text(3);
        break;
    case PageIncoming:
        label = text(4);
        break;
    case PageNotes:
        label = text(5);
        break;
    case PageTriggered:
        label = text(163);
        break;
    case PageAnswering:
        label = text(25);
        break;
    case PageMarked:
        label = text(105);
        break;
    case PageMissed:
        label = text(106);
        break;
    case PageQuery:
        label = text(156);
        break;
    case PageImport:
        label = text(215);
        break;
    case PageDevice:
        return text(6);
    default:
        return {};
    }
    return QStringLiteral("%1:  %2").arg(label).arg(rowCount);
}

QString freeSpaceText(uint64_t freeBytes, int modelCode, int viewMode) {
    float rate = modelCode == ModelVX5 ? 5.625f : 14.0f; // megabytes per hour of recording
    float size = float(uint32_t(freeBytes >> 20));
    QString unit = QStringLiteral("MB");
    if (size >= 1048576.0f) {
        size *= 1.0f / 1048576.0f;
        rate *= 1.0f / 1048576.0f;
        unit = QStringLiteral("TB");
    } else if (size >= 1024.0f) {
        size *= 1.0f / 1024.0f;
        rate *= 1.0f / 1024.0f;
        unit = QStringLiteral("GB");
    }
    const QString label = viewMode == 1 ? text(144) : text(143);
    return QStringLiteral("%1: %2(%3: %4%5, %6: %7%8)")
        .arg(text(142), label, text(146), QString::number(size, 'f', 2), unit, text(147),
             QString::number(size / rate, 'f', 2), text(148));
}

} // namespace tessa
