#pragma once

// The contact source: the user's address book as vCard files (versions 2.1, 3.0 and 4.0), handed to the
// program one contact at a time as a contact block with the display name and up to seven telephone
// numbers, the way the contacts library of the recorder's maker hands them over.
//
// What is read from a card: FN as the name, else N as "Given Family", else the first part of ORG; every
// TEL in file order, up to seven, its value kept as written apart from surrounding blanks (a "tel:" URI
// loses its scheme and its URI parameters). Name resolution compares numbers exactly, so nothing else is
// changed. A card that yields no name is not delivered: it could never name a caller, and an empty name
// would only take a name away from a record that another contact had named. Text without a CHARSET is
// UTF-8 when it is valid UTF-8, else in the PC's code page, as old exports without one were written.
//
// Input of any shape is survivable: lines are cut at kMaxLineBytes, a card without END is closed by the
// next BEGIN or the end of the file, and files that cannot be opened are skipped.

#include "format/ContactBlock.h"

#include <cstddef>
#include <functional>
#include <QByteArray>
#include <QString>

namespace tessa::platform {

// Called once per contact with a block the callee copies; false stops the delivery.
using ContactCallback = std::function<bool(const ContactBlock&)>;

struct ContactReadResult {
    size_t delivered = 0; // blocks handed to the callback
    size_t files = 0;     // vCard files opened
    bool stopped = false; // the callback returned false
};

// Longest physical or unfolded line kept; anything beyond belongs to photos and sounds, never to a name
// or a number.
constexpr qsizetype kMaxLineBytes = 64 * 1024;
// A single file is read up to this size.
constexpr qint64 kMaxFileBytes = qint64(256) * 1024 * 1024;

// Parses vCard text holding any number of cards.
ContactReadResult readVCardData(const QByteArray& data, const ContactCallback& deliver);
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
