#pragma once

// Decoding card records of CallLog.dat into call records, and encoding card records from recording names
// when a card's call log is rebuilt.

#include "format/CallRecord.h"
#include "format/CardRecord.h"
#include "platform/FileError.h"

#include <array>
#include <optional>
#include <QByteArray>
#include <QString>

namespace tessa {

class ContactList;

// Digit codes of the 128-byte record's number: 0-9, 10 '*', 11 '#', 12-15 'A'-'D'.
QChar digitCodeToChar(uint8_t code);
// Code for a character; lower-case a-d are accepted, anything unlisted is written as 10 ('*').
uint8_t charToDigitCode(QChar ch);

// Decodes one card record (128 bytes for model codes other than 1, 256 for model code 1) into a call
// record that the caller has zero-filled and given its index. False when card byte 0 is not 1.
// contacts may be null (no name resolution).
bool decodeCardRecord(const uint8_t* card, CallRecord& record, char driveLetter, int modelCode,
                      const ContactList* contacts);

// Replaces the record's date and time fields with the recording stamp in its card path, where the
// stamp's value differs and is not 0. recordSize is 128 or 256.
void correctDateFromPath(CallRecord& record, size_t recordSize);

// Fills an empty name from the contact list. stripTrailingKey removes one trailing '*' or '#' of the
// number first (128-byte records).
void resolveName(CallRecord& record, const ContactList* contacts, bool stripTrailingKey);

// What a card record holds, as the encoder takes it. The number, the VX7's name and the VX5's remark are
// Latin-1 text cut to their fields; the card path is in the card's code page already.
struct CardRecordFields {
    bool valid = true;
    bool marked = false;
    uint32_t callType = 0;
    uint16_t year = 2000;
    uint8_t month = 0, day = 0, hour = 0, minute = 0;
    QString number; // digit codes in the VX7's record, except for note types
    QString name;   // VX7 only
    QString remark; // VX5 only
    uint32_t callSeconds = 0;
    uint32_t recordingSeconds = 0;
    QByteArray cardPath;
};

// The card record of the model (128 bytes for model codes other than 1, 256 for 1; bytes beyond the
// record size are zero); nullopt when the card path is longer than its field. A 45-byte path fills the
// VX7's field without a terminator, as the recorder writes it.
std::optional<std::array<uint8_t, 256>> encodeCardFields(const CardRecordFields& fields, int modelCode);

// The card record for a recording name, as the rebuild writes it; nullopt when the name breaks the
// recording-name grammar. durationSeconds goes into both duration fields. The bytes beyond the record
// size of the model are zero.
std::optional<std::array<uint8_t, 256>> buildCardRecord(char driveLetter, const QString& recordingName,
                                                        int modelCode, uint32_t durationSeconds);

// What appending a rebuilt record gave.
struct EncodeOutcome {
    bool nameRejected = false;                               // the name breaks the grammar: nothing written
    platform::FileError written = platform::FileError::None; // the append (None when it went in whole)
    bool appended() const { return !nameRejected && written == platform::FileError::None; }
};

// Builds the card record for a recording of the card on driveLetter (its duration measured from the file)
// and appends it to the card's CallLog.dat (created when missing) through the confined file layer: a full
// or pulled card is reported, and a failed append leaves the log as it was.
EncodeOutcome encodeCardRecord(char driveLetter, const QString& recordingName, int modelCode);

} // namespace tessa
