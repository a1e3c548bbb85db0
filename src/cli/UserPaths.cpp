#include "cli/UserPaths.h"

#include "platform/ConfinedFiles.h"
#include "platform/NativePath.h"

namespace tessa::cli {

QString userNativePath(const QString& typed) {
    if (platform::hasDrivePrefix(typed))
        return platform::nativePath(typed);
    // The folders are resolved, the name is kept as typed: a recording's kind follows its name (".xtr"),
    // and a link named like a recording is still read as one.
    QString path = typed;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString name = path.mid(slash + 1);
    if (name == QLatin1String(".") || name == QLatin1String("..")) {
        const platform::FileStatus status = platform::statFile(path, platform::Area::User);
        return status.realPath.isEmpty() ? typed : status.realPath;
    }
    const QString folder = slash < 0    ? QStringLiteral(".")
                           : slash == 0 ? QStringLiteral("/")
                                        : path.left(slash);
    const platform::FileStatus status = platform::statFile(folder, platform::Area::User);
    if (status.realPath.isEmpty() || status.kind != platform::EntryKind::Folder)
        return typed;
    return status.realPath == QLatin1String("/") ? QLatin1Char('/') + name
                                                 : status.realPath + QLatin1Char('/') + name;
}

int checkReadableFile(Io io, const QString& typed) {
    const QString native = userNativePath(typed);
    if (native.isEmpty())
        return inputError(io, QStringLiteral("cannot open %1: no such drive").arg(typed));
    // Opening through the file layer tells permission problems apart and never opens a special file.
    platform::ConfinedFile file;
    const platform::FileError error =
        file.open(native, platform::Area::User, platform::ConfinedFile::Mode::Read);
    if (error != platform::FileError::None)
        return inputError(
            io,
            QStringLiteral("cannot open %1: %2").arg(typed, QLatin1String(platform::fileErrorText(error))));
    return ExitOk;
}

int checkOutputFile(Io io, const QString& typedInput, const QString& typedOutput) {
    const QString input = userNativePath(typedInput);
    const QString output = userNativePath(typedOutput);
    const platform::FileStatus in = platform::statFile(input, platform::Area::User);
    const platform::FileStatus out = platform::statFile(output, platform::Area::User);
    const bool same = (in.identity.valid() && in.identity == out.identity) ||
                      (!in.realPath.isEmpty() && in.realPath == out.realPath);
    if (same)
        return inputError(
            io, QStringLiteral("refusing to write %1: it is the input %2").arg(typedOutput, typedInput));
    if (out.error == platform::FileError::None && out.kind != platform::EntryKind::File)
        return inputError(io, QStringLiteral("cannot write %1: %2")
                                  .arg(typedOutput, QLatin1String(out.kind == platform::EntryKind::Folder
                                                                      ? "a folder"
                                                                      : "not a regular file")));
    if (out.error != platform::FileError::None && out.error != platform::FileError::NotFound)
        return inputError(io, QStringLiteral("cannot write %1: %2")
                                  .arg(typedOutput, QLatin1String(platform::fileErrorText(out.error))));
    return ExitOk;
}

} // namespace tessa::cli
