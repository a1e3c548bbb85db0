#include "config/ProgramFolder.h"

#include "platform/ExecutableFolder.h"

#include <optional>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QStandardPaths>
#include <sys/stat.h>

namespace tessa {
namespace {

QMutex& locationsMutex() {
    static QMutex mutex;
    return mutex;
}
std::optional<ConfigLocations>& overridden() {
    static std::optional<ConfigLocations> locations;
    return locations;
}

ConfigLocations detectLocations() {
    // A Config folder named by the environment wins: the demo and tests run the program on a copy.
    const QString named = qEnvironmentVariable("TESSA_CONFIG_DIR");
    if (!named.isEmpty())
        return portableConfigLocations(named);
    const QString program = programFolder();
    const QString beside = program + QStringLiteral("/Config");
    if (QFileInfo(beside).isDir())
        return portableConfigLocations(beside);
    const QString shipped = QDir::cleanPath(program + QStringLiteral("/../share/tessa/Config"));
    if (!QFileInfo(shipped).isDir())
        return portableConfigLocations(beside);
    // Installed: shipped files are read-only; the settings live in the user's config folder and start as
    // a copy of the shipped default.
    ConfigLocations at;
    at.shippedFolder = shipped;
    at.stringTableFile = shipped + QStringLiteral("/TessaLang.ini");
    const QString userFolder =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/tessa");
    at.settingsFile = userFolder + QStringLiteral("/TessaSet.ini");
    if (!QFileInfo::exists(at.settingsFile)) {
        QDir().mkpath(userFolder);
        QFile::copy(shipped + QStringLiteral("/TessaSet.ini"), at.settingsFile);
        QFile::setPermissions(at.settingsFile, QFile::ReadOwner | QFile::WriteOwner);
    }
    return at;
}

} // namespace

QString programFolder() {
    return platform::executableFolder();
}

ConfigLocations portableConfigLocations(const QString& configFolder) {
    ConfigLocations at;
    at.shippedFolder = configFolder;
    at.settingsFile = configFolder + QStringLiteral("/TessaSet.ini");
    at.stringTableFile = configFolder + QStringLiteral("/TessaLang.ini");
    return at;
}

ConfigLocations configLocations() {
    QMutexLocker lock(&locationsMutex());
    if (!overridden())
        overridden() = detectLocations();
    return *overridden();
}

void setConfigLocations(const ConfigLocations& locations) {
    QMutexLocker lock(&locationsMutex());
    overridden() = locations;
}

QString shippedConfigFile(const QString& fileName) {
    return configLocations().shippedFolder + QLatin1Char('/') + fileName;
}

QString privateTempFolder() {
    QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (base.isEmpty() || !QFileInfo(base).isDir())
        base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    QDir().mkpath(base);
    const QString folder = base + QStringLiteral("/tessa");
    const QByteArray native = QFile::encodeName(folder);
    ::mkdir(native.constData(), 0700);
    // The folder may have existed with looser rights: temporary copies of recordings stay private.
    ::chmod(native.constData(), 0700);
    return folder;
}

} // namespace tessa
