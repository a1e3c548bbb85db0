#include "backup/Import.h"

#include "backup/FileFinder.h"
#include "store/RecordingFiles.h"

namespace tessa {
namespace {

// A record holds the whole path of its recording or the record cannot reach it.
constexpr qsizetype kMaxImportPathLength = 260;

} // namespace

ImportResult importRecordings(const QString& folder, const ContactList* contacts,
                              const std::atomic<bool>* stop) {
    ImportResult result;
    FileFinder::Options options;
    options.area = platform::Area::User;
    options.stop = stop;
    options.sizes = false; // each record's length is read from its recording when it is built
    FileFinder finder(options);
    finder.setRoot(folder, true);
    result.complete = finder.search(QStringLiteral("*.*"), true, false);
    result.filesFound = finder.results().size();
    for (const FoundEntry& entry : finder.results()) {
        if (stop && stop->load())
            break;
        if (entry.path.size() > kMaxImportPathLength || !isRecordingFileName(entry.path))
            continue;
        if (auto record = buildRecordFromFile(entry.path, contacts))
            result.records.push_back(*record);
    }
    return result;
}

} // namespace tessa
