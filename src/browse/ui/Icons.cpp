#include "browse/ui/Icons.h"

#include <QHash>

namespace tessa {
namespace {

struct IconName {
    const char* theme;    // freedesktop icon name
    const char* fallback; // our own drawing
};

// Tree images: 0 incoming, 1 outgoing, 2 note, 9 recorder, 10 answering machine, 11 all records, 12 the
// recorder's card, 15 marked, 19 query and import results, 22 missed.
IconName treeImage(int index) {
    switch (index) {
    case 0:
        return {"call-start", "incoming"};
    case 1:
        return {"call-stop", "outgoing"};
    case 2:
        return {"accessories-text-editor", "note"};
    case 9:
        return {"phone", "device"};
    case 10:
        return {nullptr, "answering"};
    case 11:
        return {"view-list-details", "all"};
    case 12:
        return {"media-flash", "card"};
    case 15:
        return {"emblem-important", "marked"};
    case 19:
        return {"folder-saved-search", "search"};
    case 22:
        return {"call-missed", "missed"};
    default:
        return {nullptr, nullptr};
    }
}

// Row images: 0 incoming, 1 outgoing, 2 note, 9 recording present, 10 answering machine, 14 marked (also
// the second kind of note), 21 missed.
IconName rowImage(int index) {
    switch (index) {
    case 0:
        return {nullptr, "incoming"};
    case 1:
        return {nullptr, "outgoing"};
    case 2:
        return {nullptr, "note"};
    case 9:
        return {nullptr, "recording"};
    case 10:
        return {nullptr, "answering"};
    case 14:
        return {nullptr, "marked"};
    case 21:
        return {nullptr, "missed"};
    default:
        return {nullptr, nullptr};
    }
}

// Toolbar images: 0 play, 1 delete, 2 mark, 3 backup, 4 contacts and e-mail, 5 export, 6 query and
// refresh, 13 import, 14 clear.
IconName toolbarImage(int index) {
    switch (index) {
    case 0:
        return {"media-playback-start", "play"};
    case 1:
        return {"edit-delete", "delete"};
    case 2:
        return {"emblem-important", "marked"};
    case 3:
        return {"document-save", "backup"};
    case 4:
        return {"mail-send", "email"};
    case 5:
        return {"x-office-spreadsheet", "export"};
    case 6:
        return {"view-refresh", "refresh"};
    case 13:
        return {"document-import", "import"};
    case 14:
        return {"edit-clear", "clear"};
    default:
        return {nullptr, nullptr};
    }
}

} // namespace

QIcon listImage(ImageList list, int index) {
    static QHash<int, QIcon> cache;
    const int key = int(list) * 100 + index;
    if (auto it = cache.constFind(key); it != cache.constEnd())
        return *it;
    const IconName name = list == ImageList::Tree  ? treeImage(index)
                          : list == ImageList::Row ? rowImage(index)
                                                   : toolbarImage(index);
    QIcon icon;
    if (name.fallback) {
        const QIcon ours(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name.fallback)));
        icon = name.theme ? QIcon::fromTheme(QLatin1String(name.theme), ours) : ours;
    }
    cache.insert(key, icon);
    return icon;
}

} // namespace tessa
