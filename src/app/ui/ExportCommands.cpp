#include "app/ui/ExportCommands.h"

#include "app/ui/ProgressWindow.h"
#include "browse/Commands.h"
#include "browse/RecordListModel.h"
#include "browse/RecordSheetRows.h"
#include "browse/StatusTexts.h"
#include "browse/ui/MainView.h"
#include "browse/ui/RecordCommands.h"
#include "browse/ui/RecordListPage.h"
#include "browse/ui/TreePane.h"
#include "config/ProgramFolder.h"
#include "config/StringTable.h"
#include "export/DesktopPrograms.h"
#include "export/MailJob.h"
#include "export/SpreadsheetExport.h"
#include "export/ui/WavExportDialog.h"
#include "store/AppState.h"
#include "store/LoadSink.h"

#include <mutex>
#include <new>
#include <QDateTime>
#include <QMessageBox>
#include <QPointer>
#include <QTreeWidget>

namespace tessa {

struct ExportCommands::MailLeftovers {
    std::mutex mutex; // the worker hands its files over, the GUI thread removes them
    MailTemporaries files;
    bool mailProgramRunning = false; // xdg-email was left running when the program closed
    void remove() {
        std::lock_guard lock(mutex);
        if (!mailProgramRunning)
            files.remove();
    }
};

namespace {

// How often timer 11 looks for the WAV export dialog's window.
constexpr int kHandOverInterval = 100;

// A warning box without an owner, as the export's own messages are.
void warn(const QString& caption, const QString& message, const char* name) {
    QMessageBox box(QMessageBox::Warning, caption, message, QMessageBox::Ok);
    box.setObjectName(QLatin1String(name));
    box.exec();
}

// A stop box without an owner: the e-mail's failures.
void stop(const QString& caption, const QString& message, const char* name) {
    QMessageBox box(QMessageBox::Critical, caption, message, QMessageBox::Ok);
    box.setObjectName(QLatin1String(name));
    box.exec();
}

// The list on view read from the export worker: every question goes to the GUI thread, where the
// model lives, and comes back with copies of the texts.
class WindowListSource : public SheetSource {
public:
    WindowListSource(platform::GuiQueue::Link gui, QPointer<RecordListModel> model,
                     std::vector<QString> titles, int rows)
        : gui_(std::move(gui)), model_(std::move(model)), titles_(std::move(titles)), rows_(rows) {}
    std::vector<QString> columnTitles() override { return titles_; }
    int rowCount() override { return rows_; }
    bool fetchRows(int first, int count, std::vector<SheetListRow>& out) override {
        QPointer<RecordListModel> model = model_;
        auto rows = gui_.send([model, first, count] {
            std::vector<SheetListRow> block;
            if (model)
                readRecordListRows(*model, first, count, block);
            else
                block.resize(size_t(count));
            return block;
        });
        if (!rows)
            return false;
        out = std::move(*rows);
        return true;
    }

private:
    platform::GuiQueue::Link gui_;
    QPointer<RecordListModel> model_;
    std::vector<QString> titles_;
    int rows_;
};

} // namespace

ExportCommands::ExportCommands(MainView& view, AppState& state, ProgressWindow& progress,
                               RecordCommands& commands, QWidget* dialogParent, QObject* parent)
    : QObject(parent), view_(view), state_(state), progress_(progress), commands_(commands),
      dialogParent_(dialogParent), handOverTimer_(new QTimer(this)),
      mailLeftovers_(std::make_shared<MailLeftovers>()) {
    handOverTimer_->setObjectName(QStringLiteral("timer11"));
    connect(handOverTimer_, &QTimer::timeout, this, &ExportCommands::handOverToWavExport);
}

ExportCommands::~ExportCommands() {
    shutdown();
}

bool ExportCommands::handle(int commandId) {
    switch (commandId) {
    case CmdExport:
        if (!commands_.refuseWhileBusy())
            startSpreadsheet();
        return true;
    case CmdEmail:
    case CmdEmailOriginals:
        if (!commands_.refuseWhileBusy())
            startMail(commandId == CmdEmailOriginals);
        return true;
    case CmdExportWav:
        // Not refused while a call log loads: the dialog works on the paths it is handed.
        runWavExport();
        return true;
    default:
        return false;
    }
}

bool ExportCommands::mailRunning() const {
    return mailWorker_.running();
}

bool ExportCommands::spreadsheetRunning() const {
    return sheetWorker_.running();
}

RecordListPage* ExportCommands::listOnView() const {
    RecordListPage* page = view_.currentRecordPage();
    return page ? page : view_.page(PageAll);
}

void ExportCommands::startSpreadsheet() {
    if (spreadsheetRunning() || queue_.closed())
        return; // a second start while one runs is ignored
    RecordListPage* page = listOnView();
    RecordListModel* model = page->model();
    const int rows = model->rowCount();
    if (rows == 0)
        return;
    const QTreeWidgetItem* node = view_.treePane()->tree()->currentItem();
    const QString listName = node && view_.currentRecordPage() == page ? node->text(0) : QString();
    const QString path =
        privateTempFolder() + QLatin1Char('/') +
        spreadsheetFileName(modelDisplayName(state_.modelCode), listName, QDateTime::currentDateTime());
    progress_.start(text(97), uint32_t(rows), false);

    const platform::GuiQueue::Link gui = queue_.link();
    QPointer<ProgressWindow> progress(&progress_);
    auto source = std::make_shared<WindowListSource>(gui, QPointer<RecordListModel>(model),
                                                     recordListTitles(*model), rows);
    const bool started = sheetWorker_.start([gui, progress, source, path](const std::atomic<bool>& stop) {
        auto hideProgress = [gui, progress] {
            gui.post([progress] {
                if (progress)
                    progress->hide();
            });
        };
        if (!spreadsheetProgramAvailable()) {
            hideProgress();
            gui.post([] { warn(text(97), text(107), "spreadsheetUnavailable"); });
            return;
        }
        SheetOptions options;
        options.stop = &stop;
        options.rowsDone = [gui, progress](int done, int total) {
            gui.post([progress, done, total] {
                if (progress)
                    progress->setPosition(uint32_t(done), QStringLiteral("%1/%2").arg(done).arg(total));
            });
        };
        const SheetStatus status = exportSpreadsheet(*source, path, privateTempFolder(), options);
        hideProgress();
        if (status == SheetStatus::Written || status == SheetStatus::Incomplete) {
            if (!openWithDesktop(path)) {
                gui.post([] { warn(text(97), text(107), "spreadsheetUnavailable"); });
                return;
            }
        }
        if (status == SheetStatus::Incomplete || status == SheetStatus::NotWritten)
            gui.post([] { warn(text(97), text(109), "spreadsheetFailed"); });
    });
    if (!started)
        progress_.hide();
}

void ExportCommands::startMail(bool originals) {
    if (mailRunning()) {
        QMessageBox box(QMessageBox::Information, text(160), text(207), QMessageBox::Ok, dialogParent_);
        box.setObjectName(QStringLiteral("mailRunning"));
        box.exec();
        return;
    }
    RecordListPage* page = view_.currentRecordPage();
    if (!page || page->rowCount() == 0 || queue_.closed())
        return;
    // Copies: the window may drop its records while the worker describes and converts them.
    std::vector<CallRecord> records;
    for (int row : page->selectedRows())
        if (const CallRecord* r = page->model()->record(row))
            records.push_back(*r);
    if (records.empty())
        return;
    // The previous e-mail has been handed over long since: its files may go now.
    mailLeftovers_->remove();

    const int model = state_.modelCode;
    // Imported recordings lie in the folder the user imported from, outside the card and the backup.
    const platform::Area area =
        page->pageType() == PageImport ? platform::Area::User : platform::Area::CardOrBackup;
    const platform::GuiQueue::Link gui = queue_.link();
    QPointer<QWidget> window(dialogParent_);
    auto leftovers = mailLeftovers_;
    mailWorker_.start([gui, window, leftovers, records = std::move(records), originals, model,
                       area](const std::atomic<bool>& stopped) {
        auto fail = [gui](int message, const char* name) {
            gui.post([message, name] {
                const QString body = message == 113 ? text(113) : message == 115 ? text(115) : text(116);
                stop(text(112), body, name);
            });
        };
        if (!mailProgramAvailable()) {
            fail(113, "mailUnavailable");
            return;
        }
        MailPreparation mail;
        try {
            mail = prepareMail(records, originals, model, privateTempFolder(), area);
        } catch (const std::bad_alloc&) {
            mail.temporaries.remove();
            fail(115, "mailNoMemory");
            return;
        }
        const MailHandOff handOff = handToMailProgram(mail.message, stopped);
        if (handOff == MailHandOff::Handed || handOff == MailHandOff::Abandoned) {
            std::lock_guard lock(leftovers->mutex);
            leftovers->files = mail.temporaries;
            leftovers->mailProgramRunning = handOff == MailHandOff::Abandoned;
        } else {
            mail.temporaries.remove(); // nobody reads them
            fail(handOff == MailHandOff::NoMailProgram ? 113 : 116,
                 handOff == MailHandOff::NoMailProgram ? "mailUnavailable" : "mailFailed");
        }
        gui.post([window] {
            if (window)
                window->activateWindow();
        });
    });
}

WavExportDialog* ExportCommands::wavExportDialog() const {
    return wavDialog_.data();
}

void ExportCommands::runWavExport() {
    if (wavDialog_ || queue_.closed())
        return;
    // The dialog is filled only once its window is up, so that it shows at once whatever the selection.
    QPointer<WavExportDialog> dialog = new WavExportDialog(dialogParent_);
    wavDialog_ = dialog;
    handOverTimer_->stop();
    handOverTimer_->start(kHandOverInterval);
    const QPointer<ExportCommands> alive(this);
    dialog->exec();
    // The window may have gone while the dialog ran (the program closing); then so have we.
    if (alive) {
        wavDialog_.clear();
        handOverTimer_->stop();
    }
    delete dialog.data();
}

void ExportCommands::handOverToWavExport() {
    if (!wavDialog_) {
        handOverTimer_->stop();
        return;
    }
    if (!wavDialog_->isVisible())
        return; // not up yet: the next tick
    handOverTimer_->stop();
    RecordListPage* page = view_.currentRecordPage();
    if (!page)
        return;
    // Imported recordings lie in the folder the user imported from, outside the card and the backup.
    const platform::Area area =
        page->pageType() == PageImport ? platform::Area::User : platform::Area::CardOrBackup;
    for (int row : page->selectedRows())
        wavDialog_->addSource(page->model()->cellText(row, RecordListModel::ColumnPath), area);
}

void ExportCommands::shutdown() {
    handOverTimer_->stop();
    // An open WAV export ends with its own bounded wait; its exec() returns once we are back in the loop.
    if (wavDialog_)
        wavDialog_->reject();
    // The queue first: a worker waiting for the window gives up at once instead of after the wait.
    sheetWorker_.requestStop();
    mailWorker_.requestStop();
    if (!queue_.closed())
        queue_.close();
    sheetWorker_.stop();
    // A mail program still running may still read the files; they stay then, in the private folder.
    if (mailWorker_.stop())
        mailLeftovers_->remove();
}

} // namespace tessa
