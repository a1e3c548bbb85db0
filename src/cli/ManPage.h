#pragma once

#include <QString>

namespace tessa::cli {

// The manual page of tessa-cli in troff (man(7)) form, made from the list of commands as the usage text
// is, so that the installed page never lags behind the tool.
QString manPageText(const QString& version);

} // namespace tessa::cli
