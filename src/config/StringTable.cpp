#include "config/StringTable.h"

#include "config/IniFile.h"
#include "config/ProfileText.h"
#include "config/ProgramFolder.h"

namespace tessa {

QString text(int number) {
    const IniFile table(configLocations().stringTableFile);
    const QString key = QStringLiteral("%1").arg(number, 4, 10, QLatin1Char('0'));
    return profileText(table.read(QStringLiteral("English"), key).value_or(QString()));
}

} // namespace tessa
