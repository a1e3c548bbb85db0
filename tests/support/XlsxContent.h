#pragma once

// Reads an .xlsx workbook back for the tests: the first sheet's cells with their styles, the column
// widths, and the cell formats of the style sheet. Unzipping is left to unzip(1), the XML to Qt's reader.

#include <map>
#include <QProcess>
#include <QString>
#include <QXmlStreamReader>
#include <vector>

namespace tessa::test {

struct XlsxCellFormat {
    int numFmtId = 0;
    QString numFmtCode;              // "@" for text; built-in ids are resolved for the ones the tests meet
    bool thinBorderAllRound = false; // left, right, top and bottom thin
    QString horizontal;
    QString vertical;
};

struct XlsxContent {
    bool read = false;
    std::map<QString, QString> texts; // "A1" -> text; a blank cell maps to ""
    std::map<QString, int> styles;    // "A1" -> index into formats
    std::map<int, double> widths;     // zero-based column -> width
    std::vector<XlsxCellFormat> formats;
    int maxColumn = -1; // zero-based, of every cell present
    int maxRow = 0;     // one-based

    bool has(const QString& cell) const { return texts.count(cell) != 0; }
    QString text(const QString& cell) const {
        const auto it = texts.find(cell);
        return it == texts.end() ? QString() : it->second;
    }
    const XlsxCellFormat* formatOf(const QString& cell) const {
        const auto it = styles.find(cell);
        return it == styles.end() || size_t(it->second) >= formats.size() ? nullptr
                                                                          : &formats[size_t(it->second)];
    }
};

inline QByteArray unzipMember(const QString& archive, const QString& member) {
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), archive, member});
    if (!unzip.waitForFinished(30000) || unzip.exitCode() != 0)
        return {};
    return unzip.readAllStandardOutput();
}

inline std::vector<QString> readSharedStrings(const QByteArray& xml) {
    std::vector<QString> strings;
    QXmlStreamReader r(xml);
    QString current;
    bool inItem = false;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement() && r.name() == QLatin1String("si")) {
            inItem = true;
            current.clear();
        } else if (r.isStartElement() && r.name() == QLatin1String("t") && inItem) {
            current += r.readElementText();
        } else if (r.isEndElement() && r.name() == QLatin1String("si")) {
            strings.push_back(current);
            inItem = false;
        }
    }
    return strings;
}

inline std::vector<XlsxCellFormat> readCellFormats(const QByteArray& xml) {
    std::vector<bool> thinBorders;
    std::vector<XlsxCellFormat> formats;
    std::map<int, QString> codes = {{0, QStringLiteral("General")}, {49, QStringLiteral("@")}};
    QXmlStreamReader r(xml);
    enum { None, Borders, CellXfs } section = None;
    int thinSides = 0;
    while (!r.atEnd()) {
        r.readNext();
        const auto name = r.name();
        if (r.isStartElement()) {
            if (name == QLatin1String("numFmt"))
                codes[r.attributes().value(QLatin1String("numFmtId")).toInt()] =
                    r.attributes().value(QLatin1String("formatCode")).toString();
            else if (name == QLatin1String("borders"))
                section = Borders;
            else if (name == QLatin1String("cellXfs"))
                section = CellXfs;
            else if (section == Borders && name == QLatin1String("border"))
                thinSides = 0;
            else if (section == Borders &&
                     (name == QLatin1String("left") || name == QLatin1String("right") ||
                      name == QLatin1String("top") || name == QLatin1String("bottom")) &&
                     r.attributes().value(QLatin1String("style")) == QLatin1String("thin"))
                ++thinSides;
            else if (section == CellXfs && name == QLatin1String("xf")) {
                XlsxCellFormat f;
                f.numFmtId = r.attributes().value(QLatin1String("numFmtId")).toInt();
                f.numFmtCode = codes.count(f.numFmtId) ? codes[f.numFmtId] : QString();
                const int border = r.attributes().value(QLatin1String("borderId")).toInt();
                f.thinBorderAllRound = size_t(border) < thinBorders.size() && thinBorders[size_t(border)];
                formats.push_back(f);
            } else if (section == CellXfs && name == QLatin1String("alignment") && !formats.empty()) {
                formats.back().horizontal = r.attributes().value(QLatin1String("horizontal")).toString();
                formats.back().vertical = r.attributes().value(QLatin1String("vertical")).toString();
            }
        } else if (r.isEndElement()) {
            if (section == Borders && name == QLatin1String("border"))
                thinBorders.push_back(thinSides == 4);
            else if (name == QLatin1String("borders") || name == QLatin1String("cellXfs"))
                section = None;
        }
    }
    return formats;
}

inline XlsxContent readXlsx(const QString& path) {
    XlsxContent content;
    const QByteArray sheet = unzipMember(path, QStringLiteral("xl/worksheets/sheet1.xml"));
    if (sheet.isEmpty())
        return content;
    const std::vector<QString> shared =
        readSharedStrings(unzipMember(path, QStringLiteral("xl/sharedStrings.xml")));
    content.formats = readCellFormats(unzipMember(path, QStringLiteral("xl/styles.xml")));
    QXmlStreamReader r(sheet);
    QString cell, type;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement() && r.name() == QLatin1String("col")) {
            const int min = r.attributes().value(QLatin1String("min")).toInt();
            const int max = r.attributes().value(QLatin1String("max")).toInt();
            for (int c = min; c <= max; ++c)
                content.widths[c - 1] = r.attributes().value(QLatin1String("width")).toDouble();
        } else if (r.isStartElement() && r.name() == QLatin1String("c")) {
            cell = r.attributes().value(QLatin1String("r")).toString();
            type = r.attributes().value(QLatin1String("t")).toString();
            content.texts[cell] = QString();
            content.styles[cell] = r.attributes().value(QLatin1String("s")).toInt();
            int column = 0;
            qsizetype letters = 0;
            while (letters < cell.size() && cell.at(letters).isLetter())
                column = column * 26 + (cell.at(letters++).unicode() - 'A' + 1);
            content.maxColumn = std::max(content.maxColumn, column - 1);
            content.maxRow = std::max(content.maxRow, cell.mid(letters).toInt());
        } else if (r.isStartElement() && r.name() == QLatin1String("t")) {
            content.texts[cell] += r.readElementText();
        } else if (r.isStartElement() && r.name() == QLatin1String("v")) {
            const QString v = r.readElementText();
            content.texts[cell] =
                type == QLatin1String("s") && v.toUInt() < shared.size() ? shared[v.toUInt()] : v;
        }
    }
    content.read = !r.hasError();
    return content;
}

} // namespace tessa::test
