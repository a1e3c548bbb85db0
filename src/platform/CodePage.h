#pragma once

// 8-bit text of the card files. The "system code page" is Windows-1252 unless the environment variable
// TESSA_CODEPAGE names another code page known to iconv (for example CP936 or CP1251).

#include <cstddef>
#include <cstdint>
#include <QByteArray>
#include <QString>

namespace tessa::platform {

class CodePage {
public:
    // A code page by iconv name; an unknown name falls back to Windows-1252.
    explicit CodePage(const QByteArray& iconvName);

    const QByteArray& name() const { return name_; }
    // Widens len bytes (stopping at the first zero byte) to UTF-16.
    QString decode(const char* bytes, size_t len) const;
    QString decode(const QByteArray& bytes) const { return decode(bytes.constData(), size_t(bytes.size())); }
    // Narrows text to this code page; characters it cannot hold become '?'.
    QByteArray encode(const QString& text) const;

private:
    QByteArray name_;
    bool singleByte_ = false;
    char16_t table_[256] = {}; // byte to UTF-16 for single-byte code pages
};

// The system code page (read from the environment once).
const CodePage& systemCodePage();
// A code page by number, such as 936 for the VX5 remarks.
const CodePage& codePageNumber(int number);

} // namespace tessa::platform
