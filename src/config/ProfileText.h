#pragma once

#include <QString>

namespace tessa {

// A text as settings and the string table hand it out: at most 1023 characters, and every backslash + 'n'
// pair turned into a line feed.
inline QString profileText(QString value) {
    value.truncate(1023);
    value.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
    return value;
}

} // namespace tessa
