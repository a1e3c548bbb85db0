#pragma once

// Keeps the program to one instance per user: a lock file named after the program's mutex in the
// per-user runtime folder. A lock left by a crashed instance does not block the start.

#include <memory>
#include <QLockFile>

namespace tessa {

class SingleInstance {
public:
    explicit SingleInstance(const QString& folder);
    // False when another instance holds the lock.
    bool acquire();

private:
    std::unique_ptr<QLockFile> lock_;
};

} // namespace tessa
