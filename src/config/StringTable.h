#pragma once

// Every text the user sees is fetched by number from section "English" of TessaLang.ini, key "%04d".
// Call sites pass the number as a literal (text(159)) so that a test can check every number has a text.

#include <QString>

namespace tessa {

// Empty when the file or the key is missing; at most 1023 characters; backslash + 'n' becomes a line feed.
QString text(int number);

} // namespace tessa
