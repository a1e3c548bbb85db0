#include "cli/Json.h"

#include <charconv>
#include <QIODevice>

namespace tessa::cli {

QString jsonString(const QString& text) {
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    for (QChar c : text) {
        switch (c.unicode()) {
        case '"':
            out += QLatin1String("\\\"");
            break;
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        default:
            if (c.unicode() < 0x20 || c.isSurrogate())
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += QLatin1Char('"');
    return out;
}

void appendJsonString(QByteArray& out, const char16_t* units, size_t count) {
    static constexpr char kHex[] = "0123456789abcdef";
    // Room for the worst case, six bytes a unit, written through a pointer and cut to size after.
    const qsizetype start = out.size();
    out.resize(start + 2 + 6 * qsizetype(count));
    char* p = out.data() + start;
    *p++ = '"';
    for (size_t i = 0; i < count; ++i) {
        const uint16_t u = units[i];
        if (u >= 0x20 && u < 0x80 && u != '"' && u != '\\') {
            *p++ = char(u);
            continue;
        }
        switch (u) {
        case '"':
        case '\\':
            *p++ = '\\';
            *p++ = char(u);
            continue;
        case '\n':
            *p++ = '\\';
            *p++ = 'n';
            continue;
        case '\r':
            *p++ = '\\';
            *p++ = 'r';
            continue;
        case '\t':
            *p++ = '\\';
            *p++ = 't';
            continue;
        default:
            break;
        }
        if (u < 0x20 || (u >= 0xD800 && u <= 0xDFFF)) {
            *p++ = '\\';
            *p++ = 'u';
            *p++ = kHex[u >> 12];
            *p++ = kHex[(u >> 8) & 15];
            *p++ = kHex[(u >> 4) & 15];
            *p++ = kHex[u & 15];
        } else if (u < 0x800) {
            *p++ = char(0xC0 | (u >> 6));
            *p++ = char(0x80 | (u & 0x3F));
        } else {
            *p++ = char(0xE0 | (u >> 12));
            *p++ = char(0x80 | ((u >> 6) & 0x3F));
            *p++ = char(0x80 | (u & 0x3F));
        }
    }
    *p++ = '"';
    out.resize(p - out.data());
}

void appendJsonNumber(QByteArray& out, qint64 value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end - digits);
}

void writeUtf8(QTextStream& out, const QByteArray& bytes) {
    if (QIODevice* device = out.device()) {
        out.flush();
        device->write(bytes);
    } else {
        out << QString::fromUtf8(bytes);
    }
}

} // namespace tessa::cli
