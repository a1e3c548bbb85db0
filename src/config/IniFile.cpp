#include "config/IniFile.h"

#include <QFile>
#include <QMutex>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace tessa {
namespace {

// Profile access is serialised within the process, as the platform's profile functions are, so that two
// writers never lose each other's change.
QMutex& profileMutex() {
    static QMutex mutex;
    return mutex;
}

enum class Encoding { Utf8, Utf8Bom, Utf16Le };

struct Document {
    QStringList lines;
    Encoding encoding = Encoding::Utf8;
    QString newline = QStringLiteral("\n");
    bool finalNewline = true;
};

std::optional<Document> load(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray raw = file.readAll();
    Document doc;
    QString text;
    if (raw.startsWith("\xFF\xFE")) {
        doc.encoding = Encoding::Utf16Le;
        text = QStringDecoder(QStringDecoder::Utf16LE).decode(raw.mid(2));
    } else if (raw.startsWith("\xEF\xBB\xBF")) {
        doc.encoding = Encoding::Utf8Bom;
        text = QString::fromUtf8(raw.mid(3));
    } else {
        text = QString::fromUtf8(raw);
    }
    if (text.contains(QStringLiteral("\r\n")))
        doc.newline = QStringLiteral("\r\n");
    doc.finalNewline = text.isEmpty() || text.endsWith(QLatin1Char('\n'));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    doc.lines = text.split(QLatin1Char('\n'));
    if (doc.finalNewline && !doc.lines.isEmpty() && doc.lines.last().isEmpty())
        doc.lines.removeLast();
    return doc;
}

bool save(const QString& path, const Document& doc) {
    QString text = doc.lines.join(doc.newline);
    if (doc.finalNewline || doc.lines.isEmpty())
        text += doc.newline;
    QByteArray raw;
    switch (doc.encoding) {
    case Encoding::Utf16Le:
        raw = QByteArray("\xFF\xFE", 2) + QByteArray(QStringEncoder(QStringEncoder::Utf16LE).encode(text));
        break;
    case Encoding::Utf8Bom:
        raw = QByteArray("\xEF\xBB\xBF") + text.toUtf8();
        break;
    case Encoding::Utf8:
        raw = text.toUtf8();
        break;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(raw) != raw.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// "[name]" gives name; anything else nullopt.
std::optional<QString> sectionName(const QString& line) {
    const QString t = line.trimmed();
    if (!t.startsWith(QLatin1Char('[')))
        return std::nullopt;
    const qsizetype close = t.indexOf(QLatin1Char(']'));
    if (close < 0)
        return std::nullopt;
    return t.mid(1, close - 1).trimmed();
}

bool isComment(const QString& line) {
    const QString t = line.trimmed();
    return t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#'));
}

// Key of a "key=value" line, or nullopt.
std::optional<QString> keyOf(const QString& line) {
    if (isComment(line))
        return std::nullopt;
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return std::nullopt;
    return line.left(eq).trimmed();
}

QString valueOf(const QString& line) {
    QString v = line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
    if (v.size() >= 2 && (v.front() == QLatin1Char('"') || v.front() == QLatin1Char('\'')) &&
        v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    return v;
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

struct Location {
    qsizetype sectionLine = -1; // line of "[section]"
    qsizetype keyLine = -1;
    qsizetype lastContentLine = -1; // last non-blank line inside the section
};

Location locate(const Document& doc, const QString& section, const QString& key) {
    Location at;
    bool inside = false;
    for (qsizetype i = 0; i < doc.lines.size(); ++i) {
        const QString& line = doc.lines[i];
        if (auto name = sectionName(line)) {
            if (inside)
                break; // the first matching section is the one used
            if (sameName(*name, section)) {
                inside = true;
                at.sectionLine = i;
                at.lastContentLine = i;
            }
            continue;
        }
        if (!inside)
            continue;
        if (!line.trimmed().isEmpty())
            at.lastContentLine = i;
        if (auto k = keyOf(line); k && sameName(*k, key) && at.keyLine < 0)
            at.keyLine = i;
    }
    return at;
}

} // namespace

std::optional<QString> IniFile::read(const QString& section, const QString& key) const {
    QMutexLocker lock(&profileMutex());
    const auto doc = load(path_);
    if (!doc)
        return std::nullopt;
    const Location at = locate(*doc, section, key);
    if (at.keyLine < 0)
        return std::nullopt;
    return valueOf(doc->lines[at.keyLine]);
}

bool IniFile::write(const QString& section, const QString& key, const QString& value) const {
    QMutexLocker lock(&profileMutex());
    Document doc = load(path_).value_or(Document{});
    const Location at = locate(doc, section, key);
    const QString line = key + QLatin1Char('=') + value;
    if (at.keyLine >= 0) {
        doc.lines[at.keyLine] = line;
    } else if (at.sectionLine >= 0) {
        doc.lines.insert(at.lastContentLine + 1, line);
    } else {
        if (!doc.lines.isEmpty() && !doc.lines.last().trimmed().isEmpty())
            doc.lines.append(QString());
        doc.lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
        doc.lines.append(line);
    }
    return save(path_, doc);
}

int profileInteger(const QString& value) {
    const QString t = value.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == QLatin1Char('-') || t[i] == QLatin1Char('+')))
        negative = t[i++] == QLatin1Char('-');
    long long n = 0;
    for (; i < t.size() && t[i].isDigit() && t[i].unicode() < 128; ++i) {
        n = n * 10 + (t[i].unicode() - '0');
        if (n > 0xFFFFFFFFLL)
            break;
    }
    return static_cast<int>(static_cast<uint32_t>(negative ? -n : n));
}

} // namespace tessa
