#pragma once

// Rows of the record lists point at call records that a collection owns. Each row holds a lease on the
// generation of the collection it was listed from, and whoever keeps such rows registers as a holder of
// that generation. A collection never frees a record behind its holders' backs: before it frees one
// record, every holder drops the rows showing it; before it frees them all, it ends the generation and
// every holder drops the rows listed under it. A lease whose generation has ended admits no new row, so a
// batch of rows still on its way from a worker when the records went is never shown.
//
// Holders are told on the thread that frees, which must be the thread the holders live on (the GUI
// thread): collections are only cleared or shrunk there.

#include <atomic>
#include <memory>
#include <QThread>
#include <vector>

namespace tessa {

struct CallRecord;
class RecordGeneration;

class RecordHolder {
public:
    virtual ~RecordHolder() = default;
    // The generation has ended and its records are about to be freed: drop every row under it, now.
    virtual void generationEnded(const RecordGeneration& generation) = 0;
    // This record is about to be freed, the others stay: drop every row showing it, now.
    virtual void recordFreeing(const CallRecord& record) = 0;
};

class RecordGeneration {
public:
    // False once the collection has begun freeing the records handed out under this generation.
    bool alive() const { return alive_.load(std::memory_order_acquire); }

    // Registers a holder of rows listed under this generation; registering twice counts once. Ignored
    // once the generation has ended (its rows would not be admitted anyway).
    void hold(RecordHolder* holder);
    void release(RecordHolder* holder);

private:
    friend class RecordCollection;
    void end();
    void freeing(const CallRecord& record);
    void checkHolderThread() const;

    std::atomic<bool> alive_{true};
    std::vector<RecordHolder*> holders_;
    QThread* holderThread_ = nullptr;
};

using RecordLease = std::shared_ptr<RecordGeneration>;

} // namespace tessa
