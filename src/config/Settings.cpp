#include "config/Settings.h"

#include "config/IniFile.h"
#include "config/ProfileText.h"
#include "config/ProgramFolder.h"

namespace tessa {
namespace {

const QString kSection = QStringLiteral("Setting");

IniFile settingsFile() {
    return IniFile(configLocations().settingsFile);
}

} // namespace

int readIntSetting(const QString& key) {
    const auto value = settingsFile().read(kSection, key);
    return value ? profileInteger(*value) : -1;
}

QString readStringSetting(const QString& key) {
    return profileText(settingsFile().read(kSection, key).value_or(QString()));
}

bool writeIntSetting(const QString& key, int value) {
    return settingsFile().write(kSection, key, QString::number(value));
}

bool writeStringSetting(const QString& key, const QString& value) {
    // A line break written raw would end the line and could smuggle in other keys; written as the
    // two characters backslash + 'n' it reads back as the same text.
    QString safe = value;
    safe.replace(QStringLiteral("\r\n"), QStringLiteral("\\n"));
    safe.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    safe.replace(QLatin1Char('\r'), QStringLiteral("\\n"));
    return settingsFile().write(kSection, key, safe);
}

} // namespace tessa
