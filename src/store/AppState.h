#pragma once

// The state shared by the whole program for one run: the collections of call records, the contact list,
// the flags that workers and the window read, the card in use and the rebuild queue.

#include "format/CardRecord.h"
#include "phonebook/ContactList.h"
#include "store/RecordCollection.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <QString>
#include <vector>

namespace tessa {

enum ViewMode : int { ViewCard = 0, ViewBackup = 1 };
enum LoadSource : int { LoadMonthLogs = 0, LoadCard = 1 };

struct AppState {
    RecordCollection cardRecords;
    RecordCollection backupRecords;
    RecordCollection importRecords;
    ContactList contacts;
    std::vector<uint32_t> months; // YYYYMM of the month logs found

    std::atomic<int> viewMode{ViewBackup};
    std::atomic<int> loadSource{LoadMonthLogs};
    std::atomic<bool> busy{false};
    std::atomic<bool> quit{false};
    std::atomic<bool> rebuildRunning{false};
    std::atomic<char> rebuildDriveLetter{0};
    // The drive a repair appends to (0: none). Set and cleared under rebuildLock; the rebuild worker
    // waits before it takes that drive.
    std::atomic<char> repairDriveLetter{0};
    std::atomic<char> cardDriveLetter{0};
    std::atomic<int> modelCode{ModelVX7}; // ModelCode
    QString cardLogPath;                  // "X:\CallLog.dat" of the card in use

    std::mutex rebuildLock; // guards rebuildQueue
    std::deque<char> rebuildQueue;

    // The collection shown in the current view mode.
    RecordCollection& currentRecords() { return viewMode == ViewCard ? cardRecords : backupRecords; }
};

} // namespace tessa
