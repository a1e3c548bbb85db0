#pragma once

// The confined file layer: the one way the program opens, reads, creates, writes, appends, copies,
// moves, deletes and lists card and backup files. A card is input from outside (a crafted card can hold
// any links, names and special files), and the program's own files on it are what it exists to keep, so
// every operation here holds to these rules:
//
//  1. Real paths. The target's real path is resolved (every symbolic link, "." and "..", and the
//     spelling the file system accepts) before anything is done, and the operation works on that path.
//  2. Confinement. A target whose real path lies outside the root of its area (FileRoots.h) is refused
//     with Outside: a link anywhere in the path, on a folder or on the file itself (the card's own
//     CallLog.dat or PhoneBook.dat included), counts where it leads. Containment is decided on the real
//     path and, failing that, by file identity, so a different case of spelling does not escape it.
//  3. Regular files only. The kind is checked before opening (lstat of the real path), the file is
//     opened with O_NONBLOCK, O_NOFOLLOW and O_NOCTTY and checked again on the open descriptor (same
//     file, still regular), and only then is O_NONBLOCK cleared. A FIFO, device, socket or a file
//     swapped for one is never opened in a way that can block a thread.
//  4. Whole writes. A write or append succeeds only when every byte was written and the close
//     succeeded (and, with Durability::Synced, the file and its folder were synced). There is no user
//     space buffer that could lose bytes after success was reported.
//  5. Appends are all or nothing: an append that fails truncates the file back to its old size.
//     Appenders of one file are serialised with an exclusive lock.
//  6. Copies, and whole-file writes that replace a file, go to a temporary name in the target folder
//     and are renamed into place once complete (synced first when asked), so the target is either the
//     old file or the whole new one. A replaced file keeps its permission bits.
//  7. Moves rename within one file system; across file systems they copy, sync the copy and its folder,
//     and only then remove the source.
//  8. Deletion removes only a regular file, never a folder, a special file, or anything outside the
//     area. There is no operation that removes a folder.
//  9. Names are bytes: paths are encoded losslessly (NativeName.h), so a file of any name opens.
// 10. Every operation passes the fault-injection seam (FileFaults.h).
//
// Paths are native (platform::nativePath maps the program's drive-letter paths to them). Relative paths
// are taken from the working folder. Nothing here keeps a file open between calls except a ConfinedFile
// the caller holds.

#include "platform/FileError.h"
#include "platform/FileFaults.h"
#include "platform/FileRoots.h"

#include <cstdint>
#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>
#include <vector>

namespace tessa::platform {

// Which file a path reaches, whatever the spelling: equal identities are the same file.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    bool valid() const { return device != 0 || inode != 0; }
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

enum class EntryKind { Missing, File, Folder, Link, Other };

// What is at a path, after resolution and confinement.
struct FileStatus {
    FileError error = FileError::NotFound; // None when the target exists inside the area
    EntryKind kind = EntryKind::Missing;   // of the real path (links followed)
    qint64 size = 0;
    FileIdentity identity;
    QString realPath;
};
FileStatus statFile(const QString& nativePath, Area area);
// The same, confined to a root the caller names instead of an area: for a drive that is being tested for
// a card before it becomes the card in use.
FileStatus statFileInside(const QString& nativePath, const QString& rootNative);

// The identity of whatever the path reaches (links followed), or an invalid identity. Nothing is opened
// and nothing is confined: an identity is only ever compared with one of a confined file, and a file
// outside an area can never equal a file inside it.
FileIdentity fileIdentity(const QString& nativePath);

// The bytes free to an unprivileged writer on the file system that holds the folder (inside its area).
// Nothing is opened.
FileError freeSpace(const QString& nativeFolder, Area area, uint64_t* bytes);

// True when both paths reach one existing file (each inside its area).
bool sameFile(const QString& a, Area areaA, const QString& b, Area areaB);

enum class Durability {
    Flushed, // written to the file system, close checked
    Synced,  // and fsync'ed, with the folder that holds it, before success is reported
};

// An open regular file. Move-only; the destructor closes without reporting (call close() to know).
class ConfinedFile {
public:
    enum class Mode {
        Read,      // an existing file, read only
        ReadWrite, // an existing file, read and write in place (never created, never truncated)
    };

    ConfinedFile() = default;
    ~ConfinedFile();
    ConfinedFile(ConfinedFile&& other) noexcept;
    ConfinedFile& operator=(ConfinedFile&& other) noexcept;
    ConfinedFile(const ConfinedFile&) = delete;
    ConfinedFile& operator=(const ConfinedFile&) = delete;

    FileError open(const QString& nativePath, Area area, Mode mode);
    bool isOpen() const { return fd_ >= 0; }

    // Size now (fstat); -1 on failure.
    qint64 size() const;
    // Reads up to length bytes at offset; *got is what was read (fewer only at the end of the file).
    FileError readAt(qint64 offset, void* buffer, size_t length, size_t* got);
    // Reads on from the current position, as readAt.
    FileError read(void* buffer, size_t length, size_t* got);
    FileError seek(qint64 offset);
    // Writes every byte at offset, or fails (ReadWrite only).
    FileError writeAt(qint64 offset, QByteArrayView bytes);
    // fsync of the file.
    FileError sync();
    // Closes and reports the close.
    FileError close();

    // Hands the open descriptor over (for a QFile that reads it) and forgets it; -1 when not open.
    int release();

    const QString& realPath() const { return realPath_; }
    FileIdentity identity() const { return identity_; }

private:
    int fd_ = -1;
    QString realPath_;
    FileIdentity identity_;
};

// Opens a regular file for reading through the layer and hands it to a QFile (which closes it), for
// readers written against QIODevice. Reads through the QFile are not seen by the fault seam.
FileError openForReading(QFile& file, const QString& nativePath, Area area);

// Reads a whole regular file; TooLarge (with nothing read) when it is larger than maxBytes.
FileError readWholeFile(const QString& nativePath, Area area, QByteArray* bytes,
                        qint64 maxBytes = qint64(1) << 31);

// Reads up to length bytes at offset of a regular file; fewer at its end.
FileError readFilePart(const QString& nativePath, Area area, qint64 offset, qint64 length, QByteArray* bytes);

struct AppendOptions {
    bool create = false; // create the file when missing (a dangling link is never followed)
    // When the file's length is not a multiple of this (a torn record), zeros are appended first so that
    // the new bytes start on the next multiple. 0 or 1: no alignment.
    qint64 alignTo = 0;
    Durability durability = Durability::Flushed;
};
// Appends all of bytes at the end of the file, or leaves the file at its old size. *offset (when given)
// is where the bytes went.
FileError appendToFile(const QString& nativePath, Area area, QByteArrayView bytes,
                       const AppendOptions& options, qint64* offset = nullptr);

enum class Replace { Never, Existing };

// Writes a whole file through a temporary name and a rename. Replace::Never refuses (Exists) when the
// target exists.
FileError writeWholeFile(const QString& nativePath, Area area, QByteArrayView bytes, Replace replace,
                         Durability durability = Durability::Flushed);

// Copies a regular file to a new path (whose folder must exist) through a temporary name.
FileError copyFile(const QString& fromNative, Area fromArea, const QString& toNative, Area toArea,
                   Replace replace = Replace::Never, Durability durability = Durability::Flushed);

struct CopyOptions {
    Replace replace = Replace::Never;
    Durability durability = Durability::Flushed;
    // Before the rename, the synced temporary copy and the source are both read again from their media
    // (their cached pages dropped first) and compared; a difference gives Mismatch and leaves no copy.
    // Implies Durability::Synced.
    bool verify = false;
    // When given, receives the SHA-256 of the bytes copied (hashed in the copy's own read loop) once the
    // copy succeeded; left empty otherwise.
    QByteArray* sha256 = nullptr;
};
FileError copyFile(const QString& fromNative, Area fromArea, const QString& toNative, Area toArea,
                   const CopyOptions& options);

// Compares two regular files byte for byte, reading both from their media where the system allows (cached
// pages dropped first). *equal is set only when the result is None.
FileError compareFiles(const QString& aNative, Area aArea, const QString& bNative, Area bArea, bool* equal);

struct MoveResult {
    FileError error = FileError::None;
    // The target holds the whole file. With an error, the source could then not be removed: both exist.
    bool targetWritten = false;
};
MoveResult moveFile(const QString& fromNative, Area fromArea, const QString& toNative, Area toArea,
                    Replace replace = Replace::Never);

// Removes one regular file (the real file a link reaches, when the path is a link inside the area).
FileError removeFile(const QString& nativePath, Area area);

// Makes the folder and any missing folders above it inside the area (like mkdir -p).
FileError makeFolders(const QString& nativePath, Area area);

// fsync of a folder, so that names created or renamed in it survive a power cut.
FileError syncFolder(const QString& nativePath, Area area);

struct FolderEntry {
    QString name;   // decoded losslessly
    EntryKind kind; // of the entry itself: a link is Link, never followed
    qint64 size;    // for files
};
// The entries of a folder ("." and ".." left out), in the order the file system gives them.
FileError listFolder(const QString& nativePath, Area area, std::vector<FolderEntry>* entries);

} // namespace tessa::platform
