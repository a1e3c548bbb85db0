#include "platform/VCardContactSource.h"

#include <algorithm>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace tessa::platform {
namespace {

constexpr qint64 kChunkBytes = 64 * 1024;

} // namespace

ContactReadResult readVCardFile(const QString& path, const ContactCallback& deliver) {
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return {};
    VCardParser parser(deliver);
    QByteArray chunk(int(kChunkBytes), Qt::Uninitialized);
    qint64 total = 0;
    while (total < kMaxFileBytes) {
        const qint64 n = file.read(chunk.data(), std::min(kChunkBytes, kMaxFileBytes - total));
        if (n <= 0 || !parser.feed(chunk.constData(), qsizetype(n)))
            break;
        total += n;
    }
    ContactReadResult result = parser.finish();
    result.files = 1;
    return result;
}

QString VCardContactSource::defaultFolder() {
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    // A relative XDG_DATA_HOME is invalid and must be ignored.
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(base + QStringLiteral("/tessa/contacts")) + u'/';
}

bool VCardContactSource::available() const {
    const QFileInfo info(path_);
    if (info.isDir())
        return info.isReadable() && info.isExecutable();
    return info.isFile() && info.isReadable();
}

ContactReadResult VCardContactSource::enumerate(const ContactCallback& deliver) const {
    const QFileInfo info(path_);
    if (!info.isDir())
        return readVCardFile(path_, deliver);
    QStringList names = QDir(path_).entryList({QStringLiteral("*.vcf")}, QDir::Files | QDir::Readable);
    std::sort(names.begin(), names.end()); // a stable order whatever the file system lists first
    ContactReadResult total;
    for (const QString& name : names) {
        const ContactReadResult one = readVCardFile(QDir(path_).filePath(name), deliver);
        total.delivered += one.delivered;
        total.files += one.files;
        if (one.stopped) {
            total.stopped = true;
            break;
        }
    }
    return total;
}

} // namespace tessa::platform
