#include "platform/VCardParser.h"

#include "platform/CodePage.h"

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <QMutex>
#include <QStringDecoder>
#include <QStringList>
#include <utility>

namespace tessa::platform {
namespace {

constexpr qsizetype kNameUnits = 63; // a block field holds 63 units and its terminator
constexpr size_t kMaxCachedCharsets = 16;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

QByteArray upper(QByteArray text) {
    return text.toUpper();
}

QByteArray unquote(QByteArray text) {
    text = text.trimmed();
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        return text.mid(1, text.size() - 2);
    return text;
}

// ---- Character sets ----

QString decodeUtf8OrLegacy(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    // Old 2.1 exports without a CHARSET are in the code page of the PC that wrote them.
    return systemCodePage().decode(bytes);
}

bool plausibleCharsetName(const QByteArray& name) {
    if (name.isEmpty() || name.size() > 40)
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' ||
               c == ':';
    });
}

// Code pages named by files are few; the cache is bounded so that a file naming thousands of made-up
// charsets cannot grow it.
const CodePage& codePageNamed(const QByteArray& name) {
    static QMutex mutex;
    static std::map<QByteArray, std::unique_ptr<CodePage>> pages;
    if (!plausibleCharsetName(name))
        return codePageNumber(1252);
    QMutexLocker lock(&mutex);
    auto found = pages.find(name);
    if (found != pages.end())
        return *found->second;
    if (pages.size() >= kMaxCachedCharsets)
        return codePageNumber(1252);
    return *pages.emplace(name, std::make_unique<CodePage>(name)).first->second;
}

QString decodeCharset(const QByteArray& bytes, const QByteArray& charset) {
    const QByteArray name = upper(charset.trimmed());
    if (name.isEmpty())
        return decodeUtf8OrLegacy(bytes);
    if (name == "UTF-8" || name == "UTF8")
        return QString::fromUtf8(bytes);
    if (name == "ISO-8859-1" || name == "ISO8859-1" || name == "ISO_8859-1" || name == "LATIN1" ||
        name == "US-ASCII" || name == "ASCII")
        return QString::fromLatin1(bytes);
    if (name == "WINDOWS-1252" || name == "CP1252")
        return codePageNumber(1252).decode(bytes);
    return codePageNamed(name).decode(bytes);
}

// ---- Value encodings ----

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Soft line breaks are gone by now (joined while unfolding); a '=' without two hex digits is kept.
QByteArray decodeQuotedPrintable(const QByteArray& in) {
    QByteArray out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c == '=' && i + 2 < in.size()) {
            const int hi = hexDigit(in[i + 1]);
            const int lo = hexDigit(in[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.append(char(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out.append(c);
    }
    return out;
}

// Parts of a text split at separators that no backslash escapes; the escapes stay for unescape().
QStringList splitUnescaped(const QString& text, QChar separator) {
    QStringList parts;
    QString part;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\' && i + 1 < text.size()) {
            part += c;
            part += text[++i];
        } else if (c == separator) {
            parts.append(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.append(part);
    return parts;
}

// \\ \; \, \: and \n or \N; any other backslash is the writer's own character and stays.
QString unescape(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\\' || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const QChar next = text[i + 1];
        if (next == u'\\' || next == u';' || next == u',' || next == u':')
            out += next;
        else if (next == u'n' || next == u'N')
            out += u'\n';
        else
            out += QStringView(text).mid(i, 2);
        ++i;
    }
    return out;
}

// A name is shown on one line: line breaks and other control characters become blanks.
QString cleanName(QString name) {
    for (QChar& c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = u' ';
    return name.trimmed();
}

// ---- Properties ----

struct Property {
    QByteArray name; // upper case, without its group
    QByteArray encoding;
    QByteArray charset;
    bool uriValue = false;
    QByteArray value;
};

enum class Wanted { None, Begin, End, Version, FormattedName, Name, Organisation, Telephone, Agent };

Wanted wantedProperty(const QByteArray& name) {
    if (name == "BEGIN")
        return Wanted::Begin;
    if (name == "END")
        return Wanted::End;
    if (name == "VERSION")
        return Wanted::Version;
    if (name == "FN")
        return Wanted::FormattedName;
    if (name == "N")
        return Wanted::Name;
    if (name == "ORG")
        return Wanted::Organisation;
    if (name == "TEL")
        return Wanted::Telephone;
    if (name == "AGENT")
        return Wanted::Agent;
    return Wanted::None;
}

// Index of the colon that ends the name and parameters (colons inside quoted parameter values do not).
qsizetype valueColon(const QByteArray& line) {
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"')
            quoted = !quoted;
        else if (c == ':' && !quoted)
            return i;
    }
    return -1;
}

QList<QByteArray> splitParameters(const QByteArray& prefix) {
    QList<QByteArray> tokens;
    bool quoted = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < prefix.size(); ++i) {
        const char c = prefix[i];
        if (c == '"')
            quoted = !quoted;
        else if (c == ';' && !quoted) {
            tokens.append(prefix.mid(start, i - start));
            start = i + 1;
        }
    }
    tokens.append(prefix.mid(start));
    return tokens;
}

QByteArray propertyName(const QByteArray& token) {
    const QByteArray name = token.trimmed();
    const qsizetype dot = name.lastIndexOf('.'); // "item1.TEL"
    return upper(dot < 0 ? name : name.mid(dot + 1));
}

void readParameters(const QList<QByteArray>& tokens, Property& p) {
    for (qsizetype i = 1; i < tokens.size(); ++i) {
        const QByteArray& token = tokens[i];
        const qsizetype eq = token.indexOf('=');
        if (eq < 0) {
            // 2.1 lets a parameter stand bare: TEL;CELL;QUOTED-PRINTABLE:...
            const QByteArray bare = upper(token.trimmed());
            if (bare == "QUOTED-PRINTABLE" || bare == "BASE64")
                p.encoding = bare;
            continue;
        }
        const QByteArray key = upper(token.left(eq).trimmed());
        const QByteArray value = unquote(token.mid(eq + 1));
        if (key == "ENCODING")
            p.encoding = upper(value);
        else if (key == "CHARSET")
            p.charset = value;
        else if (key == "VALUE")
            p.uriValue = upper(value) == "URI";
    }
}

bool isQuotedPrintable(const QByteArray& encoding) {
    return encoding == "QUOTED-PRINTABLE" || encoding == "Q";
}

QString propertyText(const Property& p, bool ignoreCharset) {
    QByteArray bytes = p.value;
    if (isQuotedPrintable(p.encoding))
        bytes = decodeQuotedPrintable(bytes);
    else if (p.encoding == "BASE64" || p.encoding == "B")
        bytes = QByteArray::fromBase64(bytes);
    return decodeCharset(bytes, ignoreCharset ? QByteArray() : p.charset);
}

// "tel:+1-555-0100;ext=12" is the number +1-555-0100; other URIs are kept as they are.
QString telephoneNumber(const QString& text, bool uriValue) {
    const QString value = text.trimmed();
    if (value.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive)) {
        QString number = value.mid(4);
        const qsizetype parameters = number.indexOf(u';');
        if (parameters >= 0)
            number.truncate(parameters);
        return QString::fromUtf8(QByteArray::fromPercentEncoding(number.toUtf8())).trimmed();
    }
    return uriValue ? value : unescape(value).trimmed();
}

void setCut(Utf16Field<64>& field, const QString& text) {
    qsizetype n = std::min(text.size(), kNameUnits);
    if (n < text.size() && n > 0 && text[n - 1].isHighSurrogate())
        --n; // never leave half a character behind
    field.setText(text, size_t(n));
}

} // namespace

class VCardParser::Reader {
    struct Card {
        bool version21 = false;
        QString formattedName;
        QString given;
        QString family;
        QString organisation;
        QStringList numbers;

        QString displayName() const {
            if (!formattedName.isEmpty())
                return formattedName;
            const QString assembled = (given + u' ' + family).trimmed();
            if (!assembled.isEmpty())
                return assembled;
            return organisation;
        }
    };

public:
    explicit Reader(ContactCallback deliver) : deliver_(std::move(deliver)) {}

    // False once the callback has asked to stop.
    bool feed(const char* data, qsizetype size) {
        if (stopped_)
            return false;
        if (sniffed_) {
            decodeAndSplit(data, size);
            return !stopped_;
        }
        // A byte-order mark may arrive split over the first chunks: hold them until it can be told.
        head_.append(data, size);
        if (head_.size() >= kLongestMark)
            sniffHead();
        return !stopped_;
    }

    ContactReadResult finish() {
        if (!sniffed_)
            sniffHead();
        if (!stopped_) {
            if (!partial_.isEmpty() || lineOverflow_)
                physicalLine();
            flushLogical();
            if (inCard_)
                closeCard(); // the file ended inside a card: keep what it held
        }
        return {delivered_, 0, stopped_};
    }

private:
    static constexpr qsizetype kLongestMark = 3;

    void sniffHead() {
        sniffed_ = true;
        const QByteArray head = std::move(head_);
        head_.clear();
        const auto byte = [&](qsizetype i) { return i < head.size() ? uint8_t(head[i]) : 0u; };
        qsizetype skip = 0;
        if (byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
            skip = 3;
        } else if (byte(0) == 0xFF && byte(1) == 0xFE) {
            utf16_.emplace(QStringDecoder::Utf16LE);
            skip = 2;
        } else if (byte(0) == 0xFE && byte(1) == 0xFF) {
            utf16_.emplace(QStringDecoder::Utf16BE);
            skip = 2;
        }
        decodeAndSplit(head.constData() + skip, head.size() - skip);
    }

    void decodeAndSplit(const char* data, qsizetype size) {
        if (utf16_) {
            const QByteArray utf8 = QString((*utf16_)(QByteArrayView(data, size))).toUtf8();
            splitLines(utf8.constData(), utf8.size());
        } else {
            splitLines(data, size);
        }
    }

    void splitLines(const char* data, qsizetype size) {
        qsizetype i = 0;
        while (i < size && !stopped_) {
            const char c = data[i];
            if (c == '\n' && afterCarriageReturn_) {
                afterCarriageReturn_ = false;
                ++i;
                continue;
            }
            afterCarriageReturn_ = c == '\r';
            if (c == '\r' || c == '\n') {
                physicalLine();
                ++i;
                continue;
            }
            qsizetype end = i;
            while (end < size && data[end] != '\r' && data[end] != '\n')
                ++end;
            const qsizetype room = std::max<qsizetype>(0, kMaxLineBytes - partial_.size());
            partial_.append(data + i, std::min(room, end - i));
            lineOverflow_ = lineOverflow_ || end - i > room;
            i = end;
        }
    }

    void physicalLine() {
        const QByteArray line = partial_;
        partial_.clear();
        lineOverflow_ = false;
        if (softBreak_ && !isEndLine(line)) {
            appendLogical(line, 0);
            return;
        }
        if (hasLogical_ && !line.isEmpty() && isBlank(line[0])) {
            // 2.1 folds where a blank stood, so the blank is part of the text; 3.0 and 4.0 fold anywhere.
            appendLogical(line, card_.version21 ? 0 : 1);
            return;
        }
        flushLogical();
        if (line.isEmpty())
            return;
        logical_ = line;
        hasLogical_ = true;
        softBreak_ = endsWithSoftBreak();
    }

    static bool isEndLine(const QByteArray& line) {
        return upper(line.trimmed()).replace(" ", "") == "END:VCARD";
    }

    void appendLogical(const QByteArray& line, qsizetype skip) {
        const qsizetype room = kMaxLineBytes - logical_.size();
        if (room > 0)
            logical_.append(line.constData() + skip, std::min(room, line.size() - skip));
        softBreak_ = endsWithSoftBreak();
    }

    // A quoted-printable value whose line ends in '=' goes on with the next line as it stands.
    bool endsWithSoftBreak() {
        qsizetype end = logical_.size();
        while (end > 0 && isBlank(logical_[end - 1]))
            --end;
        if (end == 0 || logical_[end - 1] != '=')
            return false;
        const qsizetype colon = valueColon(logical_);
        if (colon < 0 || colon >= end - 1 || !upper(logical_.left(colon)).contains("QUOTED-PRINTABLE"))
            return false;
        logical_.truncate(end - 1);
        return true;
    }

    void flushLogical() {
        if (!hasLogical_)
            return;
        hasLogical_ = false;
        softBreak_ = false;
        const QByteArray line = logical_;
        logical_.clear();
        logicalLine(line);
    }

    void logicalLine(const QByteArray& line) {
        const qsizetype colon = valueColon(line);
        if (colon < 0)
            return; // continuation of something unreadable, or junk
        const QByteArray prefix = line.left(colon);
        const qsizetype firstSemicolon = prefix.indexOf(';');
        const QByteArray name = propertyName(firstSemicolon < 0 ? prefix : prefix.left(firstSemicolon));
        const Wanted wanted = wantedProperty(name);
        const bool agentWasPending = agentPending_;
        agentPending_ = false;

        if (wanted == Wanted::Begin || wanted == Wanted::End) {
            if (upper(line.mid(colon + 1).trimmed()) != "VCARD")
                return;
            if (wanted == Wanted::Begin)
                beginCard(agentWasPending);
            else
                endCard();
            return;
        }
        if (!inCard_ || nestedDepth_ > 0 || wanted == Wanted::None)
            return;

        Property p;
        p.name = name;
        p.value = line.mid(colon + 1);
        readParameters(splitParameters(prefix), p);
        const QString text = propertyText(p, utf16_.has_value());
        switch (wanted) {
        case Wanted::Version:
            card_.version21 = text.trimmed() == QLatin1String("2.1");
            break;
        case Wanted::FormattedName:
            if (card_.formattedName.isEmpty())
                card_.formattedName = cleanName(unescape(text));
            break;
        case Wanted::Name:
            readStructuredName(text);
            break;
        case Wanted::Organisation:
            if (card_.organisation.isEmpty())
                card_.organisation = cleanName(unescape(splitUnescaped(text, u';').value(0)));
            break;
        case Wanted::Telephone:
            if (card_.numbers.size() < ContactBlock::kNumberCount) {
                QString number = telephoneNumber(text, p.uriValue);
                if (const qsizetype nul = number.indexOf(QChar(0)); nul >= 0)
                    number = number.left(nul).trimmed(); // the block's field would end there anyway
                if (!number.isEmpty())
                    card_.numbers.append(number);
            }
            break;
        case Wanted::Agent:
            // 2.1 places an embedded card on the lines after an empty AGENT value.
            agentPending_ = text.trimmed().isEmpty();
            break;
        default:
            break;
        }
    }

    // N: Family;Given;Additional;Prefix;Suffix. In 3.0 and 4.0 a part may be a comma-separated list.
    void readStructuredName(const QString& text) {
        if (!card_.given.isEmpty() || !card_.family.isEmpty())
            return;
        const QStringList parts = splitUnescaped(text, u';');
        const auto component = [&](qsizetype i) {
            const QString part = parts.value(i);
            if (card_.version21)
                return cleanName(unescape(part));
            QStringList values;
            for (const QString& v : splitUnescaped(part, u','))
                if (const QString clean = cleanName(unescape(v)); !clean.isEmpty())
                    values.append(clean);
            return values.join(u' ');
        };
        card_.family = component(0);
        card_.given = component(1);
    }

    void beginCard(bool agent) {
        if (!inCard_) {
            inCard_ = true;
            card_ = Card();
            return;
        }
        if (agent || nestedDepth_ > 0) {
            ++nestedDepth_; // an embedded card: its lines describe someone else
            return;
        }
        closeCard(); // a card that lacks its END ends where the next one begins
        inCard_ = true;
        card_ = Card();
    }

    void endCard() {
        if (nestedDepth_ > 0) {
            --nestedDepth_;
            return;
        }
        if (inCard_)
            closeCard();
    }

    void closeCard() {
        inCard_ = false;
        nestedDepth_ = 0;
        const QString name = card_.displayName();
        const QStringList numbers = card_.numbers;
        card_ = Card();
        if (name.isEmpty())
            return;
        ContactBlock block{};
        setCut(block.name, name);
        for (qsizetype i = 0; i < numbers.size() && i < ContactBlock::kNumberCount; ++i)
            setCut(block.numbers[i], numbers[i]);
        ++delivered_;
        if (!deliver_(block))
            stopped_ = true;
    }

    ContactCallback deliver_; // a copy: the caller may hand over a temporary
    bool sniffed_ = false;
    QByteArray head_;
    std::optional<QStringDecoder> utf16_;
    QByteArray partial_;
    bool lineOverflow_ = false;
    bool afterCarriageReturn_ = false;
    QByteArray logical_;
    bool hasLogical_ = false;
    bool softBreak_ = false;
    bool inCard_ = false;
    bool agentPending_ = false;
    int nestedDepth_ = 0;
    Card card_;
    size_t delivered_ = 0;
    bool stopped_ = false;
};

VCardParser::VCardParser(const ContactCallback& deliver) : reader_(std::make_unique<Reader>(deliver)) {}

VCardParser::~VCardParser() = default;

bool VCardParser::feed(const char* data, qsizetype size) {
    return reader_->feed(data, size);
}

ContactReadResult VCardParser::finish() {
    return reader_->finish();
}

ContactReadResult readVCardData(const QByteArray& data, const ContactCallback& deliver) {
    VCardParser parser(deliver);
    parser.feed(data.constData(), data.size());
    return parser.finish();
}

} // namespace tessa::platform
