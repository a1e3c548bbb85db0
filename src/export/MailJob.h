#pragma once

// What an e-mail of records carries: the body that describes them and their recordings as attachments,
// either the files as stored or container recordings converted to WAV files in a folder of the private
// temp folder. The converted files must outlive the hand-over (the mail program reads them after
// xdg-email returns), so they are kept in a clean-up list and removed later.

#include "export/DesktopPrograms.h"
#include "format/CallRecord.h"
#include "platform/FileRoots.h"

#include <atomic>
#include <QString>
#include <QStringList>
#include <vector>

namespace tessa {

// The files one e-mail left in the temp folder, and the folder that holds them.
struct MailTemporaries {
    QString folder;
    QStringList files;
    bool empty() const { return folder.isEmpty() && files.isEmpty(); }
    // Removes the files and the folder; what is gone already is no error.
    void remove();
};

struct MailPreparation {
    MailMessage message;
    MailTemporaries temporaries;
};

// Builds the message for the records (copies: the window may drop its records while this runs). With
// originals, or for a path without ".xtr", a recording is attached as stored; otherwise it is converted
// into a new folder under tempFolder and attached when the conversion wrote it. A record whose recording
// is missing, or lies outside its area, gets no attachment; its block is in the body all the same. The
// area is the card in use and the backup, or for imported records the folders the user imported from.
// Throws std::bad_alloc when memory runs out.
MailPreparation prepareMail(const std::vector<CallRecord>& records, bool originals, int modelCode,
                            const QString& tempFolder,
                            platform::Area recordingArea = platform::Area::CardOrBackup);

} // namespace tessa
