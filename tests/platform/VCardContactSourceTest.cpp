#include "platform/VCardContactSource.h"

#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"
#include "support/VCardSamples.h"

#include <gtest/gtest.h>

using namespace tessa;
using namespace tessa::platform;
using namespace tessa::test;

namespace {

std::vector<Contact> readSource(const QString& path) {
    std::vector<ContactBlock> blocks;
    VCardContactSource(path).enumerate([&](const ContactBlock& b) {
        blocks.push_back(b);
        return true;
    });
    return toContacts(blocks);
}

} // namespace

TEST(VCardContactSource, FoldersAreReadInNameOrderAndFilesInChunks) {
    TempDir dir;
    dir.write("b.vcf", kDesktopExport);
    dir.write("A.VCF", kVersion4);
    dir.write("c.vcf.bak", kPhoneExport);
    dir.write("notes.txt", kPhoneExport);
    // Larger than a read chunk, with a CRLF pair and a card split across chunk borders.
    QByteArray many;
    for (int i = 0; many.size() < 300 * 1024; ++i)
        many += crlf("BEGIN:VCARD\nVERSION:2.1\nN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:N=C3=BC" +
                     QByteArray::number(i) + ";\nTEL;CELL:555" + QByteArray::number(i) + "\nEND:VCARD\n");
    dir.write("c.vcf", many);
    const auto contacts = readSource(dir.path());
    const auto expectedMany = parse(many);
    ASSERT_EQ(contacts.size(), 1 + 2 + expectedMany.size());
    EXPECT_EQ(contacts[0].name, QStringLiteral("Simon Perreault"));
    EXPECT_EQ(contacts[1].name, QStringLiteral("Dr. Bartholomew Fitzgerald-Ramirez"));
    for (size_t i = 0; i < expectedMany.size(); ++i) {
        ASSERT_EQ(contacts[3 + i].name, QString::fromUtf8("Nü%1").arg(i));
        ASSERT_EQ(contacts[3 + i].numbers, QStringList{QStringLiteral("555%1").arg(i)});
    }

    EXPECT_EQ(readSource(dir.file("b.vcf")).size(), 2u); // a single file
    EXPECT_TRUE(VCardContactSource(dir.path()).available());
    EXPECT_FALSE(VCardContactSource(dir.file("missing.vcf")).available());
    EXPECT_TRUE(readSource(dir.file("missing")).empty());
    EXPECT_FALSE(VCardContactSource(QString()).available());
}

TEST(VCardContactSource, DefaultFolderFollowsXdgDataHome) {
    ScopedEnvironment environment("XDG_DATA_HOME", "/data/home");
    EXPECT_EQ(VCardContactSource::defaultFolder(), QStringLiteral("/data/home/tessa/contacts/"));
    environment.set("XDG_DATA_HOME", "relative/path");
    EXPECT_TRUE(
        VCardContactSource::defaultFolder().endsWith(QStringLiteral("/.local/share/tessa/contacts/")));
    EXPECT_TRUE(VCardContactSource::defaultFolder().startsWith(u'/'));
}
