#pragma once

// Settings: keys of section "Setting" of TessaSet.ini. Every access reads or writes the file anew.

#include <QString>

namespace tessa {

// -1 when the key or the file is missing.
int readIntSetting(const QString& key);
// Empty when absent; at most 1023 characters; backslash + 'n' becomes a line feed.
QString readStringSetting(const QString& key);
// Written as "%d". False when the file cannot be written.
bool writeIntSetting(const QString& key, int value);
bool writeStringSetting(const QString& key, const QString& value);

} // namespace tessa
