#include "browse/ui/ImportController.h"

#include "backup/Import.h"
#include "browse/RecordListModel.h"
#include "browse/ui/MainView.h"
#include "browse/ui/RecordListPage.h"
#include "store/AppState.h"
#include "store/LoadSink.h"

#include <memory>
#include <QFileDialog>
#include <QTimer>

namespace tessa {
namespace {

// The shell's folder browser: no title, folders only; the choice ends with a separator.
bool browseForFolder(QWidget* parent, QString* folder) {
    QFileDialog dialog(parent, QString());
    dialog.setObjectName(QStringLiteral("importFolderBrowser"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setOption(QFileDialog::ReadOnly, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    *folder = dialog.selectedFiles().first();
    if (!folder->endsWith(QLatin1Char('/')))
        *folder += QLatin1Char('/');
    return true;
}

} // namespace

ImportController::ImportController(MainView& view, AppState& state, QWidget* dialogParent)
    : QObject(&view), view_(view), state_(state), dialogParent_(dialogParent), queue_(&state.quit) {
    chooseFolder = [this](QString* folder) { return browseForFolder(dialogParent_, folder); };
}

ImportController::~ImportController() {
    stop();
}

void ImportController::stop() {
    worker_.stop();
}

void ImportController::import() {
    if (importing_ || worker_.running())
        return;
    importing_ = true;
    QString folder;
    if (!chooseFolder || !chooseFolder(&folder)) {
        listAll(); // a cancelled browser adds nothing, but the page shows the collection as it is
        return;
    }
    // The worker may be let go at close: it holds only copies, the contact list (which the program keeps
    // while a worker runs) and a link that outlives the queue.
    const platform::GuiQueue::Link link = queue_.link();
    const ContactList* contacts = &state_.contacts;
    const bool started = worker_.start([this, link, folder, contacts](const std::atomic<bool>& stop) {
        auto result = std::make_shared<ImportResult>(importRecordings(folder, contacts, &stop));
        link.post([this, result] {
            for (const CallRecord& record : result->records)
                state_.importRecords.append(record);
            listAll();
        });
    });
    if (!started)
        importing_ = false;
}

void ImportController::listAll() {
    view_.page(PageImport)->model()->clear();
    next_ = state_.importRecords.begin();
    listBatch();
}

void ImportController::listBatch() {
    RecordListModel* model = view_.page(PageImport)->model();
    std::vector<CallRecord*> batch;
    batch.reserve(kRowBatch);
    const auto end = state_.importRecords.end();
    for (; next_ != end && batch.size() < kRowBatch; ++next_)
        batch.push_back(&*next_);
    model->appendRows(batch, state_.importRecords.lease());
    if (next_ != end) {
        QTimer::singleShot(0, this, [this] { listBatch(); });
        return;
    }
    importing_ = false;
    if (view_.currentPageType() == PageImport)
        view_.showPage(PageImport); // the status line counts the rows again
    emit finished();
}

void ImportController::clear() {
    if (importing_ || worker_.running())
        return;
    view_.page(PageImport)->model()->clear();
    state_.importRecords.clear();
    if (view_.currentPageType() == PageImport)
        view_.showPage(PageImport);
}

} // namespace tessa
