#pragma once

// Tells whether the month logs of a backup changed since they were last looked at, so that the backup
// view can be reloaded when another process (a watcher) appended records to them.

#include <cstdint>
#include <QString>

namespace tessa {

// The names and sizes of the month logs of a model folder folded into one number; 0 when there are none.
// Appends, new months and removed logs change it.
uint64_t monthLogsSignature(const QString& root, int modelCode);

} // namespace tessa
