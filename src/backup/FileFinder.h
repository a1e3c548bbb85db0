#pragma once

// Finds the files and folders below a root folder: first every folder is collected, each after all of its
// subfolders and the root last of all, then a search lists the folders in that order and keeps what
// matches. Every listing goes through the confined file layer.
//
// Paths keep the form of the root: a root in the program's drive-letter form ("E:\") gives results such
// as "E:\201801\name.wav", a native root ("/home/u/rec/") gives "/home/u/rec/a/name.wav".
//
// A folder reached through a symbolic link is followed, but every real folder is listed once however many
// routes lead to it, so a link back up the tree cannot make a search run forever. Special files (FIFOs,
// devices, sockets) are never reported: opening one could block the reader for good.

#include "platform/ConfinedFiles.h"

#include <atomic>
#include <cstdint>
#include <QString>
#include <vector>

namespace tessa {

struct FoundEntry {
    // Attribute bits of a found entry.
    static constexpr uint32_t kReadOnly = 0x1;
    static constexpr uint32_t kFolder = 0x10;
    static constexpr uint32_t kNormal = 0x80;
    static constexpr uint32_t kLink = 0x400;

    QString path;
    bool folder = false;
    uint32_t attributes = 0;
    qint64 size = 0; // -1 for a file when the finder does not take sizes
};

class FileFinder {
public:
    struct Options {
        platform::Area area = platform::Area::User;
        // Follow a folder link only when its real folder lies below the root's real folder (a card can
        // hold links to anywhere on the machine).
        bool linksStayInside = false;
        // Checked between folders; a set request ends collection and search early (search then
        // returns false).
        const std::atomic<bool>* stop = nullptr;
        // Give each found file its size. Costs one stat per file, which a walk that only wants names
        // (or stats the few files it keeps itself) saves.
        bool sizes = true;
    };

    FileFinder() = default;
    explicit FileFinder(Options options) : options_(options) {}

    // Stores the path without trailing separators (backslashes, or slashes when the path holds no
    // backslash), collects the folders below it when recursive and appends the root as the last folder.
    bool setRoot(const QString& path, bool recursive);
    // Lists each folder in order ("*.*" or "*" matches every name, other patterns are wildcards) and
    // appends the matches. False at the first folder whose listing fails, keeping what was found before.
    bool search(const QString& pattern, bool includeFiles, bool includeFolders);
    void clearResults() { results_.clear(); }

    const QString& root() const { return root_; }
    const std::vector<QString>& folders() const { return folders_; }
    const std::vector<FoundEntry>& results() const { return results_; }

private:
    struct Listing {
        platform::FileError error = platform::FileError::None;
        std::vector<platform::FolderEntry> entries;
    };

    QString join(const QString& folder, const QString& name) const;
    QString nativeOf(const QString& path) const;
    Listing list(const QString& folder) const;
    void collect();
    bool stopRequested() const { return options_.stop && options_.stop->load(); }

    Options options_;
    QString root_;
    QChar separator_ = QLatin1Char('/');
    bool programForm_ = false;
    QString rootReal_;
    std::vector<QString> folders_;
    std::vector<FoundEntry> results_;
    // The listings made while collecting, one per folder, for the first match-all search to reuse
    // instead of listing every folder a second time.
    std::vector<Listing> collected_;
};

} // namespace tessa
