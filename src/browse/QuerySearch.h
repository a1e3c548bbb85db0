#pragma once

// The query: which call records of a collection meet a time range, a piece of the number and a set of call
// types, and the search worker that walks a collection for them while the dialog stays responsive.
//
// The rule itself is a set of plain functions so that it can be checked without a window or a thread; the
// worker adds the walk, the stop request and the hand-over of hits to the GUI thread.

#include "format/CallRecord.h"
#include "platform/GuiQueue.h"
#include "platform/WorkerSlot.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <QDateTime>
#include <QLocale>
#include <QObject>
#include <QString>
#include <QStringView>
#include <vector>

namespace tessa {

class RecordCollection;

// The call-type boxes of the dialog, in the order of their control ids 1051-1055.
enum QueryTypeBox : int {
    BoxIncoming = 0,  // 1051: call type 2
    BoxOutgoing = 1,  // 1052: call type 4
    BoxMissed = 2,    // 1053: call type 3
    BoxNotes = 3,     // 1054: call types 5, 6 and 7
    BoxAnswering = 4, // 1055: call type 8
};
inline constexpr int kQueryTypeBoxCount = 5;
using QueryTypeBoxes = std::array<bool, kQueryTypeBoxCount>;

// The number field holds at most 50 characters, but only the first 49 are searched for.
inline constexpr int kQueryNumberFieldLimit = 50;
inline constexpr int kQueryNumberSearchLimit = 49;

// Format of the moment fields when the locale gives none.
inline constexpr char kQueryFallbackFormat[] = "yyyy/MM/dd hh:mm:ss";

// The state of the dialog's controls when a search starts.
struct QueryForm {
    bool timeBox = false;   // 1048
    QDateTime start;        // 1058
    QDateTime end;          // 1008
    bool numberBox = false; // 1049
    QString numberText;     // 1060
    bool typeBox = false;   // 1050
    QueryTypeBoxes typeBoxes{};
};

// The conditions of one search, read once from the form.
struct QueryConditions {
    bool timeOn = false;
    int64_t start = 0; // queryMoment() of the range's ends, both included
    int64_t end = 0;
    bool numberOn = false;
    QString number; // the text read: at most 49 characters, empty when the number box is cleared
    bool typeOn = false;
    QueryTypeBoxes types{};

    bool anyOn() const { return timeOn || numberOn || typeOn; }
};

// What a search leaves in the settings for the next time the dialog opens.
struct QuerySettings {
    int dateCond = 0;    // DateCond: the time box
    int numCond = 0;     // NumCond: 1 when the number condition was on
    QString searchedNum; // SearchedNum
};

QueryConditions queryConditions(const QueryForm& form);
QuerySettings querySettings(const QueryForm& form);
// Writes DateCond, NumCond and SearchedNum.
void storeQuerySettings(const QuerySettings& settings);

// A moment as whole seconds on one continuous scale of local wall-clock time, so that the range's ends and
// the records' times compare the same way. Milliseconds do not count.
int64_t queryMoment(const QDateTime& moment);
// nullopt for a time that names no moment (month 13, hour 25, ...).
std::optional<int64_t> queryMoment(const RecordTime& time);

// Exact, case-sensitive substring search in the number field only; an empty text is found everywhere.
bool numberContains(const Utf16Field<64>& number, QStringView text);
// Whether a ticked box covers the call type.
bool typeBoxesCover(const QueryTypeBoxes& boxes, uint32_t callType);
// The whole rule for one record, including the skipping of a record whose card valid byte is 0.
bool matchesQuery(const CallRecord& record, const QueryConditions& conditions);

// Display format of the moment fields: the locale's short date format, a blank, its time format without a
// zone; the fixed format when either part is missing.
QString queryDateTimeFormat(const QString& shortDate, const QString& time);
QString queryDateTimeFormat(const QLocale& locale);

// How often the walk reports. Hits go out with each progress report, or sooner when a batch fills up.
struct QueryPacing {
    std::chrono::milliseconds progressPeriod{30};
    size_t maxBatch = 4096;
};

// What a walk reports, on the walking thread.
class QueryWalkReport {
public:
    virtual ~QueryWalkReport() = default;
    // Records reached so far (1 for the first).
    virtual void progress(uint32_t reached) = 0;
    // Hits in collection order, never empty.
    virtual void hits(std::vector<CallRecord*> found) = 0;
};

// Walks the records from head to tail. Before each record it gives up when stop or quit is set; the hits
// found until then are still reported. True when the walk reached the end.
bool walkQuery(RecordCollection& records, const QueryConditions& conditions, const std::atomic<bool>& stop,
               const std::atomic<bool>& quit, QueryWalkReport& report, const QueryPacing& pacing = {});

// The search worker. Lives on the GUI thread; its signals are emitted there, in the order the worker
// reported, and nothing the worker found is lost: hits wait in the queue until the GUI thread takes them.
class QuerySearch : public QObject {
    Q_OBJECT

public:
    enum class Start { Started, NothingToSearch, NotStarted };

    explicit QuerySearch(const std::atomic<bool>& quit, QObject* parent = nullptr);
    // Stops the worker, waiting for it at most 500 ms; nothing is emitted any more.
    ~QuerySearch() override;

    // Walks the records on a worker thread; started() comes first, ended() last. With no condition on, or
    // when the thread cannot be created, nothing is emitted. The records must stay in place until ended().
    Start start(RecordCollection& records, const QueryConditions& conditions, const QueryPacing& pacing = {});
    // From start() until ended() has been emitted.
    bool running() const { return active_; }
    // Sets the stop request, waits for the worker (at most 500 ms) and emits at once what it had found,
    // ended() included once it has ended.
    void stopAndWait();

signals:
    void started(quint32 total);
    void progress(quint32 reached);
    void hitsFound(const std::vector<tessa::CallRecord*>& hits);
    // stopped: the stop request or the quit flag ended the walk before the last record.
    void ended(bool stopped);

private:
    struct Event {
        enum Kind { Started, Progress, Hits, Ended } kind = Progress;
        uint32_t value = 0;
        std::vector<CallRecord*> hits;
        bool stopped = false;
    };
    class Outbox;

    void deliver(const Event& event);

    const std::atomic<bool>& quit_;
    bool active_ = false;
    // Without the quit flag: the end of a walk that quit cut short is still delivered.
    platform::GuiQueue queue_;
    platform::WorkerSlot worker_;
};

} // namespace tessa
