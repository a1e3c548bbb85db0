#include "app/SingleInstance.h"

namespace tessa {

SingleInstance::SingleInstance(const QString& folder)
    : lock_(std::make_unique<QLockFile>(folder + QStringLiteral("/Norvel Quillbook Tessa Mutex.lock"))) {
    // A lock is stale only when its process is gone; QLockFile checks the process id for that.
    lock_->setStaleLockTime(0);
}

bool SingleInstance::acquire() {
    if (lock_->tryLock(0))
        return true;
    if (lock_->error() == QLockFile::LockFailedError && lock_->removeStaleLockFile())
        return lock_->tryLock(0);
    return false;
}

} // namespace tessa
