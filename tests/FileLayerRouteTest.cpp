// Card and backup files are reached only through the confined file layer in platform/. Outside platform/
// a file may use Qt's or the system's own file access only for files that are no card or backup files,
// and then it stands in the list below with the reason. A new direct use anywhere else fails here, and so
// does an entry of the list that no longer uses anything (so that the list stays the truth).

#include <gtest/gtest.h>
#include <map>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace file_layer_route_test {

// Files of src/ (outside platform/) that may touch the file system themselves, with why.
const std::map<QString, const char*> kAllowed = {
    {"app/SingleInstance.cpp", "the single-instance lock in the program's runtime folder"},
    {"app/SingleInstance.h", "the single-instance lock in the program's runtime folder"},
    {"audio/OpenRecording.cpp",
     "the private temporary file of decoded samples; the recording is a QFile on the layer's descriptor"},
    {"audio/OpenRecording.h", "holds the QFile the layer opened the recording into"},
    {"audio/WavWriter.h", "WAV files written to the path the user chose for a conversion or decode"},
    {"cli/ConvertCommand.cpp", "tests the output folder the user typed"},
    {"cli/ImportCommand.cpp", "tests and makes absolute the folder the user typed"},
    {"cli/LogCommand.cpp", "makes absolute the log path the user typed"},
    {"cli/RepairCommand.cpp", "tests and makes absolute the card folder the user typed"},
    {"config/IniFile.cpp", "the settings file"},
    {"config/ProgramFolder.cpp", "the program and configuration folders"},
    {"config/ui/FolderPicker.cpp", "the separators of the folder the user picked in the dialog"},
    {"export/MailJob.cpp", "the mail's temporary copies in the program's temporary folder"},
    {"export/XlsxSheetWriter.cpp", "the spreadsheet written to the path the user chose"},
};

// Qt's file classes, the standard library's and the system's file calls. QFileDialog is a widget and is
// not matched.
const QRegularExpression kFileAccess(QStringLiteral(
    R"(\b(QFile|QFileInfo|QFileDevice|QDir|QDirIterator|QSaveFile|QTemporaryFile|QTemporaryDir|QLockFile|)"
    R"(QStorageInfo)\b|std::filesystem|\b(fopen|opendir|fdopendir)\s*\(|)"
    R"((^|[^\w])::(open|openat|unlink|unlinkat|rename|renameat2?|stat|lstat|mkdir|remove|rmdir)\s*\(|)"
    R"(std::rename\s*\(|\b[io]?fstream\b)"));

// The first use in a file's text, comments left out; empty when there is none.
QString firstUse(const QString& text) {
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (const qsizetype comment = line.indexOf(QStringLiteral("//")); comment >= 0)
            line.truncate(comment);
        if (kFileAccess.match(line).hasMatch())
            return QStringLiteral("%1: %2").arg(i + 1).arg(line.trimmed());
    }
    return {};
}

TEST(FileLayerRoute, TheScanSeesEveryKindOfDirectAccess) {
    for (const char* line :
         {"QFile file(path);", "QFileInfo(native).isFile()", "QDir().mkpath(dir);", "QDirIterator it(root);",
          "std::filesystem::remove(p);", "FILE* f = fopen(p, \"r\");", "const int fd = ::open(p, O_RDONLY);",
          "::unlink(p);", "std::ifstream in(p);", "QStorageInfo storage(native);", "QSaveFile file(path);",
          "DIR* d = opendir(p);"})
        EXPECT_FALSE(firstUse(QString::fromLatin1(line)).isEmpty()) << line;
    for (const char* line :
         {"QFileDialog dialog(parent);", "recording_->open(path);", "file.open(native, area);",
          "bool PlaybackEngine::open(int mode) {", "// QFile would block on a FIFO", "ConfinedFile file;",
          "engine_->open(mode);", "v.erase(std::remove(v.begin(), v.end(), x), v.end());"})
        EXPECT_TRUE(firstUse(QString::fromLatin1(line)).isEmpty()) << line;
}

TEST(FileLayerRoute, OnlyTheListedFilesReachAroundTheFileLayer) {
    const QString srcRoot = QStringLiteral(TESSA_SOURCE_DIR "/src");
    ASSERT_TRUE(QDir(srcRoot).exists());
    std::map<QString, QString> uses;
    QDirIterator it(srcRoot, {QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files,
                    QDirIterator::Subdirectories);
    int scanned = 0;
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = path.mid(srcRoot.size() + 1);
        if (relative.startsWith(QStringLiteral("platform/")))
            continue;
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        ++scanned;
        const QString use = firstUse(QString::fromUtf8(file.readAll()));
        if (!use.isEmpty())
            uses[relative] = use;
    }
    ASSERT_GT(scanned, 100);
    for (const auto& [file, use] : uses)
        EXPECT_TRUE(kAllowed.count(file))
            << file.toStdString() << " reaches the file system without the confined file layer ("
            << use.toStdString()
            << "); route it through platform/ConfinedFiles.h, or list it here if it never touches a card or "
               "backup file";
    for (const auto& [file, reason] : kAllowed)
        EXPECT_TRUE(uses.count(file))
            << file.toStdString() << " no longer needs its place in the list (" << reason << ")";
}

} // namespace file_layer_route_test
