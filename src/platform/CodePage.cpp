#include "platform/CodePage.h"

#include <cerrno>
#include <iconv.h>
#include <memory>
#include <QHash>
#include <QMutex>

namespace tessa::platform {
namespace {

// Converts with a fresh iconv descriptor: descriptors carry shift state and are not thread-safe, and
// multi-byte conversions are rare enough (remarks) that opening one per call is fine.
QByteArray convert(const QByteArray& from, const QByteArray& to, const char* in, size_t len, bool* ok) {
    *ok = false;
    iconv_t cd = iconv_open(to.constData(), from.constData());
    if (cd == iconv_t(-1))
        return {};
    QByteArray out(int(len * 4 + 8), '\0');
    char* src = const_cast<char*>(in);
    size_t srcLeft = len;
    char* dst = out.data();
    size_t dstLeft = size_t(out.size());
    const size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (rc == size_t(-1))
        return {};
    out.resize(out.size() - int(dstLeft));
    *ok = true;
    return out;
}

bool iconvKnows(const QByteArray& name) {
    iconv_t cd = iconv_open("UTF-16LE", name.constData());
    if (cd == iconv_t(-1))
        return false;
    iconv_close(cd);
    return true;
}

} // namespace

CodePage::CodePage(const QByteArray& iconvName) : name_(iconvKnows(iconvName) ? iconvName : "CP1252") {
    // A code page whose every byte widens to at most one unit is served from a table.
    singleByte_ = true;
    for (int b = 0; b < 256; ++b) {
        const char c = char(b);
        bool ok = false;
        const QByteArray utf16 = b == 0 ? QByteArray(2, '\0') : convert(name_, "UTF-16LE", &c, 1, &ok);
        if (b != 0 && ok && utf16.size() == 2)
            table_[b] = char16_t(uint8_t(utf16[0]) | uint8_t(utf16[1]) << 8);
        else if (b != 0 && ok)
            singleByte_ = false; // a byte that needs more than one unit
        else if (b != 0 && !ok)
            table_[b] = char16_t(b); // undefined bytes map to the same code point, as Windows does
    }
    // Lead bytes of a multi-byte code page fail on their own: detect them by a two-byte probe.
    if (singleByte_) {
        const char probe[2] = {char(0x81), char(0x40)};
        bool ok = false;
        const QByteArray utf16 = convert(name_, "UTF-16LE", probe, 2, &ok);
        if (ok && utf16.size() == 2)
            singleByte_ = false;
    }
}

QString CodePage::decode(const char* bytes, size_t len) const {
    size_t n = 0;
    while (n < len && bytes[n] != 0)
        ++n;
    if (singleByte_) {
        QString out(qsizetype(n), Qt::Uninitialized);
        QChar* d = out.data();
        for (size_t i = 0; i < n; ++i)
            d[i] = QChar(table_[uint8_t(bytes[i])]);
        return out;
    }
    bool ok = false;
    const QByteArray utf16 = convert(name_, "UTF-16LE", bytes, n, &ok);
    if (!ok) {
        // Invalid sequences: widen byte by byte rather than lose the text.
        QString out;
        for (size_t i = 0; i < n; ++i)
            out.append(QChar(uint8_t(bytes[i])));
        return out;
    }
    return QString(reinterpret_cast<const QChar*>(utf16.constData()), utf16.size() / 2);
}

QByteArray CodePage::encode(const QString& text) const {
    QByteArray out;
    out.reserve(text.size());
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        if (singleByte_) {
            char byte = '?';
            for (int b = 1; b < 256; ++b)
                if (table_[b] == u) {
                    byte = char(b);
                    break;
                }
            if (u == 0)
                break;
            out.append(u < 0x80 && table_[u] == u ? char(u) : byte);
            continue;
        }
        bool ok = false;
        const QByteArray one = convert("UTF-16LE", name_, reinterpret_cast<const char*>(&u), 2, &ok);
        out.append(ok ? one : QByteArray("?"));
    }
    return out;
}

const CodePage& systemCodePage() {
    static const CodePage page([] {
        QByteArray name = qgetenv("TESSA_CODEPAGE").trimmed();
        if (name.isEmpty())
            return QByteArray("CP1252");
        bool numeric = false;
        name.toInt(&numeric);
        return numeric ? "CP" + name : name; // "936" names code page 936
    }());
    return page;
}

const CodePage& codePageNumber(int number) {
    static QMutex mutex;
    static QHash<int, std::shared_ptr<CodePage>> pages;
    QMutexLocker lock(&mutex);
    auto& page = pages[number];
    if (!page)
        page = std::make_shared<CodePage>("CP" + QByteArray::number(number));
    return *page;
}

} // namespace tessa::platform
