#include "platform/NativePath.h"

#include "platform/VolumeTable.h"

#include <QDir>

namespace tessa::platform {
namespace {

bool isProgramPathSeparator(QChar c) {
    return c == QLatin1Char('\\') || c == QLatin1Char('/');
}

bool isDriveLetterChar(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z');
}

// A card path comes from the card itself; ".." in any spelling would let it reach outside the card.
bool climbsAboveStart(const QString& path) {
    qsizetype start = 0;
    for (qsizetype i = 0; i <= path.size(); ++i) {
        if (i == path.size() || isProgramPathSeparator(path[i])) {
            if (i - start == 2 && path[start] == QLatin1Char('.') && path[start + 1] == QLatin1Char('.'))
                return true;
            start = i + 1;
        }
    }
    return false;
}

// Backslashes become slashes and runs of separators collapse, so that "E:\\x" and "E:\/x" stay under E.
QString withSlashes(QStringView path) {
    QString out;
    out.reserve(path.size());
    for (QChar c : path) {
        if (isProgramPathSeparator(c)) {
            if (!out.endsWith(QLatin1Char('/')))
                out += QLatin1Char('/');
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

bool hasDrivePrefix(const QString& programPath) {
    return programPath.size() >= 2 && isDriveLetterChar(programPath[0]) &&
           programPath[1] == QLatin1Char(':') &&
           (programPath.size() == 2 || isProgramPathSeparator(programPath[2]));
}

QString nativePath(const QString& programPath) {
    if (programPath.contains(QChar(0)) || climbsAboveStart(programPath))
        return {};
    if (!hasDrivePrefix(programPath)) {
        // "E:name" is relative to a per-drive current folder, which does not exist here.
        if (programPath.size() >= 2 && isDriveLetterChar(programPath[0]) &&
            programPath[1] == QLatin1Char(':'))
            return {};
        return withSlashes(programPath);
    }

    const auto volume = volumeTable().volume(char(programPath[0].toUpper().unicode()));
    if (!volume || volume->root.isEmpty())
        return {};
    QString result = volume->root;
    if (!result.endsWith(QLatin1Char('/')))
        result += QLatin1Char('/');
    const QString rest = withSlashes(QStringView(programPath).mid(2));
    result += QStringView(rest).mid(rest.startsWith(QLatin1Char('/')) ? 1 : 0);
    return result;
}

char driveLetterOfNative(const QString& nativePath) {
    if (nativePath.isEmpty())
        return 0;
    const QString path = QDir::cleanPath(nativePath);
    char best = 0;
    qsizetype bestLength = -1;
    for (const Volume& v : volumeTable().snapshot()) {
        if (v.root.isEmpty())
            continue;
        const QString root = QDir::cleanPath(v.root);
        // Component-aware: /media/card does not hold /media/card2.
        const bool inside = root == QLatin1String("/")
                                ? path.startsWith(QLatin1Char('/'))
                                : path == root || path.startsWith(root + QLatin1Char('/'));
        if (inside && root.size() > bestLength) {
            best = v.letter;
            bestLength = root.size();
        }
    }
    return best;
}

} // namespace tessa::platform
