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
#include "export/SpreadsheetExport.h"
#include "store/AppState.h"
#include "store/LoadSink.h"

#include <QDateTime>
#include <QMessageBox>
#include <QPointer>
#include <QTreeWidget>

namespace tessa {
namespace {

// A warning box without an owner, as the export's own messages are.
void warn(const QString& caption, const QString& message, const char* name) {
    QMessageBox box(QMessageBox::Warning, caption, message, QMessageBox::Ok);
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
      dialogParent_(dialogParent) {}

ExportCommands::~ExportCommands() {
    shutdown();
}

bool ExportCommands::handle(int commandId) {
    switch (commandId) {
    case CmdExport:
        if (!commands_.refuseWhileBusy())
            startSpreadsheet();
        return true;
    default:
        return false;
    }
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

void ExportCommands::shutdown() {
    // The queue first: a worker waiting for rows gives up at once instead of after the wait.
    sheetWorker_.requestStop();
    if (!queue_.closed())
        queue_.close();
    sheetWorker_.stop();
}

} // namespace tessa
