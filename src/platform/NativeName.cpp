#include "platform/NativeName.h"

namespace tessa::platform {
namespace native_name_internal {

constexpr char16_t kEscapeBase = 0xDC00;

// Length of the valid UTF-8 sequence at bytes[i], or 0 when it is invalid (overlong forms, encoded
// surrogates and values above U+10FFFF are invalid, so that every escaped byte maps back to itself).
int validSequence(const QByteArray& bytes, qsizetype i, char32_t* value) {
    const auto at = [&](qsizetype k) { return uint8_t(bytes[k]); };
    const uint8_t lead = at(i);
    int length = 0;
    char32_t v = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        v = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        v = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        v = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    for (int k = 1; k < length; ++k) {
        const uint8_t c = at(i + k);
        if ((c & 0xC0) != 0x80)
            return 0;
        v = (v << 6) | (c & 0x3F);
    }
    if ((length == 3 && v < 0x800) || (length == 4 && (v < 0x10000 || v > 0x10FFFF)) ||
        (v >= 0xD800 && v <= 0xDFFF))
        return 0;
    *value = v;
    return length;
}

void appendUtf8(QByteArray& out, char32_t v) {
    if (v < 0x80) {
        out += char(v);
    } else if (v < 0x800) {
        out += char(0xC0 | (v >> 6));
        out += char(0x80 | (v & 0x3F));
    } else if (v < 0x10000) {
        out += char(0xE0 | (v >> 12));
        out += char(0x80 | ((v >> 6) & 0x3F));
        out += char(0x80 | (v & 0x3F));
    } else {
        out += char(0xF0 | (v >> 18));
        out += char(0x80 | ((v >> 12) & 0x3F));
        out += char(0x80 | ((v >> 6) & 0x3F));
        out += char(0x80 | (v & 0x3F));
    }
}

} // namespace native_name_internal

QString decodeNativeName(const QByteArray& bytes) {
    using namespace native_name_internal;
    QString out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        const uint8_t c = uint8_t(bytes[i]);
        if (c < 0x80) {
            out += QChar(char16_t(c));
            ++i;
            continue;
        }
        char32_t value = 0;
        if (const int length = validSequence(bytes, i, &value)) {
            out += QString::fromUcs4(&value, 1);
            i += length;
        } else {
            out += QChar(char16_t(kEscapeBase + c));
            ++i;
        }
    }
    return out;
}

QByteArray encodeNativeName(const QString& name) {
    using namespace native_name_internal;
    QByteArray out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t u = name[i].unicode();
        if (u >= kEscapeBase + 0x80 && u <= kEscapeBase + 0xFF) {
            out += char(u - kEscapeBase);
        } else if (QChar::isHighSurrogate(u) && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
            appendUtf8(out, QChar::surrogateToUcs4(u, name[i + 1].unicode()));
            ++i;
        } else if (QChar::isSurrogate(u)) {
            appendUtf8(out, 0xFFFD); // a lone surrogate no byte sequence stands for
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

QStringList losslessArguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(decodeNativeName(QByteArray(argv[i])));
    return arguments;
}

} // namespace tessa::platform
