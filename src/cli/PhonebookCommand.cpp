#include "cli/PhonebookCommand.h"

#include "cli/Json.h"
#include "phonebook/Phonebook.h"

namespace tessa::cli {

int PhonebookCommand::run(const Args& args, Io io) const {
    if (args.positional().size() != 1)
        return usageError(io, QStringLiteral("phonebook needs exactly one FILE"));
    const QString file = args.positional().first();
    const bool json = args.has(QStringLiteral("json"));

    // The file the user names is the user's: no card root applies, every other rule of the file layer does.
    const PhonebookListing listing = readPhonebook(file, platform::Area::User);
    if (listing.status == PhonebookListStatus::Unreadable)
        return inputError(io, QStringLiteral("cannot open %1: %2")
                                  .arg(file, QLatin1String(platform::fileErrorText(listing.error))));

    if (json) {
        io.out << "[";
        bool first = true;
        for (const PhonebookRow& row : listing.rows) {
            io.out << (first ? "\n" : ",\n");
            first = false;
            JsonObjectWriter(io.out)
                .field("index", qint64(row.index))
                .field("name", row.name)
                .field("number1", row.number1)
                .field("number2", row.number2)
                .field("number3", row.number3)
                .field("type", qint64(row.type))
                .field("typeText", row.typeText());
        }
        io.out << (first ? "]\n" : "\n]\n");
    } else {
        for (const PhonebookRow& row : listing.rows)
            io.out << qSetFieldWidth(5) << row.index << qSetFieldWidth(0) << "  " << row.name << "  "
                   << row.number1 << "  " << row.number2 << "  " << row.number3 << "  " << row.typeText()
                   << "\n";
    }
    if (listing.status == PhonebookListStatus::NotWhole)
        io.err << "tessa-cli: " << file << " is not a whole number of 155-byte entries; nothing is listed\n";
    else if (!json)
        io.err << listing.rows.size() << " entr" << (listing.rows.size() == 1 ? "y" : "ies") << "\n";
    return ExitOk;
}

} // namespace tessa::cli
