#pragma once

// The vCard reader (versions 2.1, 3.0 and 4.0): vCard bytes in, one contact block per card out, with the
// display name and up to seven telephone numbers.
//
// What is read from a card: FN as the name, else N as "Given Family", else the first part of ORG; every
// TEL in file order, up to seven, its value kept as written apart from surrounding blanks (a "tel:" URI
// loses its scheme and its URI parameters). Name resolution compares numbers exactly, so nothing else is
// changed. A card that yields no name is not delivered: it could never name a caller, and an empty name
// would only take a name away from a record that another contact had named. Text without a CHARSET is
// UTF-8 when it is valid UTF-8, else in the PC's code page, as old exports without one were written.
//
// Input of any shape is survivable: lines are cut at kMaxLineBytes, a card without END is closed by the
// next BEGIN or the end of the data.

#include "format/ContactBlock.h"

#include <cstddef>
#include <functional>
#include <memory>
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

// Reads vCard bytes pushed in chunks of any size: splits physical lines, unfolds them into logical lines
// and builds the cards.
class VCardParser {
public:
    explicit VCardParser(const ContactCallback& deliver);
    ~VCardParser();
    VCardParser(const VCardParser&) = delete;
    VCardParser& operator=(const VCardParser&) = delete;

    // False once the callback has asked to stop.
    bool feed(const char* data, qsizetype size);
    // Ends the input: a card the data ended inside is delivered with what it held.
    ContactReadResult finish();

private:
    class Reader;
    std::unique_ptr<Reader> reader_;
};

// Parses vCard text holding any number of cards.
ContactReadResult readVCardData(const QByteArray& data, const ContactCallback& deliver);

} // namespace tessa::platform
