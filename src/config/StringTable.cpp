#include "config/StringTable.h"

#include "config/IniFile.h"
#include "config/ProfileText.h"
#include "config/ProgramFolder.h"

#include <QHash>
#include <QMutex>

namespace tessa {
namespace {

// Texts already looked up in the table's current bytes. The window asks for a text at every step of a
// long listing (counts, progress captions, page summaries), and finding a key means decoding the file
// line by line: the file is still read at every call, so an edited table shows at once, but each key
// is found only once per version of it.
struct LookedUp {
    QMutex mutex;
    QByteArray contents; // texts depend on the bytes alone, wherever the table lies
    QHash<int, QString> texts;
};

LookedUp& lookedUp() {
    static LookedUp cache;
    return cache;
}

} // namespace

QString text(int number) {
    const IniFile table(configLocations().stringTableFile);
    const std::optional<QByteArray> contents = table.contents();
    if (!contents)
        return {};
    LookedUp& cache = lookedUp();
    QMutexLocker lock(&cache.mutex);
    if (cache.contents != *contents) {
        cache.contents = *contents;
        cache.texts.clear();
    }
    if (const auto found = cache.texts.constFind(number); found != cache.texts.cend())
        return *found;
    const QString key = QStringLiteral("%1").arg(number, 4, 10, QLatin1Char('0'));
    const QString value =
        profileText(IniFile::readFrom(*contents, QStringLiteral("English"), key).value_or(QString()));
    cache.texts.insert(number, value);
    return value;
}

} // namespace tessa
