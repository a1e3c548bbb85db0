#include "platform/FileRoots.h"

#include <mutex>

namespace tessa::platform {
namespace file_roots_internal {

struct Roots {
    std::mutex mutex;
    QString card;
    QString backup;
};

Roots& roots() {
    static Roots instance;
    return instance;
}

} // namespace file_roots_internal

using file_roots_internal::roots;

void setCardRoot(const QString& nativeFolder) {
    std::lock_guard lock(roots().mutex);
    roots().card = nativeFolder;
}

void setBackupRoot(const QString& nativeFolder) {
    std::lock_guard lock(roots().mutex);
    roots().backup = nativeFolder;
}

QString cardRoot() {
    std::lock_guard lock(roots().mutex);
    return roots().card;
}

QString backupRoot() {
    std::lock_guard lock(roots().mutex);
    return roots().backup;
}

ScopedFileRoots::ScopedFileRoots(const QString& cardRootNative, const QString& backupRootNative)
    : previousCard_(cardRoot()), previousBackup_(backupRoot()) {
    setCardRoot(cardRootNative);
    setBackupRoot(backupRootNative);
}

ScopedFileRoots::~ScopedFileRoots() {
    setCardRoot(previousCard_);
    setBackupRoot(previousBackup_);
}

} // namespace tessa::platform
