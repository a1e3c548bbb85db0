#pragma once

// Texts of the status bar panes.

#include <cstdint>
#include <QString>

namespace tessa {

// Pane 3: what the page on view holds.
QString pageSummaryText(int pageType, int rowCount, int modelCode);

// Pane 4: free space of the card (view mode 0) or the backup folder (view mode 1), in megabytes,
// gigabytes or terabytes, and the hours of recording it holds at the model's rate.
QString freeSpaceText(uint64_t freeBytes, int modelCode, int viewMode);

// Display name of a model: setting Device2 for the VX5, Device otherwise.
QString modelDisplayName(int modelCode);

// The version shown in the title and the About box.
inline const QString kVersionText = QStringLiteral("1.0.0.22 20180115");

} // namespace tessa
