#include "backup/FileFinder.h"

#include "platform/FileFaults.h"
#include "support/CardFixtures.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <sys/stat.h>

namespace tessa {
namespace {

using test::TempDir;

QStringList foundPaths(const FileFinder& finder, const QString& strip = {}) {
    QStringList paths;
    for (const FoundEntry& e : finder.results())
        paths << (strip.isEmpty() ? e.path : e.path.mid(strip.size() + 1));
    return paths;
}

TEST(FileFinder, RootLosesTrailingSeparatorsBySeparatorRule) {
    FileFinder finder;
    finder.setRoot(QStringLiteral("D:\\rec\\\\"), false);
    EXPECT_EQ(finder.root(), QStringLiteral("D:\\rec"));
    finder.setRoot(QStringLiteral("/home/u/rec//"), false);
    EXPECT_EQ(finder.root(), QStringLiteral("/home/u/rec"));
    // A slash at the end of a path with backslashes is part of the name, not a separator.
    finder.setRoot(QStringLiteral("D:\\rec/"), false);
    EXPECT_EQ(finder.root(), QStringLiteral("D:\\rec/"));
    finder.setRoot(QStringLiteral("E:\\"), false);
    EXPECT_EQ(finder.root(), QStringLiteral("E:"));
    EXPECT_EQ(finder.folders(), std::vector<QString>{QStringLiteral("E:")});
}

TEST(FileFinder, EveryFolderComesAfterItsSubfoldersAndTheRootLast) {
    TempDir dir;
    QDir().mkpath(dir.file("rec/x/y"));
    QDir().mkpath(dir.file("rec/z"));
    test::ScopedVolumes volumes({test::removable('D', dir.path())});

    FileFinder finder;
    finder.setRoot(QStringLiteral("D:\\rec\\"), true);
    EXPECT_EQ(finder.root(), QStringLiteral("D:\\rec"));
    const std::vector<QString>& folders = finder.folders();
    ASSERT_EQ(folders.size(), 4u);
    EXPECT_EQ(folders.back(), QStringLiteral("D:\\rec"));
    const auto at = [&](const char* f) {
        return std::find(folders.begin(), folders.end(), QString::fromLatin1(f)) - folders.begin();
    };
    EXPECT_LT(at("D:\\rec\\x\\y"), at("D:\\rec\\x"));
    EXPECT_LT(at("D:\\rec\\z"), 3);
    EXPECT_LT(at("D:\\rec\\x"), 3);

    // The worked order with only x and x\y.
    QDir(dir.file("rec/z")).removeRecursively();
    finder.setRoot(QStringLiteral("D:\\rec\\"), true);
    EXPECT_EQ(finder.folders(), (std::vector<QString>{"D:\\rec\\x\\y", "D:\\rec\\x", "D:\\rec"}));
}

TEST(FileFinder, SearchKeepsFilesOrFoldersAsAskedInFolderOrder) {
    TempDir dir;
    dir.write("a/b/deep.wav", "1");
    dir.write("a/mid.txt", "22");
    dir.write("top.xtr", "333");
    const QString root = dir.path();

    FileFinder finder;
    finder.setRoot(root + "/", true);
    ASSERT_TRUE(finder.search(QStringLiteral("*.*"), true, false));
    EXPECT_EQ(foundPaths(finder, root), QStringList({"a/b/deep.wav", "a/mid.txt", "top.xtr"}));
    EXPECT_EQ(finder.results()[2].size, 3);
    EXPECT_FALSE(finder.results()[0].folder);

    finder.clearResults();
    ASSERT_TRUE(finder.search(QStringLiteral("*.*"), false, true));
    EXPECT_EQ(foundPaths(finder, root), QStringList({"a/b", "a"}));
    EXPECT_TRUE(finder.results()[0].folder);
    EXPECT_NE(finder.results()[0].attributes & FoundEntry::kFolder, 0u);

    // A second search lists anew and appends; a pattern narrows it.
    ASSERT_TRUE(finder.search(QStringLiteral("*.WAV"), true, false));
    EXPECT_EQ(foundPaths(finder, root), QStringList({"a/b", "a", "a/b/deep.wav"}));
}

TEST(FileFinder, AListingErrorEndsTheSearchKeepingWhatWasFound) {
    TempDir dir;
    dir.write("a/one.wav", "1");
    dir.write("b/two.wav", "2");
    dir.write("root.wav", "3");
    using platform::FileOp;

    FileFinder finder;
    finder.setRoot(dir.path(), true);
    ASSERT_EQ(finder.folders().size(), 3u);
    const QString first = finder.folders().front();
    {
        // A narrowing pattern lists every folder anew: the second listing fails.
        platform::ScopedFileFault fault({2, platform::FileFault::IoError, uint32_t(FileOp::List)});
        EXPECT_FALSE(finder.search(QStringLiteral("*.wav"), true, false));
    }
    ASSERT_EQ(finder.results().size(), 1u);
    EXPECT_TRUE(finder.results()[0].path.startsWith(first + "/"));

    // A folder that failed to list while collecting ends the search that reuses those listings.
    FileFinder again;
    {
        platform::ScopedFileFault fault({2, platform::FileFault::IoError, uint32_t(FileOp::List)});
        again.setRoot(dir.path(), true);
    }
    ASSERT_EQ(again.folders().size(), 3u);
    EXPECT_FALSE(again.search(QStringLiteral("*.*"), true, false));
    EXPECT_TRUE(again.results().empty());
}

TEST(FileFinder, ALinkedFolderIsListedOnceAndALoopEnds) {
    TempDir dir;
    dir.write("card/a/rec.wav", "1");
    const QString card = dir.file("card");
    ASSERT_TRUE(QFile::link(card + "/a", card + "/alias"));    // a second route to a
    ASSERT_TRUE(QFile::link(card, card + "/a/up"));            // back to the root: a loop
    ASSERT_TRUE(QFile::link(card + "/a/up", card + "/a/up2")); // a loop through a loop

    FileFinder finder;
    finder.setRoot(card, true);
    ASSERT_TRUE(finder.search(QStringLiteral("*.*"), true, false));
    ASSERT_EQ(finder.results().size(), 1u);
    EXPECT_TRUE(finder.results()[0].path.endsWith("/rec.wav"));
    EXPECT_EQ(finder.folders().size(), 2u);
}

TEST(FileFinder, LinksLeavingTheRootAreNotFollowedWhenConfined) {
    TempDir dir;
    dir.write("outside/secret.wav", "1");
    dir.write("card/201801/in.wav", "2");
    ASSERT_TRUE(QFile::link(dir.file("outside"), dir.file("card/away")));
    ASSERT_TRUE(QFile::link(dir.file("outside/secret.wav"), dir.file("card/201801/linked.wav")));

    FileFinder::Options options;
    options.linksStayInside = true;
    FileFinder confined(options);
    confined.setRoot(dir.file("card"), true);
    ASSERT_TRUE(confined.search(QStringLiteral("*.*"), true, false));
    QStringList names = foundPaths(confined, dir.file("card"));
    names.sort();
    // A link to a file is a file; only the folder link is left alone.
    EXPECT_EQ(names, QStringList({"201801/in.wav", "201801/linked.wav"}));

    FileFinder open;
    open.setRoot(dir.file("card"), true);
    ASSERT_TRUE(open.search(QStringLiteral("*.*"), true, false));
    EXPECT_EQ(open.results().size(), 3u);
}

TEST(FileFinder, SpecialFilesAreNeverReported) {
    TempDir dir;
    dir.write("201801/real.wav", "1");
    ASSERT_EQ(mkfifo(dir.file("201801/20180115093012-I-1.wav").toLocal8Bit().constData(), 0600), 0);
    FileFinder finder;
    finder.setRoot(dir.path(), true);
    ASSERT_TRUE(finder.search(QStringLiteral("*.*"), true, true));
    EXPECT_EQ(foundPaths(finder, dir.path()), QStringList({"201801/real.wav", "201801"}));
}

TEST(FileFinder, WithoutSizesFindsTheSameEntriesInTheSameOrder) {
    TempDir dir;
    dir.write("201801/a.wav", "1");
    dir.write("201801/deep/b.xtr", "22");
    dir.write("top.wav", "333");
    ASSERT_EQ(mkfifo(dir.file("201801/pipe.wav").toLocal8Bit().constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(dir.file("top.wav"), dir.file("201801/linked.wav")));
    ASSERT_TRUE(QFile::link(dir.file("201801/pipe.wav"), dir.file("pipe-link.wav")));

    FileFinder sized;
    sized.setRoot(dir.path(), true);
    ASSERT_TRUE(sized.search(QStringLiteral("*.*"), true, false));
    FileFinder::Options options;
    options.sizes = false;
    FileFinder unsized(options);
    unsized.setRoot(dir.path(), true);
    ASSERT_TRUE(unsized.search(QStringLiteral("*.*"), true, false));

    // Kinds still come right without a stat: the FIFO and the link to it stay out, the link to a file
    // is a file.
    EXPECT_EQ(foundPaths(unsized), foundPaths(sized));
    QStringList names = foundPaths(unsized, dir.path());
    names.sort();
    EXPECT_EQ(names, QStringList({"201801/a.wav", "201801/deep/b.xtr", "201801/linked.wav", "top.wav"}));
    for (size_t i = 0; i < unsized.results().size(); ++i) {
        EXPECT_EQ(unsized.results()[i].size, -1) << unsized.results()[i].path.toStdString();
        EXPECT_EQ(unsized.results()[i].attributes, sized.results()[i].attributes);
        EXPECT_GT(sized.results()[i].size, 0);
    }
}

TEST(FileFinder, AStopRequestEndsCollectionAndSearch) {
    TempDir dir;
    dir.write("a/b/c/x.wav", "1");
    std::atomic<bool> stop{true};
    FileFinder::Options options;
    options.stop = &stop;
    FileFinder finder(options);
    finder.setRoot(dir.path(), true);
    EXPECT_EQ(finder.folders().size(), 1u); // the root only
    EXPECT_FALSE(finder.search(QStringLiteral("*.*"), true, false));
    EXPECT_TRUE(finder.results().empty());
}

} // namespace
} // namespace tessa
