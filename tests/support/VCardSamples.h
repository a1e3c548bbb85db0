#pragma once

// vCard exports of the kinds address books write, and the contacts read from them, for the tests of the
// vCard reader and of the contact source.

#include "format/ContactBlock.h"
#include "platform/VCardParser.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace tessa::test {

struct Contact {
    QString name;
    QStringList numbers;
};

inline std::vector<Contact> toContacts(const std::vector<ContactBlock>& blocks) {
    std::vector<Contact> out;
    for (const ContactBlock& b : blocks) {
        Contact c{b.name.text(), {}};
        for (const auto& n : b.numbers)
            if (!n.empty())
                c.numbers.append(n.text());
        out.push_back(c);
    }
    return out;
}

inline std::vector<Contact> parse(const QByteArray& text) {
    std::vector<ContactBlock> blocks;
    platform::readVCardData(text, [&](const ContactBlock& b) {
        blocks.push_back(b);
        return true;
    });
    return toContacts(blocks);
}

inline QByteArray crlf(QByteArray lf) {
    return lf.replace("\n", "\r\n");
}

// A phone's export: 2.1, quoted-printable UTF-8 with soft breaks (one of them inside a two-byte
// character), bare parameters, a Latin-1 and a Windows-1252 card, and a photo in base64.
inline const QByteArray kPhoneExport =
    crlf("BEGIN:VCARD\n"
         "VERSION:2.1\n"
         "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:M=C3=BCller;J=C3=BCrgen;;;\n"
         "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:J=C3=BCrgen M=C3=BCller-L=C3=BCdens=\n"
         "cheid von Gro=C3=\n"
         "=9Fenbach\n"
         "TEL;CELL;PREF:+49 171 5550123\n"
         "TEL;HOME:030-5550199\n"
         "PHOTO;ENCODING=BASE64;JPEG:/9j/4AAQSkZJRgABAQAAAQABAAD/2wBDAAgGBgcGBQgHBwcJ\n"
         "    CQgKDBQNDAsLDBkSEx8gIiEfHh4dHiEfJC8nHCg=\n"
         "\n"
         "END:VCARD\n"
         "BEGIN:VCARD\n"
         "VERSION:2.1\n"
         "N;QUOTED-PRINTABLE;CHARSET=ISO-8859-1:Lef=E8vre;Ren=E9e\n"
         "TEL;WORK;VOICE:0145550177\n"
         "END:VCARD\n"
         "BEGIN:VCARD\n"
         "VERSION:2.1\n"
         "FN;CHARSET=WINDOWS-1252;ENCODING=QUOTED-PRINTABLE:Du=9Aan Nov=E1k =80\n"
         "TEL:+420 555 010 203\n"
         "END:VCARD\n");

// A desktop address book's 3.0 export: folded lines, item groups, TYPE lists, escapes, a folded photo.
inline const QByteArray kDesktopExport =
    "BEGIN:VCARD\r\n"
    "VERSION:3.0\r\n"
    "PRODID:-//Example//Address Book 13.0//EN\r\n"
    "N:Fitzgerald-Ramirez;Bartholomew;;Dr.;\r\n"
    "FN:Dr. Bartholomew Fitzgerald-Ram\r\n"
    " irez\r\n"
    "ORG:Example Corp;Sales\r\n"
    "item1.TEL;type=pref:+1 (555) 010-0001\r\n"
    "item1.X-ABLabel:_$!<Other>!$_\r\n"
    "TEL;type=CELL;type=VOICE:555 0102\r\n"
    "TEL;TYPE=WORK,VOICE:5550103\r\n"
    "item2.EMAIL;type=INTERNET:bart@example.com\r\n"
    "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgABAQAAAQABAAD/2wBDAAgGBgcG\r\n"
    " BQgHBwcJCQgKDBQNDAsLDBkSEx8gIiEfHh4dHiEfJC8nHCg==\r\n"
    "END:VCARD\r\n"
    "BEGIN:VCARD\r\n"
    "VERSION:3.0\r\n"
    "N:Jones;;;;\r\n"
    "FN:Smith\\, Jones \\\\ Partners\\; Ltd\r\n"
    "TEL;TYPE=FAX:\r\n"
    "TEL;TYPE=WORK:02075550100\r\n"
    "END:VCARD\r\n";

inline const QByteArray kVersion4 = "BEGIN:VCARD\n"
                                    "VERSION:4.0\n"
                                    "FN:Simon Perreault\n"
                                    "N:Perreault;Simon;;;ing. jr,M.Sc.\n"
                                    "TEL;VALUE=uri;PREF=1;TYPE=\"voice,home\":tel:+1-418-656-9254;ext=102\n"
                                    "TEL;VALUE=uri;TYPE=\"work,cell,voice,video,text\":TEL:+1-418-262-6501\n"
                                    "TEL;VALUE=uri:sip:5551234@example.com\n"
                                    "TEL;VALUE=text:  0800 555 0199  \n"
                                    "END:VCARD\n";

} // namespace tessa::test
