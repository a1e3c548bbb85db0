#pragma once

// The contact source: the user's address book as vCard files (versions 2.1, 3.0 and 4.0), handed to the
// program one contact at a time as a contact block with the display name and up to seven telephone
// numbers, the way the contacts library of the recorder's maker hands them over.
//
// Files that cannot be opened are skipped; a file is read up to kMaxFileBytes.

#include "platform/VCardParser.h"

#include <QString>

namespace tessa::platform {

// A single file is read up to this size.
constexpr qint64 kMaxFileBytes = qint64(256) * 1024 * 1024;

// Reads one vCard file; a file that cannot be opened delivers nothing and counts as no file.
ContactReadResult readVCardFile(const QString& path, const ContactCallback& deliver);

class VCardContactSource {
public:
    // path: a vCard file, or a folder whose *.vcf files are read in the order of their names.
    explicit VCardContactSource(QString path = defaultFolder()) : path_(std::move(path)) {}

    // $XDG_DATA_HOME/tessa/contacts/ (~/.local/share/tessa/contacts/ when unset or not absolute).
    static QString defaultFolder();

    const QString& path() const { return path_; }
    // True when the path is a readable file or a folder whose listing can be read.
    bool available() const;
    // Hands every contact to deliver and returns when all are delivered or the callback stops.
    ContactReadResult enumerate(const ContactCallback& deliver) const;

private:
    QString path_;
};

} // namespace tessa::platform
