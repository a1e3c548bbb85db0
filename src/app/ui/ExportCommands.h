#pragma once

// The export commands of the main view: the spreadsheet of the list on view (32780), the WAV export of
// the selected recordings (32795, fed through timer 11) and the e-mail of the selected records (32784
// with converted recordings, 32796 with the recordings as stored). Each worker runs at most once at a
// time; closing gives each a bounded time to end, and one still running after it never touches the
// window again.

#include "platform/GuiQueue.h"
#include "platform/WorkerSlot.h"

#include <memory>
#include <QObject>
#include <QPointer>
#include <QTimer>

namespace tessa {

struct AppState;
class MainView;
class ProgressWindow;
class RecordCommands;
class RecordListPage;
class WavExportDialog;

class ExportCommands : public QObject {
    Q_OBJECT
public:
    ExportCommands(MainView& view, AppState& state, ProgressWindow& progress, RecordCommands& commands,
                   QWidget* dialogParent, QObject* parent = nullptr);
    ~ExportCommands() override;

    // Handles an export or e-mail command; false when it is not one of them.
    bool handle(int commandId);
    bool spreadsheetRunning() const;
    bool mailRunning() const;
    // The WAV export dialog while it is open, or null.
    WavExportDialog* wavExportDialog() const;

    // Stops the workers, waiting a bounded time for each, and closes the way back to the window.
    void shutdown();

private:
    void startSpreadsheet();
    // 32784 (originals false) and 32796 (true).
    void startMail(bool originals);
    // 32795: runs the WAV export dialog; timer 11 hands it the selected recordings once it is up.
    void runWavExport();
    void handOverToWavExport();
    RecordListPage* listOnView() const;

    MainView& view_;
    AppState& state_;
    ProgressWindow& progress_;
    RecordCommands& commands_;
    QWidget* dialogParent_;
    // Workers hold links of it: one let go at close outlives this object and then reaches nothing.
    platform::GuiQueue queue_;
    platform::WorkerSlot sheetWorker_;
    platform::WorkerSlot mailWorker_;
    QPointer<WavExportDialog> wavDialog_;
    QTimer* handOverTimer_; // timer 11
    // What the last e-mail left in the temp folder: the mail program may read it after xdg-email has
    // returned, so it goes at the next e-mail or at exit.
    struct MailLeftovers;
    std::shared_ptr<MailLeftovers> mailLeftovers_;
};

} // namespace tessa
