#include "backup/FileFinder.h"

#include "platform/DirectoryListing.h"
#include "platform/NativePath.h"

#include <QRegularExpression>
#include <unordered_set>

namespace tessa {
namespace {

using platform::EntryKind;
using platform::FileError;

struct Frame {
    QString path;
    QString real;                // the folder's real path
    platform::OpenFolder handle; // open while its subfolders are opened from it
    platform::FileError error = FileError::None;
    std::vector<platform::FolderEntry> entries;
    size_t next = 0;
};

} // namespace

QString FileFinder::join(const QString& folder, const QString& name) const {
    return folder + separator_ + name;
}

QString FileFinder::nativeOf(const QString& path) const {
    if (!programForm_)
        return path.isEmpty() ? QStringLiteral("/") : path;
    // "E:" is the drive's root folder.
    return platform::nativePath(path.endsWith(QLatin1Char(':')) ? path + QLatin1Char('\\') : path);
}

FileFinder::Listing FileFinder::list(const QString& folder) const {
    Listing listing;
    const QString native = nativeOf(folder);
    listing.error =
        native.isEmpty() ? FileError::Invalid : platform::listFolder(native, options_.area, &listing.entries);
    return listing;
}

bool FileFinder::setRoot(const QString& path, bool recursive) {
    root_ = path;
    while (root_.endsWith(QLatin1Char('\\')))
        root_.chop(1);
    if (!root_.contains(QLatin1Char('\\')))
        while (root_.endsWith(QLatin1Char('/')))
            root_.chop(1);
    programForm_ = root_.contains(QLatin1Char('\\')) || platform::hasDrivePrefix(root_ + QLatin1Char('\\'));
    separator_ = programForm_ ? QLatin1Char('\\') : QLatin1Char('/');
    folders_.clear();
    collected_.clear();
    rootReal_ = platform::statFile(nativeOf(root_), options_.area).realPath;
    if (recursive)
        collect();
    folders_.push_back(root_);
    return true;
}

void FileFinder::collect() {
    const auto inside = [this](const QString& real) {
        if (rootReal_.isEmpty())
            return false;
        const QString prefix =
            rootReal_.endsWith(QLatin1Char('/')) ? rootReal_ : rootReal_ + QLatin1Char('/');
        return real == rootReal_ || real.startsWith(prefix);
    };
    // Folders are told apart by their real paths. A plain subfolder's real path is its parent's and its
    // name, so only links cost a look-up.
    std::unordered_set<QString> visited;
    if (!rootReal_.isEmpty())
        visited.insert(rootReal_);

    // Only the root and folders reached through links are opened by path (resolved and confined); a
    // plain subfolder is opened from its parent's descriptor, so the walk never resolves a path per
    // folder.
    std::vector<Frame> stack;
    const auto push = [this, &stack](const QString& folder, const QString& real, platform::OpenFolder handle,
                                     FileError opened) {
        Frame frame{folder, real, std::move(handle), opened, {}, 0};
        if (frame.error == FileError::None)
            frame.error = frame.handle.list(&frame.entries, options_.sizes);
        stack.push_back(std::move(frame));
    };
    const auto openByPath = [this, &push](const QString& folder, const QString& real) {
        platform::OpenFolder handle;
        const QString native = nativeOf(folder);
        const FileError opened =
            native.isEmpty() ? FileError::Invalid : handle.openPath(native, options_.area);
        push(folder, real, std::move(handle), opened);
    };
    openByPath(root_, rootReal_);
    while (!stack.empty()) {
        if (stopRequested())
            return; // the folders collected so far stay; the root is appended by setRoot
        Frame& top = stack.back();
        if (top.next >= top.entries.size()) {
            Frame done = std::move(top);
            stack.pop_back();
            if (!stack.empty())
                folders_.push_back(done.path);
            collected_.push_back(Listing{done.error, std::move(done.entries)});
            continue;
        }
        const platform::FolderEntry& entry = top.entries[top.next++];
        if (entry.kind != EntryKind::Folder && entry.kind != EntryKind::Link)
            continue;
        const QString child = join(top.path, entry.name);
        QString real;
        if (entry.kind == EntryKind::Link || top.real.isEmpty()) {
            const platform::FileStatus status = platform::statFile(nativeOf(child), options_.area);
            if (status.error != FileError::None || status.kind != EntryKind::Folder)
                continue;
            if (entry.kind == EntryKind::Link && options_.linksStayInside && !inside(status.realPath))
                continue;
            real = status.realPath;
        } else {
            real = top.real.endsWith(QLatin1Char('/')) ? top.real + entry.name
                                                       : top.real + QLatin1Char('/') + entry.name;
        }
        if (!visited.insert(real).second)
            continue; // reached before by another route (a link), or a link back up the tree
        if (entry.kind == EntryKind::Link || !top.handle.isOpen()) {
            openByPath(child, real);
        } else {
            platform::OpenFolder handle;
            const FileError opened = handle.openChild(top.handle, entry.name);
            push(child, real, std::move(handle), opened);
        }
    }
    // The root's own listing came last, in step with the folder list once setRoot appends the root.
}

bool FileFinder::search(const QString& pattern, bool includeFiles, bool includeFolders) {
    const bool matchAll = pattern == QLatin1String("*.*") || pattern == QLatin1String("*");
    QRegularExpression wildcard;
    if (!matchAll)
        wildcard = QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern),
                                      QRegularExpression::CaseInsensitiveOption);
    std::vector<Listing> collected = std::move(collected_);
    collected_.clear();
    // The collection listed every folder a moment ago; a match-all search takes those listings.
    const bool reuse = matchAll && collected.size() == folders_.size();
    for (size_t i = 0; i < folders_.size(); ++i) {
        if (stopRequested())
            return false;
        const QString& folder = folders_[i];
        if (folder.isEmpty())
            continue;
        Listing listing = reuse ? std::move(collected[i]) : list(folder);
        if (listing.error != FileError::None)
            return false;
        for (const platform::FolderEntry& entry : listing.entries) {
            if (!matchAll && !wildcard.match(entry.name).hasMatch())
                continue;
            FoundEntry found;
            found.path = join(folder, entry.name);
            EntryKind kind = entry.kind;
            found.size = options_.sizes ? entry.size : -1;
            if (kind == EntryKind::Link) {
                const platform::FileStatus status = platform::statFile(nativeOf(found.path), options_.area);
                if (status.error != FileError::None)
                    continue;
                kind = status.kind;
                if (options_.sizes)
                    found.size = status.size;
                found.attributes |= FoundEntry::kLink;
            }
            if (kind == EntryKind::Folder) {
                if (!includeFolders)
                    continue;
                found.folder = true;
                found.size = 0;
                found.attributes |= FoundEntry::kFolder;
            } else if (kind == EntryKind::File) {
                if (!includeFiles)
                    continue;
                found.attributes |= FoundEntry::kNormal;
            } else {
                continue; // special files and entries gone since the listing
            }
            results_.push_back(std::move(found));
        }
    }
    return true;
}

} // namespace tessa
