#pragma once

// Finding the recorder's card among the drives: the lowest removable drive from C whose disk holds at
// least 1024 bytes and has CallLog.dat in its root. PhoneBook.dat beside it makes it a VX5 card (model
// code 1), else a VX7 card (model code 0), which gets the beep files it plays.

#include "platform/VolumeTable.h"

#include <functional>
#include <QString>

namespace tessa {

struct AppState;

// What the scan asks of the window. Any hook may be left empty.
struct CardScanHooks {
    // Model code 1 before the scan: the phonebook page's buttons and list are disabled, its rows kept.
    std::function<void()> disablePhonebook;
    // A card was found and the state updated: tree root text and remark column width follow the model.
    std::function<void(char letter, int model)> cardFound;
    // Model code 1: the phonebook page loads this program path ("X:\PhoneBook.dat")...
    std::function<void(const QString& phonebookPath)> loadPhonebook;
    // ...and its buttons and list are enabled again.
    std::function<void()> enablePhonebook;
    // Starts the loader over the card; not called while the busy flag is set.
    std::function<void()> startLoader;
};

// "X:\CallLog.dat" and "X:\PhoneBook.dat" of a drive letter (program form).
QString cardLogPath(char letter);
QString phonebookPath(char letter);

// PhoneBook.dat exists in the root of the drive.
bool phonebookPresent(char letter);
// 1 (VX5) when the card holds a phonebook, else 0 (VX7).
int modelOfCard(char letter);

// The four card tests in order: letter C to Z, removable, total size at least 1024 bytes (a failed query
// is 0), CallLog.dat in the root. Later tests are not tried once one fails.
bool isCard(const platform::Volume& volume);

// The drive poll's test for the card in use: the drive still exists and its disk holds at least 1024
// bytes. Re-reads the volume table.
bool cardPresent(char letter);

// Copies beep1.wav and beep3.wav from the shipped Config folder to the card root when they are absent
// there. Existing files are never overwritten; failures are ignored.
void copyBeepFiles(char letter);

// The card in use went away (the drive poll found it gone): its letter is forgotten and its root leaves
// the file layer, so that nothing is read, written or removed under the old root any more, whatever is
// mounted there next. A card found later sets its own root.
void forgetCard(AppState& state);

// The card scan run by the drive poll. Does nothing while the rebuild worker runs or the busy flag is
// set. Otherwise re-reads the volume table, empties the card collection and, when a card is found, stores
// its letter, log path, model code and load source 1 in the state, calls the hooks and writes DevType.
// Returns the letter of the card found, or 0 (the card drive letter is then left as it was, but the card
// root of the file layer is cleared unless a loader started meanwhile: no card is in use).
char scanForCard(AppState& state, const CardScanHooks& hooks);

} // namespace tessa
