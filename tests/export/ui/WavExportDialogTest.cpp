// The WAV export dialog: the file list with its per-file results, the destination folder and its
// setting, the stop on closing, and a worker that outlives its dialog.
#include "export/ui/WavExportDialog.h"

#include "audio/CodecTable.h"
#include "audio/SpeechSynth.h"
#include "config/ProgramFolder.h"
#include "config/Settings.h"
#include "config/StringTable.h"
#include "format/LittleEndian.h"
#include "platform/FileRoots.h"
#include "support/CardFixtures.h"
#include "support/TempDir.h"
#include "support/ui/EventLoop.h"

#include <atomic>
#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <thread>

using namespace tessa;
using tessa::test::TempDir;
using tessa::test::waitFor;

namespace {

QByteArray container(uint32_t formatCode, const QByteArray& audio) {
    QByteArray file(1440, '\0');
    writeLeU32(reinterpret_cast<uint8_t*>(file.data()) + 8, formatCode);
    return file + audio;
}

QByteArray gsmSeconds(int seconds) {
    return codecOf(Coding::Gsm).encode(synthesizeSpeech({uint32_t(seconds), size_t(8000 * seconds), 1}));
}

// Answers the folder picker once it is up, confirming the folder it starts at; keeps that folder.
void confirmPicker(QString* shownFolder) {
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            confirmPicker(shownFolder);
            return;
        }
        *shownFolder = dialog->directory().absolutePath();
        static_cast<QDialog*>(dialog)->accept();
    });
}

// A conversion that holds the worker until the test lets it go.
struct Gate {
    std::atomic<int> calls{0};
    std::atomic<bool> open{false};
    WavExportDialog::Converter converter(std::shared_ptr<Gate> self) {
        return [self](const QString&, platform::Area, const QString&) {
            ++self->calls;
            for (int i = 0; i < 2000 && !self->open; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            return ConversionResult::Written;
        };
    }
};

class WavExportDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        config.write(QStringLiteral("TessaLang.ini"), TempDir::read(TESSA_BIN_DIR "/Config/TessaLang.ini"));
        config.write(QStringLiteral("TessaSet.ini"), "[Setting]\r\nDevice=VX7\r\n");
        setConfigLocations(portableConfigLocations(config.path()));
    }
    void TearDown() override { setConfigLocations(portableConfigLocations(QStringLiteral("/nonexistent"))); }

    QString failed(int reason) const { return QStringLiteral("%1 (%2)").arg(text(204), text(reason)); }
    QPushButton* button(WavExportDialog& dialog, const char* name) const {
        return dialog.findChild<QPushButton*>(QLatin1String(name));
    }
    // Starts an export of n files through a gated conversion and waits until the first one is begun.
    void startGated(WavExportDialog& dialog, const std::shared_ptr<Gate>& gate, int n) {
        dialog.setConverter(gate->converter(gate));
        for (int i = 0; i < n; ++i)
            dialog.addSource(QStringLiteral("%1/2009051210300%2-I.xtr").arg(card.path()).arg(i));
        dialog.findChild<QLineEdit*>(QStringLiteral("ctl1017"))->setText(out.path());
        dialog.show();
        button(dialog, "ctl1")->click();
        ASSERT_TRUE(waitFor([&] { return gate->calls >= 1; }));
    }

    TempDir config, card, out;
    test::ScopedVolumes volumes{
        {{'C', platform::DriveFixed, QStringLiteral("/")}, test::removable('E', card.path())}};
    platform::ScopedFileRoots roots{card.path(), QString()};
};

TEST_F(WavExportDialogTest, ConvertsEveryListedFileAndShowsEachResult) {
    card.write(QStringLiteral("200905/20090512103000-I.xtr"), container(17, QByteArray(10000, '\x11')));
    card.write(QStringLiteral("200905/20090512103100-O.xtr"), container(7, QByteArray(16000, '\x7f')));
    card.write(QStringLiteral("200905/20090512103200-I.xtr"), container(49, gsmSeconds(3)));
    card.write(QStringLiteral("200905/20090512103300-I.xtr"), container(49, gsmSeconds(1).left(33 * 20)));
    card.write(QStringLiteral("200905/20090512103400-I.xtr"), QByteArray(1400, '\0'));
    card.write(QStringLiteral("200905/20090512103600-I.xtr"), container(99, QByteArray(4000, '\0')));
    const QStringList paths = {QStringLiteral("E:\\200905\\20090512103000-I.xtr"),
                               QStringLiteral("E:\\200905\\20090512103100-O.xtr"),
                               QStringLiteral("E:\\200905\\20090512103200-I.xtr"),
                               QStringLiteral("E:\\200905\\20090512103300-I.xtr"),
                               QStringLiteral("E:\\200905\\20090512103400-I.xtr"),
                               QStringLiteral("E:\\200905\\20090512103500-I.xtr"),
                               QStringLiteral("E:\\200905\\20090512103600-I.xtr")};

    WavExportDialog dialog;
    for (const QString& path : paths)
        dialog.addSource(path);
    dialog.addSource(QStringLiteral("E:\\200905\\20090512103700-I.wav")); // not a container: not listed
    ASSERT_EQ(dialog.sources(), paths);
    dialog.findChild<QLineEdit*>(QStringLiteral("ctl1017"))->setText(out.path()); // no separator typed
    dialog.show();
    QPushButton* ok = button(dialog, "ctl1");
    ok->click();
    EXPECT_FALSE(ok->isEnabled());
    dialog.addSource(QStringLiteral("E:\\200905\\20090512103800-I.xtr")); // refused while it runs
    // The worker closes the dialog once every row is done.
    ASSERT_TRUE(waitFor([&] { return !dialog.isVisible(); }));
    EXPECT_FALSE(dialog.running());
    EXPECT_EQ(dialog.sources(), paths);

    EXPECT_EQ(dialog.resultText(0), text(203));
    EXPECT_EQ(dialog.resultText(1), text(203));
    EXPECT_EQ(dialog.resultText(2), text(203));
    EXPECT_EQ(dialog.resultText(3), failed(213)); // GSM shorter than a second
    EXPECT_EQ(dialog.resultText(4), failed(211));
    EXPECT_EQ(dialog.resultText(5), failed(210));
    EXPECT_EQ(dialog.resultText(6), QString()); // another coding: no result, no file
    EXPECT_EQ(QFileInfo(out.file("20090512103000-I.wav")).size(), 60 + 10000);
    EXPECT_EQ(QFileInfo(out.file("20090512103100-O.wav")).size(), 58 + 16000);
    EXPECT_TRUE(QFileInfo::exists(out.file("20090512103200-I.wav")));
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files).size(), 3);
    EXPECT_EQ(dialog.findChild<QProgressBar*>(QStringLiteral("ctl1101"))->value(), paths.size());
}

TEST_F(WavExportDialogTest, AnEmptyListClosesAtOnceOnOk) {
    WavExportDialog dialog;
    dialog.addSource(QStringLiteral("E:\\200905\\20090512103700-I.wav"));
    EXPECT_TRUE(dialog.sources().isEmpty());
    dialog.show();
    button(dialog, "ctl1")->click();
    EXPECT_TRUE(waitFor([&] { return !dialog.isVisible(); }));
}

TEST_F(WavExportDialogTest, DestinationComesFromExportPathAndIsWrittenWhenChosen) {
    {
        WavExportDialog dialog;
        EXPECT_EQ(dialog.findChild<QLineEdit*>(QStringLiteral("ctl1017"))->text(), QStringLiteral("/"));
    }
    QDir(out.path()).mkdir(QStringLiteral("wav"));
    const QString stored = out.file(QStringLiteral("wav")); // written without a separator by hand
    writeStringSetting(QStringLiteral("ExportPath"), stored);
    WavExportDialog dialog;
    auto* folder = dialog.findChild<QLineEdit*>(QStringLiteral("ctl1017"));
    EXPECT_EQ(folder->text(), stored);
    QString shown;
    confirmPicker(&shown);
    button(dialog, "ctl1103")->click();
    // Confirmed at once, the picker gives back the folder it was started at.
    const QString chosen = QDir(stored).canonicalPath() + QLatin1Char('/');
    EXPECT_EQ(folder->text(), chosen);
    // Written at once, before the export starts or the dialog closes.
    EXPECT_EQ(readStringSetting(QStringLiteral("ExportPath")), chosen);
}

TEST_F(WavExportDialogTest, CancelWhileExportingStopsBeforeTheNextFile) {
    auto gate = std::make_shared<Gate>();
    WavExportDialog dialog;
    startGated(dialog, gate, 5);
    // The file under way ends within the wait (the window waits, so it is let on from another thread),
    // and no other one begins.
    std::thread opener([gate] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        gate->open = true;
    });
    button(dialog, "ctl2")->click();
    opener.join();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(dialog.running());
    const int calls = gate->calls;
    EXPECT_EQ(calls, 1);
    QApplication::processEvents();
    EXPECT_EQ(gate->calls, calls);
    for (int row = 1; row < 5; ++row)
        EXPECT_EQ(dialog.resultText(row), QString()) << row;
}

TEST_F(WavExportDialogTest, AWorkerStuckPastTheCloseWaitNeverReachesTheClosedDialog) {
    const int abandonedBefore = platform::WorkerSlot::abandonedRunning();
    auto gate = std::make_shared<Gate>();
    WavExportDialog dialog;
    startGated(dialog, gate, 3);
    dialog.close(); // the window's close button: the same bounded wait as Cancel
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(dialog.running());
    EXPECT_EQ(platform::WorkerSlot::abandonedRunning(), abandonedBefore + 1);

    // Let go, it finishes its file and would write a result and close the dialog; none of it arrives.
    gate->open = true;
    ASSERT_TRUE(waitFor([&] { return platform::WorkerSlot::abandonedRunning() == abandonedBefore; }));
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_EQ(dialog.resultText(0), QString());
    EXPECT_EQ(gate->calls, 1);
    // Closed once, it does not start again.
    button(dialog, "ctl1")->click();
    EXPECT_FALSE(dialog.running());
}

TEST_F(WavExportDialogTest, AWorkerLetGoOutlivesItsDialogSafely) {
    const int abandonedBefore = platform::WorkerSlot::abandonedRunning();
    auto gate = std::make_shared<Gate>();
    auto dialog = std::make_unique<WavExportDialog>();
    startGated(*dialog, gate, 2);
    dialog.reset(); // gone while its worker is held in a file
    EXPECT_EQ(platform::WorkerSlot::abandonedRunning(), abandonedBefore + 1);
    gate->open = true;
    ASSERT_TRUE(waitFor([&] { return platform::WorkerSlot::abandonedRunning() == abandonedBefore; }));
    QApplication::processEvents();
    EXPECT_EQ(gate->calls, 1);
}

} // namespace
