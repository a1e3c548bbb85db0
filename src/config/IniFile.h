#pragma once

// Reading and writing one key of an initialisation file the way the profile functions of the recorder's
// original desktop platform do: section and key names are case-insensitive, values are trimmed and lose
// one pair of surrounding quotes, and a write keeps every other line, comment and the order of the file,
// creating the section or key when missing. Lines the write does not own are kept byte for byte, in
// whatever encoding they are; files may be 8-bit or UTF-8 (with or without BOM) or UTF-16 of either byte
// order with its BOM, and are written back in their own encoding. Every call reads the file anew; a write
// replaces it atomically, with the old file's mode, so that a crash never leaves a truncated file.

#include <optional>
#include <QByteArray>
#include <QString>

namespace tessa {

class IniFile {
public:
    explicit IniFile(QString path) : path_(std::move(path)) {}

    // The value, or nullopt when the file, section or key is missing.
    std::optional<QString> read(const QString& section, const QString& key) const;
    // False when the file cannot be written, or exists but cannot be read (writing would lose every
    // other line); the file is then unchanged.
    bool write(const QString& section, const QString& key, const QString& value) const;

    // The file's bytes, for many reads of one unchanged file through readFrom(); nullopt when the file
    // is missing or cannot be read.
    std::optional<QByteArray> contents() const;
    // The value in the given bytes of a file, found as read() finds it.
    static std::optional<QString> readFrom(const QByteArray& contents, const QString& section,
                                           const QString& key);

    const QString& path() const { return path_; }

private:
    QString path_;
};

// The integer a profile value reads as: optional blanks, an optional sign and leading decimal digits;
// anything else reads as 0.
int profileInteger(const QString& value);

} // namespace tessa
