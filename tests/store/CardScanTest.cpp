#include "store/CardScan.h"

#include "config/ProgramFolder.h"
#include "config/Settings.h"
#include "platform/ConfinedFiles.h"
#include "platform/FileRoots.h"
#include "platform/VolumeTable.h"
#include "store/AppState.h"
#include "support/ScopedConfig.h"
#include "support/ScopedVolumes.h"
#include "support/TempDir.h"

#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <QStringList>
#include <set>

namespace tessa {
namespace {

using platform::DriveFixed;
using platform::DriveNoRootDir;
using platform::DriveRemote;
using platform::DriveRemovable;
using platform::Volume;
using test::TempDir;

// Real folders as drives; letters listed as empty readers answer the size query with nothing, and every
// size query is counted.
class CardScanVolumes : public platform::FixedVolumeTable {
public:
    using FixedVolumeTable::FixedVolumeTable;
    platform::DiskSpace space(const Volume& volume) const override {
        ++spaceQueries;
        if (onSpaceQuery)
            onSpaceQuery();
        if (emptyReaders.count(volume.letter))
            return {};
        if (const auto sized = totalBytes.find(volume.letter); sized != totalBytes.end()) {
            platform::DiskSpace space = FixedVolumeTable::space(volume);
            space.totalBytes = sized->second;
            return space;
        }
        return FixedVolumeTable::space(volume);
    }
    std::set<char> emptyReaders;
    std::map<char, uint64_t> totalBytes; // sizes answered instead of the folder's disk
    mutable int spaceQueries = 0;
    std::function<void()> onSpaceQuery;
};

class CardScanTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_.write("Config/beep1.wav", "shipped beep 1");
        dir_.write("Config/beep3.wav", "shipped beep 3");
    }

    // A drive folder holding the given files in its root.
    Volume drive(char letter, int type, const QStringList& files) {
        const QString root = dir_.file(QStringLiteral("drive %1").arg(QChar::fromLatin1(letter)));
        QDir().mkpath(root);
        for (const QString& name : files)
            dir_.write(root.mid(dir_.path().size() + 1) + "/" + name, "x");
        return {letter, type, root};
    }
    CardScanVolumes& install(std::vector<Volume> volumes) {
        volumes.insert(volumes.begin(), Volume{'C', DriveFixed, "/"});
        auto table = std::make_shared<CardScanVolumes>(volumes);
        installed_.emplace(table);
        return *table;
    }

    CardScanHooks recordingHooks() {
        CardScanHooks hooks;
        hooks.disablePhonebook = [this] { events_ << "disable"; };
        hooks.cardFound = [this](char letter, int model) {
            events_ << QStringLiteral("found %1 %2").arg(QChar::fromLatin1(letter)).arg(model);
        };
        hooks.loadPhonebook = [this](const QString& path) { events_ << "load " + path; };
        hooks.enablePhonebook = [this] { events_ << "enable"; };
        hooks.startLoader = [this] { events_ << "loader"; };
        return hooks;
    }

    QString rootFile(const Volume& v, const QString& name) const { return v.root + "/" + name; }

    TempDir dir_;
    test::ScopedConfig config_{dir_.file("Config")};
    std::optional<test::ScopedVolumeTable> installed_;
    AppState state_;
    QStringList events_;
};

TEST_F(CardScanTest, EmptyReaderIsSkippedForTheCardBehindIt) {
    const Volume reader = drive('E', DriveRemovable, {"CallLog.dat"});
    const Volume card = drive('F', DriveRemovable, {"CallLog.dat"});
    install({reader, card}).emptyReaders = {'E'};
    state_.cardRecords.append(CallRecord{});

    EXPECT_EQ(scanForCard(state_, recordingHooks()), 'F');
    EXPECT_EQ(state_.cardDriveLetter, 'F');
    EXPECT_EQ(state_.cardLogPath, "F:\\CallLog.dat");
    EXPECT_EQ(state_.loadSource, LoadCard);
    EXPECT_EQ(state_.modelCode, 0);
    EXPECT_TRUE(state_.cardRecords.empty());
    EXPECT_EQ(events_, QStringList({"found F 0", "loader"}));
    EXPECT_EQ(readIntSetting("DevType"), 0);
    // The VX7 card gets both beeps; the empty reader is left alone.
    EXPECT_EQ(TempDir::read(rootFile(card, "beep1.wav")), "shipped beep 1");
    EXPECT_EQ(TempDir::read(rootFile(card, "beep3.wav")), "shipped beep 3");
    EXPECT_FALSE(QFileInfo::exists(rootFile(reader, "beep1.wav")));
}

TEST_F(CardScanTest, LowestRemovableLetterWinsAndOtherDriveKindsAreNeverTaken) {
    install({
        drive('A', DriveRemovable, {"CallLog.dat"}),
        drive('B', DriveRemovable, {"CallLog.dat"}),
        drive('D', DriveFixed, {"CallLog.dat"}),
        drive('E', DriveRemote, {"CallLog.dat"}),
        drive('F', DriveRemovable, {"PhoneBook.dat"}), // a phonebook alone is no card
        drive('G', DriveRemovable, {"CallLog.dat"}),
        drive('H', platform::DriveUnknown, {"CallLog.dat"}),
        drive('J', DriveRemovable, {"CallLog.dat", "PhoneBook.dat"}),
    });
    EXPECT_EQ(scanForCard(state_, recordingHooks()), 'G');
    EXPECT_EQ(state_.cardLogPath, "G:\\CallLog.dat");
}

TEST_F(CardScanTest, NoCardLeavesTheLetterAndSettingsAlone) {
    install({drive('D', DriveFixed, {"CallLog.dat"}), drive('E', DriveRemote, {"CallLog.dat"}),
             drive('F', DriveRemovable, {"PhoneBook.dat"})});
    state_.cardDriveLetter = 'K';
    EXPECT_EQ(scanForCard(state_, recordingHooks()), 0);
    EXPECT_EQ(state_.cardDriveLetter, 'K');
    EXPECT_EQ(state_.loadSource, LoadMonthLogs);
    EXPECT_TRUE(events_.isEmpty());
    EXPECT_EQ(readIntSetting("DevType"), -1);
}

TEST_F(CardScanTest, PhonebookMakesAVx5CardWithoutBeeps) {
    const Volume card = drive('E', DriveRemovable, {"CallLog.dat", "PhoneBook.dat"});
    install({card});
    EXPECT_TRUE(phonebookPresent('E'));
    EXPECT_FALSE(phonebookPresent('F'));

    EXPECT_EQ(scanForCard(state_, recordingHooks()), 'E');
    EXPECT_EQ(state_.modelCode, 1);
    EXPECT_EQ(events_, QStringList({"found E 1", "load E:\\PhoneBook.dat", "enable", "loader"}));
    EXPECT_EQ(readIntSetting("DevType"), 1);
    EXPECT_FALSE(QFileInfo::exists(rootFile(card, "beep1.wav")));
    EXPECT_FALSE(QFileInfo::exists(rootFile(card, "beep3.wav")));

    // Scanning again with model 1 in force first disables the phonebook page.
    events_.clear();
    scanForCard(state_, recordingHooks());
    EXPECT_EQ(events_.value(0), "disable");
}

TEST_F(CardScanTest, MissingBeepIsCopiedAndExistingOneKept) {
    const Volume card = drive('E', DriveRemovable, {"CallLog.dat"});
    dir_.write("drive E/beep1.wav", "the card's own");
    install({card});
    scanForCard(state_, {});
    EXPECT_EQ(TempDir::read(rootFile(card, "beep1.wav")), "the card's own");
    EXPECT_EQ(TempDir::read(rootFile(card, "beep3.wav")), "shipped beep 3");
}

TEST_F(CardScanTest, MissingShippedBeepsAreIgnored) {
    QFile::remove(dir_.file("Config/beep1.wav"));
    const Volume card = drive('E', DriveRemovable, {"CallLog.dat"});
    install({card});
    EXPECT_EQ(scanForCard(state_, recordingHooks()), 'E');
    EXPECT_FALSE(QFileInfo::exists(rootFile(card, "beep1.wav")));
    EXPECT_EQ(TempDir::read(rootFile(card, "beep3.wav")), "shipped beep 3");
    EXPECT_EQ(events_.value(1), "loader");
}

TEST_F(CardScanTest, BusyOrRebuildingScanTouchesNothing) {
    CardScanVolumes& table = install({drive('E', DriveRemovable, {"CallLog.dat"})});
    state_.cardRecords.append(CallRecord{});
    state_.modelCode = 1;

    state_.busy = true;
    EXPECT_EQ(scanForCard(state_, recordingHooks()), 0);
    state_.busy = false;
    state_.rebuildRunning = true;
    EXPECT_EQ(scanForCard(state_, recordingHooks()), 0);

    EXPECT_EQ(table.spaceQueries, 0);
    EXPECT_EQ(state_.cardRecords.count(), 1u);
    EXPECT_EQ(state_.cardDriveLetter, 0);
    EXPECT_TRUE(events_.isEmpty());
}

TEST_F(CardScanTest, LoaderStartingDuringTheWalkStopsTheTests) {
    const Volume reader = drive('E', DriveRemovable, {"CallLog.dat"});
    CardScanVolumes& table = install({reader, drive('F', DriveRemovable, {"CallLog.dat"})});
    table.emptyReaders = {'E'};
    table.onSpaceQuery = [this] { state_.busy = true; };
    EXPECT_EQ(scanForCard(state_, recordingHooks()), 0);
    EXPECT_EQ(table.spaceQueries, 1);
    EXPECT_EQ(state_.cardDriveLetter, 0);
}

TEST_F(CardScanTest, LoaderNotStartedWhenBusyComesUpDuringTheScan) {
    install({drive('E', DriveRemovable, {"CallLog.dat"})});
    CardScanHooks hooks = recordingHooks();
    hooks.cardFound = [this](char, int) { state_.busy = true; };
    EXPECT_EQ(scanForCard(state_, hooks), 'E');
    EXPECT_FALSE(events_.contains("loader"));
}

TEST_F(CardScanTest, PresentTestFollowsTheDriveAndItsSize) {
    CardScanVolumes& table = install({drive('E', DriveRemovable, {}), drive('F', DriveNoRootDir, {})});
    EXPECT_TRUE(cardPresent('E'));
    EXPECT_FALSE(cardPresent('F'));
    EXPECT_FALSE(cardPresent('G'));
    table.emptyReaders = {'E'};
    EXPECT_FALSE(cardPresent('E')); // card pulled, reader stays
    table.emptyReaders.clear();
    table.setVolumes({{'C', DriveFixed, "/"}});
    EXPECT_FALSE(cardPresent('E')); // reader unplugged: the present test reads the table again
}

TEST_F(CardScanTest, CardTestsLetterTypeSizeAndLog) {
    CardScanVolumes& table = install({
        drive('B', DriveRemovable, {"CallLog.dat"}),
        drive('E', DriveRemovable, {"CallLog.dat"}),
        drive('F', DriveFixed, {"CallLog.dat"}),
        drive('G', DriveRemovable, {}),
        {'H', DriveRemovable, dir_.file("absent")}, // size query fails
        drive('I', DriveRemote, {"CallLog.dat"}),
    });
    const auto isCardLetter = [&](char letter) { return isCard(*table.volume(letter)); };
    EXPECT_TRUE(isCardLetter('E'));
    EXPECT_FALSE(isCardLetter('B'));
    EXPECT_FALSE(isCardLetter('F'));
    EXPECT_FALSE(isCardLetter('G'));
    EXPECT_FALSE(isCardLetter('H'));
    const int queries = table.spaceQueries;
    EXPECT_FALSE(isCardLetter('I'));
    EXPECT_EQ(table.spaceQueries, queries); // no size query once the type fails
    EXPECT_EQ(modelOfCard('E'), 0);
}

// A disk of 1023 bytes is no card, one of 1024 is: for the scan's card test and for the present test of
// the card in use alike.
TEST_F(CardScanTest, ACardHoldsAtLeast1024Bytes) {
    CardScanVolumes& table = install({drive('E', DriveRemovable, {"CallLog.dat"})});
    table.totalBytes['E'] = 1023;
    EXPECT_FALSE(isCard(*table.volume('E')));
    EXPECT_FALSE(cardPresent('E'));
    EXPECT_EQ(scanForCard(state_, recordingHooks()), 0);
    table.totalBytes['E'] = 1024;
    EXPECT_TRUE(isCard(*table.volume('E')));
    EXPECT_TRUE(cardPresent('E'));
    EXPECT_EQ(scanForCard(state_, recordingHooks()), 'E');
}

// Once the card in use is pulled, no file under its old root is reached any more, for any kind of
// operation; the next card found sets its own root, and the old one stays outside it.
TEST_F(CardScanTest, APulledCardTakesItsRootAlong) {
    platform::ScopedFileRoots keep{QString(), QString()};
    const Volume first = drive('E', DriveRemovable, {"CallLog.dat", "rec.wav"});
    install({first});
    ASSERT_EQ(scanForCard(state_, recordingHooks()), 'E');
    const QString oldLog = rootFile(first, "CallLog.dat");
    QByteArray bytes;
    ASSERT_EQ(platform::readWholeFile(oldLog, platform::Area::Card, &bytes), platform::FileError::None);

    install({}); // pulled
    ASSERT_FALSE(cardPresent('E'));
    forgetCard(state_);
    EXPECT_EQ(state_.cardDriveLetter, 0);
    EXPECT_TRUE(platform::cardRoot().isEmpty());
    using platform::Area;
    using platform::FileError;
    EXPECT_EQ(platform::readWholeFile(oldLog, Area::Card, &bytes), FileError::NoRoot);
    EXPECT_EQ(platform::statFile(oldLog, Area::CardOrBackup).error, FileError::NoRoot);
    EXPECT_EQ(platform::appendToFile(oldLog, Area::Card, "x", {}), FileError::NoRoot);
    EXPECT_EQ(platform::removeFile(rootFile(first, "rec.wav"), Area::Card), FileError::NoRoot);
    std::vector<platform::FolderEntry> entries;
    EXPECT_EQ(platform::listFolder(first.root, Area::Card, &entries), FileError::NoRoot);
    EXPECT_EQ(TempDir::read(oldLog), "x");
    EXPECT_TRUE(QFileInfo::exists(rootFile(first, "rec.wav")));

    const Volume second = drive('F', DriveRemovable, {"CallLog.dat"});
    install({second});
    ASSERT_EQ(scanForCard(state_, recordingHooks()), 'F');
    EXPECT_EQ(platform::readWholeFile(rootFile(second, "CallLog.dat"), Area::Card, &bytes), FileError::None);
    EXPECT_EQ(platform::readWholeFile(oldLog, Area::Card, &bytes), FileError::Outside);
    EXPECT_EQ(platform::removeFile(rootFile(first, "rec.wav"), Area::Card), FileError::Outside);
}

// A scan that finds no card leaves no card in use, unless a loader started during the walk: that loader
// set the root it reads under.
TEST_F(CardScanTest, AScanWithoutACardClearsTheRootUnlessALoaderStarted) {
    platform::ScopedFileRoots keep{QString(), QString()};
    const Volume card = drive('E', DriveRemovable, {"CallLog.dat"});
    const Volume fixed = drive('D', DriveFixed, {"CallLog.dat"});
    install({fixed});
    platform::setCardRoot(card.root);
    EXPECT_EQ(scanForCard(state_, recordingHooks()), 0);
    EXPECT_TRUE(platform::cardRoot().isEmpty());

    CardScanVolumes& table = install({drive('G', DriveRemovable, {}), drive('H', DriveRemovable, {})});
    platform::setCardRoot(card.root);
    table.onSpaceQuery = [this] { state_.busy = true; };
    EXPECT_EQ(scanForCard(state_, recordingHooks()), 0);
    EXPECT_EQ(platform::cardRoot(), card.root);
    state_.busy = false;
}

} // namespace
} // namespace tessa
