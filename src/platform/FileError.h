#pragma once

// What a file operation of the confined file layer (ConfinedFiles.h) gives back. Every operation returns
// one of these instead of a plain true or false, so that a caller can tell a full card from a missing
// file and a refused path from a vanished card, and the command-line tool can say what is wrong.

namespace tessa::platform {

enum class FileError {
    None,       // done: every byte reached the file (and, where asked, the disk)
    NotFound,   // nothing at the path (or a folder of it is missing)
    Folder,     // the path names a folder where a file was wanted
    NotRegular, // a FIFO, device, socket or other special file: never opened
    Permission, // the file system refused access
    Outside,    // the real path leads outside the card root in use or the backup root
    NoRoot,     // the area has no root set (no card in use, no backup path)
    Exists,     // the target exists and the operation does not replace
    NoSpace,    // the disk (or the quota) is full
    Io,         // an input/output error
    Vanished,   // the medium went away (card pulled, device gone)
    ReadOnly,   // a read-only file system
    TooLarge,   // larger than the caller's limit
    Invalid,    // an empty path, an embedded NUL, or a name that cannot be a file
    Mismatch,   // a copy read back from the disk differs from its original
};

// A short English phrase for messages of the command-line tool: "no such file", "a folder",
// "not a regular file", "permission denied", "outside the card or backup folder", ...
const char* fileErrorText(FileError error);

// The error for an errno value of a failed system call.
FileError fileErrorOfErrno(int errnoValue);

} // namespace tessa::platform
