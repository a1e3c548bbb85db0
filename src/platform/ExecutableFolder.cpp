#include "platform/ExecutableFolder.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace tessa::platform {

QString executableFolder() {
    QString folder;
    if (QCoreApplication::instance())
        folder = QCoreApplication::applicationDirPath();
    else
        folder = QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

} // namespace tessa::platform
