#pragma once

// The paths a user types on the command line. They are the user's: ".." and any folder are allowed, and
// a file of any name bytes opens (the arguments are decoded losslessly). Only the card paths inside
// records are confined. What is refused is what would hurt or hang: a folder, a FIFO or device (never
// opened), and an output that is the input.

#include "cli/Cli.h"
#include "platform/FileError.h"

#include <QString>

namespace tessa::cli {

// The native path for what the user typed: a drive-letter path ("E:\CallLog.dat") maps to its drive,
// anything else is a native path as typed, made absolute and real (links and ".." resolved) when it
// exists. Empty when a drive-letter path names no drive.
QString userNativePath(const QString& typed);

// Checks that the typed path is a regular file the user can read, without ever blocking on it. On a
// problem prints "cannot open PATH: no such file" (a folder, not a regular file, permission denied, ...)
// and returns ExitBadInput; ExitOk when the file can be read.
int checkReadableFile(Io io, const QString& typed);

// Checks an output path before anything is written: it must not be the input (under any spelling or
// link) and must not be a folder or special file (a FIFO would block the write). Prints the problem and
// returns ExitBadInput, or ExitOk.
int checkOutputFile(Io io, const QString& typedInput, const QString& typedOutput);

} // namespace tessa::cli
