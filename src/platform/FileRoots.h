#pragma once

// The two folders that card and backup files may lie in: the root of the card in use and the backup
// root. The store sets the card root when it finds a card (and clears it when the card goes) and the
// backup root when it reads the backup path; the command-line tool sets them from its arguments. Every
// operation of the confined file layer names the area its target must lie in, and a target whose real
// path is outside that area's root is refused.
//
// Roots are native folders. They are process-wide and may be read and changed from any thread; an
// operation takes the roots as they are when it starts.

#include <QString>

namespace tessa::platform {

enum class Area {
    Card,         // inside the card root
    Backup,       // inside the backup root
    CardOrBackup, // inside either (a record may name a file on the card or its backed-up copy)
    // A path the user chose (typed on the command line, picked in a folder dialog): no root applies, but
    // every other rule of the layer does (regular files only, no blocking, whole writes). Paths taken
    // from card or backup records never use this area.
    User,
};

// Sets or clears (empty) the card root.
void setCardRoot(const QString& nativeFolder);
// Sets or clears (empty) the backup root.
void setBackupRoot(const QString& nativeFolder);
QString cardRoot();
QString backupRoot();

// Sets both roots for the life of the object and puts back the previous ones after (tests, the
// command-line tool).
class ScopedFileRoots {
public:
    ScopedFileRoots(const QString& cardRootNative, const QString& backupRootNative);
    ~ScopedFileRoots();
    ScopedFileRoots(const ScopedFileRoots&) = delete;
    ScopedFileRoots& operator=(const ScopedFileRoots&) = delete;

private:
    QString previousCard_;
    QString previousBackup_;
};

} // namespace tessa::platform
