#include "store/RecordLease.h"

#include <algorithm>
#include <QtGlobal>

namespace tessa {

void RecordGeneration::hold(RecordHolder* holder) {
    if (!holder || !alive() || std::find(holders_.begin(), holders_.end(), holder) != holders_.end())
        return;
    holderThread_ = QThread::currentThread();
    holders_.push_back(holder);
}

void RecordGeneration::release(RecordHolder* holder) {
    holders_.erase(std::remove(holders_.begin(), holders_.end(), holder), holders_.end());
}

void RecordGeneration::checkHolderThread() const {
    // A holder touched from another thread would change widgets' models behind the GUI thread.
    Q_ASSERT_X(holders_.empty() || holderThread_ == QThread::currentThread(), "RecordGeneration",
               "records shown in rows freed off the thread of the rows");
}

void RecordGeneration::end() {
    checkHolderThread();
    alive_.store(false, std::memory_order_release);
    // Holders leave as they drop their rows; nobody may join an ended generation.
    const std::vector<RecordHolder*> holders = std::move(holders_);
    holders_.clear();
    for (RecordHolder* holder : holders)
        holder->generationEnded(*this);
}

void RecordGeneration::freeing(const CallRecord& record) {
    checkHolderThread();
    const std::vector<RecordHolder*> holders = holders_;
    for (RecordHolder* holder : holders)
        holder->recordFreeing(record);
}

} // namespace tessa
