#include "export/MailJob.h"

#include "export/MailBody.h"
#include "export/RecordingConversion.h"
#include "format/ContainerHeader.h"
#include "platform/ConfinedFiles.h"
#include "platform/NativePath.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace tessa {
namespace {

using platform::Area;

// A folder of its own for each e-mail: a file the previous e-mail's mail program may still be reading is
// never replaced by one of this e-mail with the same name.
QString newMailFolder(const QString& tempFolder) {
    QTemporaryDir folder(tempFolder + QStringLiteral("/mail-XXXXXX"));
    if (!folder.isValid())
        return {};
    folder.setAutoRemove(false);
    return folder.path();
}

} // namespace

void MailTemporaries::remove() {
    for (const QString& file : files)
        QFile::remove(file);
    files.clear();
    if (!folder.isEmpty())
        QDir().rmdir(folder);
    folder.clear();
}

MailPreparation prepareMail(const std::vector<CallRecord>& records, bool originals, int modelCode,
                            const QString& tempFolder, platform::Area recordingArea) {
    MailPreparation mail;
    mail.message.subject = QString::fromLatin1(kMailSubject);
    for (const CallRecord& record : records) {
        const QString path = record.fullPath.text();
        const QString native = platform::nativePath(path);
        if (native.isEmpty())
            continue;
        // A record names its recording by a path the card or the backup wrote (or the import found): only
        // a regular file inside its area is handed over.
        const platform::FileStatus status = platform::statFile(native, recordingArea);
        if (status.error != platform::FileError::None || status.kind != platform::EntryKind::File)
            continue;
        if (originals || !isContainerPath(path)) {
            mail.message.attachments << status.realPath;
            continue;
        }
        if (mail.temporaries.folder.isEmpty())
            mail.temporaries.folder = newMailFolder(tempFolder);
        if (mail.temporaries.folder.isEmpty())
            continue;
        const QString converted = wavOutputPath(path, mail.temporaries.folder);
        if (!mail.temporaries.files.contains(converted))
            mail.temporaries.files << converted;
        if (convertRecording(status.realPath, recordingArea, converted) == ConversionResult::Written &&
            !mail.message.attachments.contains(converted))
            mail.message.attachments << converted;
    }
    mail.message.body = mailBody(records, modelCode);
    return mail;
}

} // namespace tessa
