#pragma once

#include <QString>

namespace tessa::platform {

// The folder of the running executable, without a trailing separator.
QString executableFolder();

} // namespace tessa::platform
