#include "cli/DrivesCommand.h"

#include "cli/Json.h"
#include "format/CardRecord.h"
#include "platform/VolumeTable.h"
#include "store/CardScan.h"

namespace tessa::cli {
namespace {

const char* typeName(int type) {
    switch (type) {
    case platform::DriveRemovable:
        return "removable";
    case platform::DriveFixed:
        return "fixed";
    case platform::DriveRemote:
        return "network";
    default:
        return "unknown";
    }
}

} // namespace

int DrivesCommand::run(const Args& args, Io io) const {
    if (!args.positional().isEmpty())
        return usageError(io, QStringLiteral("drives takes no arguments"));
    const bool json = args.has(QStringLiteral("json"));

    platform::VolumeTable& table = platform::volumeTable();
    const auto volumes = table.refresh();
    if (json)
        io.out << "[";
    bool first = true;
    for (const platform::Volume& volume : volumes) {
        const platform::DiskSpace space = table.space(volume);
        const bool card = isCard(volume);
        const int model = card ? modelOfCard(volume.letter) : -1;
        if (json) {
            io.out << (first ? "\n" : ",\n");
            JsonObjectWriter w(io.out);
            w.field("letter", QString(QChar(volume.letter)))
                .field("type", qint64(volume.type))
                .field("root", volume.root)
                .field("totalBytes", qint64(space.totalBytes))
                .field("freeBytes", qint64(space.freeBytes))
                .field("card", card);
            if (model < 0)
                w.null("model");
            else
                w.field("model", qint64(model));
        } else {
            io.out << volume.letter << ":  " << qSetFieldWidth(9) << typeName(volume.type)
                   << qSetFieldWidth(0) << "  " << volume.root << "  " << space.freeBytes / (1024 * 1024)
                   << " of " << space.totalBytes / (1024 * 1024) << " MB free";
            if (card)
                io.out << "  recorder card (" << (model == ModelVX5 ? "VX5" : "VX7") << ")";
            io.out << "\n";
        }
        first = false;
    }
    if (json)
        io.out << (first ? "]\n" : "\n]\n");
    return ExitOk;
}

} // namespace tessa::cli
