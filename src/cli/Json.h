#pragma once

// Small streaming JSON writer: large logs are printed record by record without building a document.

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QTextStream>

namespace tessa::cli {

QString jsonString(const QString& text);

// The same JSON string, of UTF-16 units, appended as UTF-8 to a byte buffer: listing 100 000 records
// through QString texts costs more than reading them.
void appendJsonString(QByteArray& out, const char16_t* units, size_t count);
inline void appendJsonString(QByteArray& out, QStringView text) {
    appendJsonString(out, text.utf16(), size_t(text.size()));
}
void appendJsonNumber(QByteArray& out, qint64 value);

// Writes UTF-8 bytes to the stream: straight to its device when it has one, else as text.
void writeUtf8(QTextStream& out, const QByteArray& bytes);

class JsonObjectWriter {
public:
    explicit JsonObjectWriter(QTextStream& out) : out_(out) { out_ << '{'; }
    ~JsonObjectWriter() { out_ << '}'; }
    JsonObjectWriter& field(const char* key, const QString& value) { return raw(key, jsonString(value)); }
    JsonObjectWriter& field(const char* key, qint64 value) { return raw(key, QString::number(value)); }
    JsonObjectWriter& field(const char* key, bool value) {
        return raw(key, value ? QStringLiteral("true") : QStringLiteral("false"));
    }
    JsonObjectWriter& null(const char* key) { return raw(key, QStringLiteral("null")); }
    JsonObjectWriter& raw(const char* key, const QString& json) {
        if (!first_)
            out_ << ',';
        first_ = false;
        out_ << '"' << key << "\":" << json;
        return *this;
    }

private:
    QTextStream& out_;
    bool first_ = true;
};

} // namespace tessa::cli
