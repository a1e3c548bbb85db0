#include "store/CardScan.h"

#include "config/ProgramFolder.h"
#include "config/Settings.h"
#include "format/CardRecord.h"
#include "platform/ConfinedFiles.h"
#include "platform/NativePath.h"
#include "store/AppState.h"

namespace tessa {
namespace {

// An empty card reader answers the size query with nothing; anything this small is no card.
constexpr uint64_t kSmallestCardBytes = 1024;

QString cardRootFile(char letter, const char* name) {
    return QStringLiteral("%1:\\%2").arg(QChar::fromLatin1(letter), QLatin1String(name));
}

// A regular file in the card's root whose real path stays on the card: a CallLog.dat or PhoneBook.dat
// that is a link to somewhere else does not make a card (nothing would read or write it anyway).
bool cardFileExists(char letter, const char* name) {
    const auto volume = platform::volumeTable().volume(letter);
    const QString native = platform::nativePath(cardRootFile(letter, name));
    if (!volume || native.isEmpty())
        return false;
    const platform::FileStatus status = platform::statFileInside(native, volume->root);
    return status.error == platform::FileError::None && status.kind == platform::EntryKind::File;
}

void callScanHook(const std::function<void()>& hook) {
    if (hook)
        hook();
}

} // namespace

QString cardLogPath(char letter) {
    return cardRootFile(letter, "CallLog.dat");
}

QString phonebookPath(char letter) {
    return cardRootFile(letter, "PhoneBook.dat");
}

bool phonebookPresent(char letter) {
    return cardFileExists(letter, "PhoneBook.dat");
}

int modelOfCard(char letter) {
    return phonebookPresent(letter) ? ModelVX5 : ModelVX7;
}

bool isCard(const platform::Volume& volume) {
    if (volume.letter < 'C' || volume.letter > 'Z')
        return false;
    if (volume.type != platform::DriveRemovable)
        return false;
    if (platform::volumeTable().space(volume).totalBytes < kSmallestCardBytes)
        return false;
    return cardFileExists(volume.letter, "CallLog.dat");
}

bool cardPresent(char letter) {
    platform::volumeTable().refresh();
    const auto volume = platform::volumeTable().volume(letter);
    if (!volume || volume->type == platform::DriveNoRootDir)
        return false;
    return platform::volumeTable().space(*volume).totalBytes >= kSmallestCardBytes;
}

void copyBeepFiles(char letter) {
    for (const char* name : {"beep1.wav", "beep3.wav"}) {
        const QString target = platform::nativePath(cardRootFile(letter, name));
        if (target.isEmpty())
            continue;
        // Never replaces what is there (a file, or a link of any kind); a half-written copy never
        // appears under the name the recorder plays.
        platform::copyFile(shippedConfigFile(QLatin1String(name)), platform::Area::User, target,
                           platform::Area::Card, platform::Replace::Never);
    }
}

void forgetCard(AppState& state) {
    state.cardDriveLetter = 0;
    platform::setCardRoot(QString());
}

char scanForCard(AppState& state, const CardScanHooks& hooks) {
    // The rebuild worker is writing that card's log; reading it now would see half a file.
    if (state.rebuildRunning)
        return 0;
    // The loader or lister owns the card collection and the record list rows point into it: emptying it
    // now would pull records from under them. Nothing would be tested anyway.
    if (state.busy)
        return 0;
    if (state.modelCode == ModelVX5)
        callScanHook(hooks.disablePhonebook);
    // Rows still showing the card's records are dropped by the collection before it frees them.
    state.cardRecords.clear();

    platform::VolumeTable& table = platform::volumeTable();
    table.refresh();
    const uint32_t mask = table.driveMask();
    char found = 0;
    for (int bit = 0; bit < 26 && (mask >> bit) != 0 && !found; ++bit) {
        const char letter = char('A' + bit);
        if (!(mask & (1u << bit)) || letter == 'A' || letter == 'B')
            continue;
        // A loader started meanwhile: test nothing more, the next poll tries again.
        if (state.busy)
            continue;
        const auto volume = table.volume(letter);
        if (volume && isCard(*volume))
            found = letter;
    }
    if (!found) {
        // No card is in use; a loader that started during the walk owns the root it set.
        if (!state.busy)
            platform::setCardRoot(QString());
        return 0;
    }

    const int model = modelOfCard(found);
    if (const auto volume = table.volume(found))
        platform::setCardRoot(volume->root);
    state.cardLogPath = cardLogPath(found);
    state.cardDriveLetter = found;
    state.loadSource = LoadCard;
    state.modelCode = model;

    if (hooks.cardFound)
        hooks.cardFound(found, model);
    if (model == ModelVX5) {
        if (hooks.loadPhonebook)
            hooks.loadPhonebook(phonebookPath(found));
        callScanHook(hooks.enablePhonebook);
    } else {
        copyBeepFiles(found);
    }
    writeIntSetting(QStringLiteral("DevType"), model);
    if (!state.busy)
        callScanHook(hooks.startLoader);
    return found;
}

} // namespace tessa
