#include "demo/DemoCard.h"

#include "audio/RecordingWriter.h"
#include "audio/SpeechSynth.h"
#include "format/CallRecord.h"
#include "format/CardRecord.h"
#include "format/ContainerHeader.h"
#include "format/PhonebookEntry.h"
#include "platform/CodePage.h"
#include "platform/ConfinedFiles.h"
#include "platform/HardLink.h"
#include "store/CardRecordCodec.h"
#include "store/RecordingFiles.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <optional>
#include <QDate>
#include <vector>

namespace tessa {

// Named rather than anonymous: the library is built in unity batches, where anonymous namespaces of
// different files merge.
namespace democard_internal {

constexpr int kMaxRecords = kMaxDemoRecords;
// Recordings synthesised afresh; later records reuse one of these of the same kind under their own name,
// so that a card of 100 000 records is written in seconds rather than hours.
constexpr int kDistinctRecordings = 48;
constexpr int kDaysCovered = 122; // August to November 2026
constexpr int64_t kSecondsPerDay = 86400;
// Card paths leave room for a terminator so that a rebuilt log could hold them as well.
constexpr qsizetype kMaxVx7PathBytes = qsizetype(sizeof(CardRecord128::cardPath)) - 1;

QDate firstDay() {
    return QDate(2026, 8, 1);
}

struct Contact {
    const char* name;
    std::array<const char*, 3> numbers;
    uint8_t type;
};

constexpr std::array<Contact, 6> kContacts = {{
    {"Anna Berger", {"03041234567", "01712345678", ""}, 0},
    {"Dr. Martin Vogel", {"08912345670", "", ""}, 1},
    {"Claire Dubois", {"0033145678901", "", ""}, 0},
    {"Schulz Plumbing", {"0402233445", "01609876543", ""}, 2},
    {"Office", {"06915551230", "06915551231", "06915551239"}, 1},
    {"Tom Wheeler", {"00442071234567", "", ""}, 0},
}};

constexpr std::array<const char*, 8> kNotes = {
    "Call back on Monday",
    "Invoice 2026-114 disputed",
    "Order confirmed by phone",
    "Meeting moved to Thursday",
    "Ask for the written quote",
    "New delivery address",
    "Important",
    "Ref 55-1093",
};

constexpr std::array<const char*, 5> kRemarks = {"Customer", "Private", "Urgent", "Supplier", "Keep"};

enum class Kind { None, PlainWav, ContainerIma, ContainerGsm, ContainerMuLaw };

struct Planned {
    uint32_t callType = 0;
    int64_t start = 0; // seconds from the first day, 00:00
    QString tag;
    QString number;
    QString name; // contact name, for the VX7's own name field
    Kind kind = Kind::None;
    uint32_t speechSeconds = 0;
    uint32_t extraCallSeconds = 0;
    QString note;
    std::optional<BookmarkSpan> bookmark;
    QString remark;
    bool deleted = false;
    bool marked = false;
    int reuses = -1; // index of the earlier record whose recording this one reuses, or -1
};

template <typename T>
void shuffle(std::vector<T>& items, SeededRandom& rng) {
    for (size_t i = items.size(); i > 1; --i)
        std::swap(items[i - 1], items[size_t(rng.range(0, int(i) - 1))]);
}

QString digits(SeededRandom& rng, int count) {
    QString text;
    for (int i = 0; i < count; ++i)
        text += QChar(u'0' + (i == 0 ? rng.range(1, 9) : rng.range(0, 9)));
    return text;
}

QString nationalNumber(SeededRandom& rng) {
    static constexpr std::array<const char*, 6> kAreas = {"30", "40", "89", "221", "711", "6131"};
    return QLatin1Char('0') + QLatin1String(kAreas[size_t(rng.range(0, 5))]) + digits(rng, rng.range(5, 7));
}

QString mobileNumber(SeededRandom& rng) {
    static constexpr std::array<const char*, 6> kPrefixes = {"151", "160", "170", "171", "176", "177"};
    return QLatin1Char('0') + QLatin1String(kPrefixes[size_t(rng.range(0, 5))]) +
           digits(rng, rng.range(7, 8));
}

QString internationalNumber(SeededRandom& rng) {
    static constexpr std::array<const char*, 7> kCountries = {"1", "33", "39", "41", "43", "44", "48"};
    const QString country = QLatin1String(kCountries[size_t(rng.range(0, 6))]);
    return QStringLiteral("00") + country + digits(rng, 12 - int(country.size()) - rng.range(0, 2));
}

QString shortNumber(SeededRandom& rng) {
    static constexpr std::array<const char*, 5> kShort = {"110", "112", "116117", "11880", "19222"};
    return QLatin1String(kShort[size_t(rng.range(0, 4))]);
}

// A caller or callee; sets the contact name when the number is one of the contacts.
void pickNumber(Planned& r, SeededRandom& rng, int callOrdinal) {
    double roll = rng.unit();
    // The first few calls make sure every form of number turns up even on a small card.
    if (callOrdinal == 1)
        roll = 0.85;
    else if (callOrdinal == 2)
        roll = 0.92;
    if (roll < 0.45) {
        const Contact& c = kContacts[size_t(rng.range(0, int(kContacts.size()) - 1))];
        r.number = QLatin1String(c.numbers[0]);
        r.name = QLatin1String(c.name);
    } else if (roll < 0.62) {
        r.number = nationalNumber(rng);
    } else if (roll < 0.78) {
        r.number = mobileNumber(rng);
    } else if (roll < 0.9) {
        r.number = internationalNumber(rng);
    } else if (roll < 0.96) {
        r.number = shortNumber(rng);
    } else if (r.callType != CallOutgoing) {
        r.number.clear(); // caller withheld the number
    } else {
        r.number = nationalNumber(rng);
    }
}

uint32_t speechSecondsFor(const Planned& r, SeededRandom& rng) {
    switch (r.callType) {
    case CallMissed:
        return uint32_t(rng.range(3, 8));
    case CallNote:
    case CallNote2:
        return uint32_t(rng.range(4, 40));
    case CallTriggered:
        return uint32_t(rng.range(10, 90));
    case CallAnswering:
        return uint32_t(rng.range(5, 40));
    default: {
        const double roll = rng.unit();
        return uint32_t(roll < 0.7    ? rng.range(5, 45)
                        : roll < 0.95 ? rng.range(45, 150)
                                      : rng.range(150, 300));
    }
    }
}

QString tagFor(uint32_t callType, int noteOrdinal, SeededRandom& rng) {
    switch (callType) {
    case CallIncoming:
        return QStringLiteral("I");
    case CallOutgoing:
        return QStringLiteral("O");
    case CallNote:
        if (noteOrdinal < 2)
            return noteOrdinal == 0 ? QStringLiteral("NOTE") : QStringLiteral("N");
        return rng.chance(0.5) ? QStringLiteral("NOTE") : QStringLiteral("N");
    case CallTriggered:
        return QStringLiteral("TRIG");
    // The recorder's own tags for these kinds lie outside the table the program parses.
    case CallMissed:
        return QStringLiteral("MC");
    case CallNote2:
        return QStringLiteral("MEMO");
    default:
        return QStringLiteral("AM");
    }
}

std::vector<uint32_t> callTypes(int count, SeededRandom& rng) {
    // Every kind once (two notes for both tags, two missed calls for one without a recording), the rest
    // in the proportions of an ordinary office line.
    std::vector<uint32_t> types = {CallIncoming, CallOutgoing, CallNote,  CallNote,     CallTriggered,
                                   CallMissed,   CallMissed,   CallNote2, CallAnswering};
    static constexpr std::array<std::pair<uint32_t, int>, 7> kWeights = {{{CallIncoming, 30},
                                                                          {CallOutgoing, 28},
                                                                          {CallMissed, 10},
                                                                          {CallNote, 8},
                                                                          {CallNote2, 4},
                                                                          {CallTriggered, 6},
                                                                          {CallAnswering, 10}}};
    while (int(types.size()) < count) {
        int roll = rng.range(0, 95);
        for (const auto& [type, weight] : kWeights) {
            if (roll < weight) {
                types.push_back(type);
                break;
            }
            roll -= weight;
        }
    }
    shuffle(types, rng);
    types.resize(size_t(count));
    return types;
}

Kind weightedKind(SeededRandom& rng) {
    const int roll = rng.range(0, 99);
    return roll < 40   ? Kind::PlainWav
           : roll < 65 ? Kind::ContainerIma
           : roll < 90 ? Kind::ContainerGsm
                       : Kind::ContainerMuLaw;
}

std::vector<Planned> planCard(const DemoCardOptions& options, SeededRandom& rng) {
    const int count = options.records;
    std::vector<Planned> plan(static_cast<size_t>(count));
    std::vector<int64_t> starts(static_cast<size_t>(count));
    for (int64_t& s : starts)
        s = rng.range(0, kDaysCovered - 1) * kSecondsPerDay + rng.range(7 * 3600 + 1800, 21 * 3600 + 1800);
    std::sort(starts.begin(), starts.end());
    const std::vector<uint32_t> types = callTypes(count, rng);

    std::vector<Kind> firstKinds = {Kind::PlainWav, Kind::ContainerIma, Kind::ContainerGsm,
                                    Kind::ContainerMuLaw};
    shuffle(firstKinds, rng);
    int calls = 0, notes = 0, missed = 0, recordings = 0, containers = 0;
    // The synthesised recordings of each kind, by record index.
    std::array<std::vector<int>, 5> sources;
    bool hashDialled = false;
    int64_t earliest = 0;
    for (int i = 0; i < count; ++i) {
        Planned& r = plan[size_t(i)];
        r.callType = types[size_t(i)];
        r.tag = tagFor(r.callType, r.callType == CallNote ? notes++ : 0, rng);
        if (!isNoteType(r.callType))
            pickNumber(r, rng, ++calls);
        else if (r.callType == CallTriggered && rng.chance(0.5))
            r.number = rng.chance(0.5) ? nationalNumber(rng) : mobileNumber(rng); // triggered during a call
        // A dialled service number confirmed with the hash key, at least once.
        if (r.callType == CallOutgoing && r.name.isEmpty() && r.number.size() > 6 && r.number.size() <= 12 &&
            (!hashDialled || rng.chance(0.1))) {
            r.number += u'#';
            hashDialled = true;
        }

        // The first missed call left no recording, the second did, later ones either.
        const bool recorded = r.callType != CallMissed || (++missed == 2 || (missed > 2 && rng.chance(0.5)));
        if (recorded && recordings >= kDistinctRecordings) {
            // The same kind of recording as an earlier one, with its length, note and bookmark.
            r.kind = weightedKind(rng);
            const std::vector<int>& same = sources[size_t(r.kind)];
            const Planned& source = plan[size_t(same[size_t(rng.range(0, int(same.size()) - 1))])];
            r.reuses = int(&source - plan.data());
            r.speechSeconds = source.speechSeconds;
            r.note = source.note;
            r.bookmark = source.bookmark;
            if (r.callType == CallIncoming || r.callType == CallOutgoing)
                r.extraCallSeconds = uint32_t(rng.range(0, 6));
        } else if (recorded) {
            r.kind = recordings < int(firstKinds.size()) ? firstKinds[size_t(recordings)] : weightedKind(rng);
            sources[size_t(r.kind)].push_back(i);
            ++recordings;
            r.speechSeconds = speechSecondsFor(r, rng);
            if (r.kind == Kind::ContainerMuLaw)
                r.speechSeconds = std::min<uint32_t>(r.speechSeconds, 40); // 8000 bytes a second
            if (r.callType == CallIncoming || r.callType == CallOutgoing)
                r.extraCallSeconds = uint32_t(rng.range(0, 6));
        }
        if (r.kind != Kind::None && r.kind != Kind::PlainWav && r.reuses < 0) {
            const int which = containers++;
            const bool withNote = which == 0 || which == 2 || (which > 2 && rng.chance(0.45));
            const bool withBookmark = which == 1 || which == 2 || (which > 2 && rng.chance(0.4));
            if (withNote)
                r.note = QLatin1String(kNotes[size_t(rng.range(0, int(kNotes.size()) - 1))]);
            if (withBookmark && r.speechSeconds >= 3) {
                const uint32_t start = uint32_t(rng.range(0, int(r.speechSeconds) - 2));
                const uint32_t end =
                    uint32_t(rng.range(int(start) + 1, int(std::min(r.speechSeconds - 1, start + 30))));
                r.bookmark = BookmarkSpan{start, end};
            }
        }
        if (options.model == ModelVX5 && rng.chance(0.25))
            r.remark = QLatin1String(kRemarks[size_t(rng.range(0, int(kRemarks.size()) - 1))]);

        // Calls follow each other, never overlap.
        r.start = std::max(starts[size_t(i)], earliest);
        earliest = r.start + r.speechSeconds + r.extraCallSeconds + rng.range(60, 900);
    }

    // A few calls deleted in the program and a few marked by the user, always among the ordinary calls
    // so that every kind stays on the card.
    std::vector<size_t> calls2or4, all;
    for (size_t i = 0; i < plan.size(); ++i) {
        all.push_back(i);
        if (plan[i].callType == CallIncoming || plan[i].callType == CallOutgoing)
            calls2or4.push_back(i);
    }
    shuffle(calls2or4, rng);
    const size_t deleted = count >= 8 ? std::min(calls2or4.size() / 3, size_t(std::max(1, count / 15))) : 0;
    for (size_t k = 0; k < deleted; ++k)
        plan[calls2or4[k]].deleted = true;
    shuffle(all, rng);
    size_t marked = count >= 4 ? size_t(std::max(1, count / 10)) : 0;
    for (size_t i : all) {
        if (marked == 0)
            break;
        if (!plan[i].deleted) {
            plan[i].marked = true;
            --marked;
        }
    }
    return plan;
}

struct Moment {
    int year, month, day, hour, minute, second;
};

Moment momentOf(int64_t t) {
    const QDate date = firstDay().addDays(t / kSecondsPerDay);
    const int s = int(t % kSecondsPerDay);
    return {date.year(), date.month(), date.day(), s / 3600, s / 60 % 60, s % 60};
}

QString twoDigits(int v) {
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

QString monthFolderName(const Moment& m) {
    return QString::number(m.year) + twoDigits(m.month);
}

QString recordingName(const Planned& r, const Moment& m) {
    const QString stamp =
        monthFolderName(m) + twoDigits(m.day) + twoDigits(m.hour) + twoDigits(m.minute) + twoDigits(m.second);
    const QString extension = r.kind == Kind::PlainWav ? QStringLiteral(".wav") : QStringLiteral(".xtr");
    return stamp + u'-' + r.tag + u'-' + r.number + extension;
}

// The seconds the recorder stores in a record for this recording.
uint32_t storedSeconds(const QString& name, const QByteArray& bytes) {
    return measureRecording(name, bytes.size(), reinterpret_cast<const uint8_t*>(bytes.constData()),
                            size_t(bytes.size()))
        .stored;
}

std::optional<QByteArray> recordingBytes(const Planned& r, uint32_t seed, size_t index, QString* error) {
    SpeechOptions speech;
    speech.seed = seed * 2654435761u + uint32_t(index) * 40503u + 17u;
    speech.samples = size_t(r.speechSeconds) * kSpeechSampleRate;
    speech.voices = (r.callType == CallIncoming || r.callType == CallOutgoing) ? 2 : 1;
    const std::vector<int16_t> samples = synthesizeSpeech(speech);
    if (r.kind == Kind::PlainWav)
        return plainWavRecording(samples);
    ContainerContent content;
    content.formatCode = r.kind == Kind::ContainerIma   ? FormatImaAdpcm
                         : r.kind == Kind::ContainerGsm ? FormatGsm
                                                        : FormatMuLaw;
    content.note = r.note;
    content.bookmark = r.bookmark;
    return containerRecording(samples, content, error);
}

// The card record, from the store's encoder. Deleted records keep their fields, as the program's delete
// only clears the flag.
std::optional<QByteArray> cardRecord(const Planned& r, const Moment& m, const QByteArray& cardPath,
                                     uint32_t recordingSeconds, int model) {
    CardRecordFields f;
    f.valid = !r.deleted;
    f.marked = r.marked;
    f.callType = r.callType;
    f.year = uint16_t(m.year);
    f.month = uint8_t(m.month);
    f.day = uint8_t(m.day);
    f.hour = uint8_t(m.hour);
    f.minute = uint8_t(m.minute);
    f.number = r.number;
    if (model == ModelVX5)
        f.remark = r.remark;
    else
        f.name = r.name;
    f.callSeconds = recordingSeconds + r.extraCallSeconds;
    f.recordingSeconds = recordingSeconds;
    f.cardPath = cardPath;
    const auto bytes = encodeCardFields(f, model);
    if (!bytes)
        return std::nullopt;
    return QByteArray(reinterpret_cast<const char*>(bytes->data()), qsizetype(cardRecordSize(model)));
}

QByteArray phoneBook() {
    QByteArray book;
    for (const Contact& contact : kContacts) {
        PhonebookEntry e{};
        e.inUse = PhonebookEntry::kInUse;
        std::strncpy(e.number1, contact.numbers[0], sizeof e.number1 - 1);
        std::strncpy(e.number2, contact.numbers[1], sizeof e.number2 - 1);
        std::strncpy(e.number3, contact.numbers[2], sizeof e.number3 - 1);
        std::strncpy(e.name, contact.name, sizeof e.name - 1);
        e.type = contact.type;
        book.append(reinterpret_cast<const char*>(&e), sizeof e);
    }
    return book;
}

// The demo card is made in a folder the user names, so its files go through the file layer as the
// user's: regular files only, whole writes, nothing replaced.
bool writeFile(const QString& path, const QByteArray& bytes, QString* error) {
    const platform::FileError result =
        platform::writeWholeFile(path, platform::Area::User, bytes, platform::Replace::Never);
    if (result == platform::FileError::None)
        return true;
    if (error)
        *error = QStringLiteral("cannot write %1: %2")
                     .arg(path, QString::fromUtf8(platform::fileErrorText(result)));
    return false;
}

bool makeFolder(const QString& path) {
    return platform::makeFolders(path, platform::Area::User) == platform::FileError::None;
}

QString joined(const QString& folder, const QString& relative) {
    return folder.endsWith(u'/') ? folder + relative : folder + u'/' + relative;
}

} // namespace democard_internal

bool writeDemoCard(const QString& dir, const DemoCardOptions& options, QString* error) {
    using namespace democard_internal;
    auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (options.model != ModelVX7 && options.model != ModelVX5)
        return fail(QStringLiteral("model must be 0 or 1"));
    if (options.records < 0 || options.records > kMaxRecords)
        return fail(QStringLiteral("records must be 0 to %1").arg(kMaxRecords));
    if (dir.isEmpty() || !makeFolder(dir))
        return fail(QStringLiteral("cannot create %1").arg(dir));
    if (platform::statFile(joined(dir, QStringLiteral("CallLog.dat")), platform::Area::User).error !=
        platform::FileError::NotFound)
        return fail(QStringLiteral("%1 already holds a call log").arg(dir));

    SeededRandom rng(0xCA4D0000ull + options.seed);
    std::vector<Planned> plan = planCard(options, rng);
    const bool vx5 = options.model == ModelVX5;
    const auto& codePage = platform::systemCodePage();

    // Each synthesised recording: where it was first written (empty while nowhere), or its bytes.
    struct Synthesised {
        QString path;
        QByteArray bytes;
        uint32_t seconds = 0;
    };
    std::map<int, Synthesised> synthesised;
    QString madeFolder;
    QByteArray log;
    log.reserve(qsizetype(plan.size() * cardRecordSize(options.model)));
    for (size_t i = 0; i < plan.size(); ++i) {
        Planned& r = plan[i];
        const Moment m = momentOf(r.start);
        QByteArray cardPath;
        uint32_t seconds = 0;
        if (r.kind != Kind::None) {
            const QString folder = (vx5 ? QStringLiteral("RECORD\\") : QString()) + monthFolderName(m);
            QString name = recordingName(r, m);
            cardPath = codePage.encode(folder + u'\\' + name);
            // A long number on a VX7 card gives way to a shorter one rather than overflow the path field.
            while (!vx5 && cardPath.size() > kMaxVx7PathBytes) {
                r.number = nationalNumber(rng);
                r.name.clear();
                name = recordingName(r, m);
                cardPath = codePage.encode(folder + u'\\' + name);
            }
            const QString folderPath = joined(dir, QString(folder).replace(u'\\', u'/'));
            const QString path = folderPath + u'/' + name;
            if (folderPath != madeFolder) {
                if (!makeFolder(folderPath))
                    return fail(QStringLiteral("cannot create %1").arg(folderPath));
                madeFolder = folderPath;
            }
            // Deleted records lost their recording with them.
            if (r.reuses >= 0) {
                Synthesised& source = synthesised[r.reuses];
                seconds = source.seconds;
                if (!r.deleted) {
                    if (!source.path.isEmpty()) {
                        if (platform::linkOrCopy(source.path, path) == platform::SecondName::Failed)
                            return fail(QStringLiteral("cannot write %1").arg(path));
                    } else {
                        if (!writeFile(path, source.bytes, error))
                            return false;
                        source.path = path;
                        source.bytes.clear();
                    }
                }
            } else {
                const auto bytes = recordingBytes(r, options.seed, i, error);
                if (!bytes)
                    return false;
                seconds = storedSeconds(name, *bytes);
                Synthesised& kept = synthesised[int(i)];
                kept.seconds = seconds;
                if (!r.deleted) {
                    if (!writeFile(path, *bytes, error))
                        return false;
                    kept.path = path;
                } else {
                    kept.bytes = *bytes; // for a later record that reuses it
                }
            }
        }
        const auto record = cardRecord(r, m, cardPath, seconds, options.model);
        if (!record)
            return fail(
                QStringLiteral("the card path %1 does not fit a record").arg(QString::fromLatin1(cardPath)));
        log += *record;
    }
    if (!writeFile(joined(dir, QStringLiteral("CallLog.dat")), log, error))
        return false;
    if (vx5 && !writeFile(joined(dir, QStringLiteral("PhoneBook.dat")), phoneBook(), error))
        return false;
    return true;
}

} // namespace tessa
