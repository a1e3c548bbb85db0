#include "config/IniFile.h"

#include <QFile>
#include <QMutex>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <vector>

namespace tessa {
namespace {

// Profile access is serialised within the process, as the platform's profile functions are, so that two
// writers never lose each other's change.
QMutex& profileMutex() {
    static QMutex mutex;
    return mutex;
}

enum class Encoding { Bytes, Utf8Bom, Utf16Le, Utf16Be };

// The file as lines of raw bytes, each with its own line end, so that a write changes the one line it
// owns and leaves every other byte as it was, whatever those lines hold (text in another code page,
// bytes that are no valid UTF-8).
struct Document {
    Encoding encoding = Encoding::Bytes;
    QByteArray bom;
    std::vector<QByteArray> lines; // raw, line end included when the line has one
    QString newline = QStringLiteral("\n");
};

int unitSize(Encoding encoding) {
    return encoding == Encoding::Utf16Le || encoding == Encoding::Utf16Be ? 2 : 1;
}

// Code unit i of the raw bytes, in the file's order.
char16_t unitAt(const QByteArray& raw, qsizetype i, Encoding encoding) {
    const auto b = [&](qsizetype at) { return char16_t(uint8_t(raw[at])); };
    switch (encoding) {
    case Encoding::Utf16Le:
        return char16_t(b(2 * i) | (b(2 * i + 1) << 8));
    case Encoding::Utf16Be:
        return char16_t((b(2 * i) << 8) | b(2 * i + 1));
    default:
        return b(i);
    }
}

QString decode(const QByteArray& raw, Encoding encoding) {
    switch (encoding) {
    case Encoding::Utf16Le:
        return QStringDecoder(QStringDecoder::Utf16LE).decode(raw);
    case Encoding::Utf16Be:
        return QStringDecoder(QStringDecoder::Utf16BE).decode(raw);
    default:
        return QString::fromUtf8(raw);
    }
}

QByteArray encode(const QString& text, Encoding encoding) {
    switch (encoding) {
    case Encoding::Utf16Le:
        return QStringEncoder(QStringEncoder::Utf16LE).encode(text);
    case Encoding::Utf16Be:
        return QStringEncoder(QStringEncoder::Utf16BE).encode(text);
    default:
        return text.toUtf8();
    }
}

// A line's text without its line end.
QString lineText(const Document& doc, size_t i) {
    QString text = decode(doc.lines[i], doc.encoding);
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    return text;
}

Document parse(const QByteArray& raw) {
    Document doc;
    if (raw.startsWith("\xFF\xFE"))
        doc.encoding = Encoding::Utf16Le;
    else if (raw.startsWith("\xFE\xFF"))
        doc.encoding = Encoding::Utf16Be;
    else if (raw.startsWith("\xEF\xBB\xBF"))
        doc.encoding = Encoding::Utf8Bom;
    doc.bom = raw.left(doc.encoding == Encoding::Bytes ? 0 : doc.encoding == Encoding::Utf8Bom ? 3 : 2);
    const QByteArray body = raw.mid(doc.bom.size());
    const int unit = unitSize(doc.encoding);
    const qsizetype units = body.size() / unit;
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < units; ++i) {
        if (unitAt(body, i, doc.encoding) != u'\n')
            continue;
        if (doc.lines.empty() && i > 0 && unitAt(body, i - 1, doc.encoding) == u'\r')
            doc.newline = QStringLiteral("\r\n");
        doc.lines.push_back(body.mid(lineStart * unit, (i + 1 - lineStart) * unit));
        lineStart = i + 1;
    }
    // The last line without an end, and an odd byte a UTF-16 file may end with, stay as they are.
    if (lineStart * unit < body.size())
        doc.lines.push_back(body.mid(lineStart * unit));
    return doc;
}

enum class Loaded { Read, Missing, Unreadable };

Loaded readBytes(const QString& path, QByteArray* raw) {
    QFile file(path);
    if (!file.exists())
        return Loaded::Missing;
    if (!file.open(QIODevice::ReadOnly))
        return Loaded::Unreadable;
    *raw = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Loaded::Unreadable;
    return Loaded::Read;
}

Loaded load(const QString& path, Document* doc) {
    QByteArray raw;
    const Loaded loaded = readBytes(path, &raw);
    if (loaded == Loaded::Read)
        *doc = parse(raw);
    return loaded;
}

// Replaces the file at once: a crash leaves either the old file or the new one, never a short one. The
// new file gets the old one's mode.
bool save(const QString& path, const Document& doc) {
    QByteArray raw = doc.bom;
    for (const QByteArray& line : doc.lines)
        raw += line;
    const QFileDevice::Permissions mode = QFile::permissions(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (mode != QFileDevice::Permissions())
        file.setPermissions(mode);
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
    for (qsizetype i = 0; i < qsizetype(doc.lines.size()); ++i) {
        const QString line = lineText(doc, size_t(i));
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

std::optional<QString> valueIn(const Document& doc, const QString& section, const QString& key) {
    const Location at = locate(doc, section, key);
    if (at.keyLine < 0)
        return std::nullopt;
    return valueOf(lineText(doc, size_t(at.keyLine)));
}

} // namespace

std::optional<QString> IniFile::read(const QString& section, const QString& key) const {
    const std::optional<QByteArray> raw = contents();
    return raw ? readFrom(*raw, section, key) : std::nullopt;
}

std::optional<QByteArray> IniFile::contents() const {
    QMutexLocker lock(&profileMutex());
    QByteArray raw;
    if (readBytes(path_, &raw) != Loaded::Read)
        return std::nullopt;
    return raw;
}

std::optional<QString> IniFile::readFrom(const QByteArray& contents, const QString& section,
                                         const QString& key) {
    return valueIn(parse(contents), section, key);
}

bool IniFile::write(const QString& section, const QString& key, const QString& value) const {
    QMutexLocker lock(&profileMutex());
    Document doc;
    // A file that is there but cannot be read is left alone: writing the one key would lose the rest.
    if (load(path_, &doc) == Loaded::Unreadable)
        return false;
    const auto encoded = [&doc](const QString& text) { return encode(text + doc.newline, doc.encoding); };
    const auto endLastLine = [&doc] {
        if (doc.lines.empty())
            return;
        QByteArray& last = doc.lines.back();
        const int unit = unitSize(doc.encoding);
        if (last.size() < unit || unitAt(last, last.size() / unit - 1, doc.encoding) != u'\n')
            last += encode(doc.newline, doc.encoding);
    };
    const Location at = locate(doc, section, key);
    const QString line = key + QLatin1Char('=') + value;
    if (at.keyLine >= 0) {
        const bool ended = size_t(at.keyLine) + 1 < doc.lines.size() ||
                           decode(doc.lines[size_t(at.keyLine)], doc.encoding).endsWith(QLatin1Char('\n'));
        doc.lines[size_t(at.keyLine)] = ended ? encoded(line) : encode(line, doc.encoding);
    } else if (at.sectionLine >= 0) {
        if (size_t(at.lastContentLine) + 1 == doc.lines.size())
            endLastLine();
        doc.lines.insert(doc.lines.begin() + at.lastContentLine + 1, encoded(line));
    } else {
        endLastLine();
        if (!doc.lines.empty() && !lineText(doc, doc.lines.size() - 1).trimmed().isEmpty())
            doc.lines.push_back(encoded(QString()));
        doc.lines.push_back(encoded(QLatin1Char('[') + section + QLatin1Char(']')));
        doc.lines.push_back(encoded(line));
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
