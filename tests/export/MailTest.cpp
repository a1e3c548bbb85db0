// The e-mail of records: its body, its attachments and the hand-over to xdg-email.
#include "audio/CodecTable.h"
#include "audio/SpeechSynth.h"
#include "config/ProgramFolder.h"
#include "export/DesktopPrograms.h"
#include "export/MailBody.h"
#include "export/MailJob.h"
#include "format/LittleEndian.h"
#include "platform/FileRoots.h"
#include "support/FakeDesktop.h"
#include "support/TempDir.h"

#include <cstring>
#include <gtest/gtest.h>
#include <QDir>
#include <QFileInfo>
#include <thread>

using namespace tessa;
using tessa::test::TempDir;

namespace {

const char kStrings[] = "[English]\r\n0011=Date and Time\r\n0012=Number\r\n0013=Call Duration\r\n"
                        "0016=Call Type\r\n0018=Incoming\r\n0019=Missed\r\n0020=Outgoing\r\n0021=Note\r\n"
                        "0022=Memo\r\n0023=Triggered\r\n0024=Answering Machine\r\n";
const char kSettings[] =
    "[Setting]\r\nDevice=VX7\r\nDevice2=VX5\r\nCompany=Tessa project\r\nWeb=http://example.org\r\n";

CallRecord record(uint32_t type, const QString& number, const QString& name, uint32_t seconds,
                  const QString& path) {
    CallRecord r;
    std::memset(&r, 0, sizeof r);
    r.valid = 1;
    r.callType = type;
    r.number.setText(number);
    r.name.setText(name);
    r.callDuration = seconds;
    r.time.year = 2018;
    r.time.month = 1;
    r.time.day = 5;
    r.time.hour = 9;
    r.time.minute = 3;
    r.time.second = 7;
    r.fullPath.setText(path);
    return r;
}

QByteArray container(uint32_t formatCode, const QByteArray& audio) {
    QByteArray file(1440, '\0');
    writeLeU32(reinterpret_cast<uint8_t*>(file.data()) + 8, formatCode);
    return file + audio;
}

class MailTest : public ::testing::Test {
protected:
    void SetUp() override {
        config.write("TessaLang.ini", kStrings);
        config.write("TessaSet.ini", kSettings);
        setConfigLocations(portableConfigLocations(config.path()));
    }
    void TearDown() override { setConfigLocations(portableConfigLocations(QStringLiteral("/nonexistent"))); }
    TempDir config;
};

TEST_F(MailTest, BodyDescribesEveryRecordThenTheFooter) {
    const std::vector<CallRecord> records = {
        record(CallIncoming, "5551234", "Ann", 3725, "E:\\201801\\a.xtr"),
        record(9, "777", "", 59, "E:\\201801\\b.xtr"), // a type without a text: no type line
    };
    const QString expected = QStringLiteral("Date and Time:2018/01/05 09:03:07\r\nNumber:5551234 Ann\r\n"
                                            "Call Duration:01:02:05\r\nCall Type:Incoming\r\n\r\n"
                                            "Date and Time:2018/01/05 09:03:07\r\nNumber:777 \r\n"
                                            "Call Duration:00:00:59\r\n\r\n"
                                            "\r\nVX7\r\nTessa project\r\nhttp://example.org");
    EXPECT_EQ(mailBody(records, 0), expected);
    EXPECT_TRUE(mailBody(records, 1).endsWith("\r\nVX5\r\nTessa project\r\nhttp://example.org"));
    for (uint32_t type = 2; type <= 8; ++type)
        EXPECT_TRUE(mailRecordBlock(record(type, "1", "", 0, {})).contains("\r\nCall Type:")) << type;
    EXPECT_FALSE(mailRecordBlock(record(1, "1", "", 0, {})).contains("Call Type"));
}

TEST_F(MailTest, BodyIsCutAtItsBufferOf512BytesPerRecord) {
    // A name of 63 characters keeps one block below 512 bytes; the footer fits behind it.
    const CallRecord plain = record(CallOutgoing, QString(63, '1'), QString(63, 'n'), 0, {});
    EXPECT_EQ(mailBody({plain}, 0), mailRecordBlock(plain) + mailFooter(0));
    // A footer far longer than the buffer is cut at 511 bytes, leaving one for the terminating zero.
    config.write("TessaSet.ini",
                 QByteArray("[Setting]\r\nDevice=VX7\r\nCompany=") + QByteArray(1000, 'c') + "\r\n");
    const QString cut = mailBody({plain}, 0);
    EXPECT_EQ(cut.size(), 511);
    EXPECT_TRUE((mailRecordBlock(plain) + mailFooter(0)).startsWith(cut));
    EXPECT_EQ(mailBody({plain, plain}, 0).size(), 1023);
    // A character the code page stores in several bytes is never split; one it cannot hold counts one.
    EXPECT_EQ(cutToCodePageBytes(QStringLiteral("abc"), 2), "ab");
    EXPECT_EQ(cutToCodePageBytes(QStringLiteral("a\U0001F600b"), 2), "a");
    EXPECT_EQ(cutToCodePageBytes(QStringLiteral("abc"), 0), "");
}

TEST_F(MailTest, AttachmentsAreConvertedIntoAFolderOfTheirOwnOrTakenAsStored) {
    TempDir card, temp;
    const QByteArray gsm = container(49, codecOf(Coding::Gsm).encode(synthesizeSpeech({2, 16000, 1})));
    card.write("201801/20180105090307-I-5551234.xtr", gsm);
    card.write("201801/20180105090308-O-777.wav", QByteArray(5000, 'w'));
    TempDir elsewhere;
    const QString outside = elsewhere.write("20180105090309-I-9.xtr", gsm);
    platform::ScopedFileRoots roots(card.path(), QString());
    const std::vector<CallRecord> records = {
        record(CallIncoming, "5551234", "", 10, card.file("201801/20180105090307-I-5551234.xtr")),
        record(CallIncoming, "1", "", 10, card.file("201801/missing.xtr")), // no recording
        record(CallOutgoing, "777", "", 10, card.file("201801/20180105090308-O-777.wav")),
        record(CallIncoming, "9", "", 10, outside), // not on the card in use
    };

    MailPreparation converted = prepareMail(records, false, 0, temp.path());
    EXPECT_EQ(converted.message.subject, "Tessa Device Records");
    EXPECT_EQ(converted.message.body.count("Date and Time:"), 4); // every record, attached or not
    ASSERT_EQ(converted.message.attachments.size(), 2);
    const QString wav = converted.message.attachments[0];
    EXPECT_EQ(QFileInfo(wav).fileName(), "20180105090307-I-5551234.wav");
    EXPECT_EQ(QFileInfo(wav).absolutePath(), converted.temporaries.folder);
    EXPECT_EQ(QFileInfo(converted.temporaries.folder).absolutePath(), temp.path());
    EXPECT_TRUE(TempDir::read(wav).startsWith("RIFF"));
    EXPECT_EQ(converted.message.attachments[1],
              QFileInfo(card.file("201801/20180105090308-O-777.wav")).canonicalFilePath());
    EXPECT_EQ(converted.temporaries.files, QStringList{wav});

    // A second e-mail converts into another folder, so the first one's files stay as they are.
    MailPreparation again = prepareMail(records, false, 0, temp.path());
    EXPECT_NE(again.temporaries.folder, converted.temporaries.folder);
    converted.temporaries.remove();
    EXPECT_FALSE(QFileInfo::exists(wav));
    EXPECT_FALSE(QFileInfo::exists(converted.temporaries.folder));
    EXPECT_TRUE(QFileInfo::exists(again.message.attachments[0]));
    again.temporaries.remove();

    // Originals: the container itself, nothing converted.
    MailPreparation originals = prepareMail(records, true, 0, temp.path());
    ASSERT_EQ(originals.message.attachments.size(), 2);
    EXPECT_EQ(originals.message.attachments[0],
              QFileInfo(card.file("201801/20180105090307-I-5551234.xtr")).canonicalFilePath());
    EXPECT_TRUE(originals.temporaries.empty());
    EXPECT_TRUE(QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}

TEST_F(MailTest, XdgEmailGetsSubjectBodyAndOneAttachEachAsArguments) {
    test::FakeDesktop desktop;
    TempDir files;
    const QString a = files.write("a b.wav", "x");
    const QString b = files.write("$(touch pwned);.wav", "y");
    MailMessage message{
        QStringLiteral("Tessa Device Records"), QStringLiteral("line 1\r\n'quoted' `x` $HOME"), {a, b}};
    std::atomic<bool> quit{false};
    EXPECT_EQ(handToMailProgram(message, quit), MailHandOff::Handed);
    ASSERT_EQ(desktop.calls("xdg-email").size(), 1u);
    EXPECT_EQ(desktop.calls("xdg-email")[0],
              (QStringList{"--utf8", "--subject", "Tessa Device Records", "--body", message.body, "--attach",
                           a, "--attach", b}));
    EXPECT_EQ(desktop.presentAttachments(0), (QStringList{a, b}));
    EXPECT_FALSE(QFileInfo::exists(QDir::current().filePath("pwned")));

    desktop.setMailExitCode(4);
    EXPECT_EQ(handToMailProgram(message, quit), MailHandOff::Failed);
    desktop.remove("xdg-email");
    EXPECT_EQ(handToMailProgram(message, quit), MailHandOff::NoMailProgram);
}

TEST_F(MailTest, QuittingLeavesTheMailProgramRunning) {
    test::FakeDesktop desktop;
    desktop.holdMail(true);
    std::atomic<bool> quit{false};
    std::thread sender([&] {
        EXPECT_EQ(handToMailProgram({QStringLiteral("s"), QStringLiteral("b"), {}}, quit),
                  MailHandOff::Abandoned);
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!desktop.mailRunning() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(desktop.mailRunning());
    quit = true;
    sender.join();
    EXPECT_TRUE(desktop.mailRunning()); // the message the user is writing survives
    desktop.holdMail(false);
    while (desktop.mailRunning() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(desktop.mailRunning());
}

} // namespace
