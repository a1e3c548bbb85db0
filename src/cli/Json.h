#pragma once

// Small streaming JSON writer: large logs are printed record by record without building a document.

#include <QString>
#include <QTextStream>

namespace tessa::cli {

QString jsonString(const QString& text);

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
