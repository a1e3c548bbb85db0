#include "platform/HardLink.h"

#include <QFile>
#include <unistd.h>

namespace tessa::platform {

SecondName linkOrCopy(const QString& existingNative, const QString& newNative) {
    if (::link(QFile::encodeName(existingNative).constData(), QFile::encodeName(newNative).constData()) == 0)
        return SecondName::Linked;
    // File systems without hard links (or across devices) get a copy.
    return QFile::copy(existingNative, newNative) ? SecondName::Copied : SecondName::Failed;
}

} // namespace tessa::platform
