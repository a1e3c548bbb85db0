#pragma once

// The checksum manifests beside the month logs: for each month a file CallLog\YYYYMM.sha256 that names
// every copy the backup pass wrote into that month with the SHA-256 of its bytes, taken while they were
// copied. Lines are those `sha256sum -c` reads, run from the model folder:
//
//   <64 hex digits><space><space><YYYYMM/YYYYMMDD/name>
//
// A name holding a backslash or a line break is written the way sha256sum writes it: the line begins
// with a backslash and those characters are escaped ("\\", "\n"). Paths are relative to the model
// folder, so a backup tree moved to another disk still checks.
//
// The month logs stay as they are; a manifest is an addition any other reader of the tree can ignore.

#include "platform/ConfinedFiles.h"

#include <map>
#include <optional>
#include <QByteArray>
#include <QString>

namespace tessa {

// model root + "CallLog\" + YYYYMM + ".sha256".
QString manifestPath(const QString& modelRoot, uint32_t month);

// The place of a copy in the model folder, "YYYYMM/YYYYMMDD/name", from the path a month log names (in
// whatever root it was backed up into). nullopt when the path does not end in that layout.
std::optional<QString> copyPathInModelFolder(const QString& pcPath);

// One manifest line, with its line break, for a 32-byte SHA-256 and a relative path.
QByteArray manifestLine(const QByteArray& sha256, const QString& relativePath);

// Every relative path a manifest lists, with its 32-byte SHA-256; a path listed twice keeps its last
// line. Lines that are not checksum lines are passed over (the count is given when asked).
std::map<QString, QByteArray> parseManifest(const QByteArray& bytes, int* unreadableLines = nullptr);

// The manifests one backup pass writes to. Each is read once, on first use, so that a copy written anew
// under a listed name (a cut-short copy replaced) replaces its line instead of adding a second one that
// sha256sum would report as failed.
class ManifestBook {
public:
    // Lists the copy in the manifest: appended when it names no such path, else the manifest is rewritten
    // with the new checksum in place of the old one.
    platform::FileError add(const QString& manifest, const QString& relativePath, const QByteArray& sha256,
                            platform::Durability durability);

private:
    struct Known {
        std::map<QString, QByteArray> entries;
    };
    std::map<QString, Known> known_;
};

} // namespace tessa
