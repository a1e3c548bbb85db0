#pragma once

// Reading and writing one key of an initialisation file the way the profile functions of the recorder's
// original desktop platform do: section and key names are case-insensitive, values are trimmed and lose
// one pair of surrounding quotes, and a write keeps every other line, comment and the order of the file,
// creating the section or key when missing. Files may be UTF-8 (with or without BOM) or UTF-16LE with a
// BOM. Every call reads the file anew; a write replaces it atomically so that a crash never leaves a
// truncated file.

#include <optional>
#include <QString>

namespace tessa {

class IniFile {
public:
    explicit IniFile(QString path) : path_(std::move(path)) {}

    // The value, or nullopt when the file, section or key is missing.
    std::optional<QString> read(const QString& section, const QString& key) const;
    // False when the file cannot be written; the file is then unchanged.
    bool write(const QString& section, const QString& key, const QString& value) const;

    const QString& path() const { return path_; }

private:
    QString path_;
};

// The integer a profile value reads as: optional blanks, an optional sign and leading decimal digits;
// anything else reads as 0.
int profileInteger(const QString& value);

} // namespace tessa
