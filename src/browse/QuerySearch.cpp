#include "browse/QuerySearch.h"

#include "browse/RecordSort.h"
#include "config/Settings.h"
#include "store/ProgressThrottle.h"
#include "store/RecordCollection.h"

#include <algorithm>
#include <limits>
#include <QDate>
#include <QTime>

namespace tessa {
namespace {

constexpr int64_t kQuerySecondsPerDay = 86400;
// Reading the clock for every record would cost as much as matching it.
constexpr uint32_t kQueryRecordsPerClockLook = 64;

// An invalid date (a form field left empty) counts as the earliest moment rather than overflowing.
int64_t queryMomentOfDay(const QDate& date, int hour, int minute, int second) {
    if (!date.isValid())
        return std::numeric_limits<int64_t>::min();
    return date.toJulianDay() * kQuerySecondsPerDay + std::max(hour, 0) * 3600 + std::max(minute, 0) * 60 +
           std::max(second, 0);
}

} // namespace

QueryConditions queryConditions(const QueryForm& form) {
    QueryConditions conditions;
    conditions.timeOn = form.timeBox;
    if (conditions.timeOn) {
        conditions.start = queryMoment(form.start);
        conditions.end = queryMoment(form.end);
    }
    // The text is read only while its box is ticked.
    if (form.numberBox)
        conditions.number = form.numberText.left(kQueryNumberSearchLimit);
    conditions.numberOn = !conditions.number.isEmpty();
    conditions.types = form.typeBoxes;
    conditions.typeOn =
        form.typeBox && std::any_of(form.typeBoxes.begin(), form.typeBoxes.end(), [](bool b) { return b; });
    return conditions;
}

QuerySettings querySettings(const QueryForm& form) {
    const QueryConditions conditions = queryConditions(form);
    return {form.timeBox ? 1 : 0, conditions.numberOn ? 1 : 0, conditions.number};
}

void storeQuerySettings(const QuerySettings& settings) {
    writeIntSetting(QStringLiteral("DateCond"), settings.dateCond);
    writeIntSetting(QStringLiteral("NumCond"), settings.numCond);
    writeStringSetting(QStringLiteral("SearchedNum"), settings.searchedNum);
}

int64_t queryMoment(const QDateTime& moment) {
    const QTime clock = moment.time();
    return queryMomentOfDay(moment.date(), clock.hour(), clock.minute(), clock.second());
}

std::optional<int64_t> queryMoment(const RecordTime& time) {
    const QDate date(time.year, time.month, time.day);
    if (!date.isValid() || time.hour > 23 || time.minute > 59 || time.second > 59)
        return std::nullopt;
    return queryMomentOfDay(date, time.hour, time.minute, time.second);
}

bool numberContains(const Utf16Field<64>& number, QStringView text) {
    const size_t wanted = size_t(text.size());
    if (wanted == 0)
        return true;
    // A field without a terminator ends with the field, never beyond it.
    const size_t length = number.length();
    for (size_t at = 0; at + wanted <= length; ++at) {
        size_t i = 0;
        while (i < wanted && number.units[at + i].get() == text[qsizetype(i)].unicode())
            ++i;
        if (i == wanted)
            return true;
    }
    return false;
}

bool typeBoxesCover(const QueryTypeBoxes& boxes, uint32_t callType) {
    switch (callType) {
    case CallIncoming:
        return boxes[BoxIncoming];
    case CallOutgoing:
        return boxes[BoxOutgoing];
    case CallMissed:
        return boxes[BoxMissed];
    case CallNote:
    case CallNote2:
    case CallTriggered:
        return boxes[BoxNotes];
    case CallAnswering:
        return boxes[BoxAnswering];
    default:
        return false;
    }
}

bool matchesQuery(const CallRecord& record, const QueryConditions& conditions) {
    if (record.cardValidByte() == 0)
        return false;
    if (conditions.timeOn) {
        // A time that names no moment lies in no range.
        const std::optional<int64_t> moment = queryMoment(record.time);
        if (!moment || *moment < conditions.start || *moment > conditions.end)
            return false;
    }
    if (conditions.numberOn && !numberContains(record.number, conditions.number))
        return false;
    if (conditions.typeOn && !typeBoxesCover(conditions.types, record.callType))
        return false;
    return true;
}

QString queryDateTimeFormat(const QString& shortDate, const QString& time) {
    if (shortDate.trimmed().isEmpty() || time.trimmed().isEmpty())
        return QString::fromLatin1(kQueryFallbackFormat);
    return shortDate + QLatin1Char(' ') + time;
}

QString queryDateTimeFormat(const QLocale& locale) {
    // The record list shows times in the same formats; it also knows how to drop the zone field, which a
    // moment without a zone cannot fill.
    const QString shortDate = locale.dateFormat(QLocale::ShortFormat);
    const QString time = locale.timeFormat(QLocale::LongFormat).trimmed().isEmpty()
                             ? QString()
                             : ListDateTime(locale).timeFormat();
    return queryDateTimeFormat(shortDate, time);
}

bool walkQuery(RecordCollection& records, const QueryConditions& conditions, const std::atomic<bool>& stop,
               const std::atomic<bool>& quit, QueryWalkReport& report, const QueryPacing& pacing) {
    const uint32_t total = uint32_t(std::min<size_t>(records.count(), UINT32_MAX));
    const size_t maxBatch = std::max<size_t>(pacing.maxBatch, 1);
    ProgressThrottle throttle(pacing.progressPeriod);
    std::vector<CallRecord*> batch;
    auto flush = [&] {
        if (batch.empty())
            return;
        report.hits(std::move(batch));
        batch = {};
    };

    uint32_t reached = 0;
    for (CallRecord& record : records) {
        if (stop || quit) {
            flush();
            return false;
        }
        ++reached;
        if (matchesQuery(record, conditions)) {
            batch.push_back(&record);
            if (batch.size() >= maxBatch)
                flush();
        }
        const bool last = reached == total;
        if ((last || reached % kQueryRecordsPerClockLook == 0 || pacing.progressPeriod.count() == 0) &&
            throttle.due(last)) {
            report.progress(reached);
            // Rows appear at the pace of the progress bar rather than all at the end.
            flush();
        }
    }
    flush();
    return true;
}

// Hands the walk's reports to the GUI thread. It holds a link to the queue, not the search: a worker let
// go at close may still report after the search is gone, and its reports are then dropped.
class QuerySearch::Outbox : public QueryWalkReport {
public:
    Outbox(platform::GuiQueue::Link link, QuerySearch* search) : link_(std::move(link)), search_(search) {}
    void post(Event event) {
        // The call runs only while the queue is open, that is while the search lives.
        link_.post([search = search_, event = std::move(event)] { search->deliver(event); });
    }
    void progress(uint32_t reached) override { post({Event::Progress, reached, {}, false}); }
    void hits(std::vector<CallRecord*> found) override { post({Event::Hits, 0, std::move(found), false}); }

private:
    platform::GuiQueue::Link link_;
    QuerySearch* search_;
};

QuerySearch::QuerySearch(const std::atomic<bool>& quit, QObject* parent) : QObject(parent), quit_(quit) {}

QuerySearch::~QuerySearch() {
    worker_.stop();
    queue_.close();
}

QuerySearch::Start QuerySearch::start(RecordCollection& records, const QueryConditions& conditions,
                                      const QueryPacing& pacing) {
    if (!conditions.anyOn())
        return Start::NothingToSearch;
    if (active_)
        return Start::NotStarted;
    active_ = true;
    const uint32_t total = uint32_t(std::min<size_t>(records.count(), UINT32_MAX));
    const bool launched = worker_.start([outbox = Outbox(queue_.link(), this), &records, &quit = quit_,
                                         conditions, pacing, total](const std::atomic<bool>& stop) mutable {
        // Everything, the start included, goes through the queue so that the GUI thread sees it in order.
        outbox.post({Event::Started, total, {}, false});
        const bool complete = walkQuery(records, conditions, stop, quit, outbox, pacing);
        outbox.post({Event::Ended, 0, {}, !complete});
    });
    if (!launched) {
        active_ = false;
        return Start::NotStarted;
    }
    return Start::Started;
}

void QuerySearch::stopAndWait() {
    worker_.stop();
    queue_.flush();
}

void QuerySearch::deliver(const Event& event) {
    switch (event.kind) {
    case Event::Started:
        emit started(event.value);
        break;
    case Event::Progress:
        emit progress(event.value);
        break;
    case Event::Hits:
        emit hitsFound(event.hits);
        break;
    case Event::Ended:
        active_ = false;
        emit ended(event.stopped);
        break;
    }
}

} // namespace tessa
