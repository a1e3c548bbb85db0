#include "backup/BackupManifest.h"

#include "backup/BackupLayout.h"
#include "platform/NativeName.h"
#include "platform/NativePath.h"

#include <QStringList>

namespace tessa {

using platform::Area;
using platform::FileError;

namespace backup_manifest_internal {

bool allDigits(const QString& text) {
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return !text.isEmpty();
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

struct ParsedLine {
    QString path;
    QByteArray sha256;
};

// One line without its line break, in the forms sha256sum writes: "HEX  name" (text mode), "HEX *name"
// (binary mode), and either with a leading backslash when the name is escaped.
std::optional<ParsedLine> parseLine(QByteArray line) {
    if (line.endsWith('\r'))
        line.chop(1);
    bool escaped = false;
    if (line.startsWith('\\')) {
        escaped = true;
        line.remove(0, 1);
    }
    constexpr qsizetype kHex = 64;
    if (line.size() < kHex + 3 || line[kHex] != ' ' || (line[kHex + 1] != ' ' && line[kHex + 1] != '*'))
        return std::nullopt;
    QByteArray digest(32, '\0');
    for (int i = 0; i < 32; ++i) {
        const int high = hexValue(line[2 * i]), low = hexValue(line[2 * i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        digest[i] = char(high * 16 + low);
    }
    QByteArray name = line.mid(kHex + 2);
    if (escaped) {
        QByteArray plain;
        plain.reserve(name.size());
        for (qsizetype i = 0; i < name.size(); ++i) {
            if (name[i] != '\\') {
                plain += name[i];
                continue;
            }
            if (++i == name.size())
                return std::nullopt;
            if (name[i] == 'n')
                plain += '\n';
            else if (name[i] == '\\')
                plain += '\\';
            else if (name[i] == 'r')
                plain += '\r';
            else
                return std::nullopt;
        }
        name = plain;
    }
    if (name.isEmpty())
        return std::nullopt;
    return ParsedLine{platform::decodeNativeName(name), digest};
}

} // namespace backup_manifest_internal

using namespace backup_manifest_internal;

QString manifestPath(const QString& modelRoot, uint32_t month) {
    return backupCallLogFolder(modelRoot) + QStringLiteral("%1.sha256").arg(month, 6, 10, QLatin1Char('0'));
}

std::optional<QString> copyPathInModelFolder(const QString& pcPath) {
    QString path = pcPath;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QStringList parts = path.split(QLatin1Char('/'));
    if (parts.size() < 3)
        return std::nullopt;
    const QString& month = parts[parts.size() - 3];
    const QString& day = parts[parts.size() - 2];
    const QString& name = parts.last();
    if (month.size() != 6 || day.size() != 8 || !allDigits(month) || !allDigits(day) ||
        !day.startsWith(month) || name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return std::nullopt;
    return month + QLatin1Char('/') + day + QLatin1Char('/') + name;
}

QByteArray manifestLine(const QByteArray& sha256, const QString& relativePath) {
    const QByteArray name = platform::encodeNativeName(relativePath);
    const bool escape = name.contains('\\') || name.contains('\n');
    QByteArray line;
    line.reserve(name.size() + 70);
    if (escape)
        line += '\\';
    line += sha256.toHex();
    line += "  ";
    if (escape) {
        for (const char c : name) {
            if (c == '\\')
                line += "\\\\";
            else if (c == '\n')
                line += "\\n";
            else
                line += c;
        }
    } else {
        line += name;
    }
    line += '\n';
    return line;
}

std::map<QString, QByteArray> parseManifest(const QByteArray& bytes, int* unreadableLines) {
    std::map<QString, QByteArray> entries;
    int unreadable = 0;
    qsizetype at = 0;
    while (at < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', at);
        if (end < 0)
            end = bytes.size();
        const QByteArray line = bytes.mid(at, end - at);
        at = end + 1;
        if (line.trimmed().isEmpty())
            continue;
        if (const auto parsed = parseLine(line))
            entries[parsed->path] = parsed->sha256;
        else
            ++unreadable;
    }
    if (unreadableLines)
        *unreadableLines = unreadable;
    return entries;
}

FileError ManifestBook::add(const QString& manifest, const QString& relativePath, const QByteArray& sha256,
                            platform::Durability durability) {
    const QString native = platform::nativePath(manifest);
    auto known = known_.find(manifest);
    if (known == known_.end()) {
        QByteArray bytes;
        const FileError read = platform::readWholeFile(native, Area::Backup, &bytes);
        if (read != FileError::None && read != FileError::NotFound)
            return read;
        known = known_.emplace(manifest, Known{parseManifest(bytes)}).first;
    }
    const QByteArray line = manifestLine(sha256, relativePath);
    if (!known->second.entries.count(relativePath)) {
        platform::AppendOptions options;
        options.create = true;
        options.durability = durability;
        // A line torn by a power cut is passed over by its readers; the next line starts on its own.
        if (const FileError error = platform::appendToFile(native, Area::Backup, line, options);
            error != FileError::None)
            return error;
        known->second.entries[relativePath] = sha256;
        return FileError::None;
    }
    // The path is listed with the checksum of a copy that has been replaced: its lines give way to the
    // new one, every other line stays as it stands.
    QByteArray bytes;
    if (const FileError read = platform::readWholeFile(native, Area::Backup, &bytes); read != FileError::None)
        return read;
    QByteArray kept;
    kept.reserve(bytes.size() + line.size());
    qsizetype at = 0;
    while (at < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', at);
        if (end < 0)
            end = bytes.size();
        const QByteArray one = bytes.mid(at, end - at);
        at = end + 1;
        const auto parsed = parseLine(one);
        if (parsed && parsed->path == relativePath)
            continue;
        if (!one.isEmpty())
            kept += one + '\n';
    }
    kept += line;
    if (const FileError error =
            platform::writeWholeFile(native, Area::Backup, kept, platform::Replace::Existing, durability);
        error != FileError::None)
        return error;
    known->second.entries[relativePath] = sha256;
    return FileError::None;
}

} // namespace tessa
