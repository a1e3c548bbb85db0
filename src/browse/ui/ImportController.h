#pragma once

// Import of recordings into record list page 10 (commands 32798 and 32799): the user picks a folder, a
// worker builds a record from every recording below it, and the page lists the whole import collection
// again, older imports included. Clear empties collection and page unless an import runs.

#include "platform/GuiQueue.h"
#include "platform/WorkerSlot.h"
#include "store/RecordCollection.h"

#include <functional>
#include <QObject>
#include <QString>

class QWidget;

namespace tessa {

struct AppState;
class MainView;

class ImportController : public QObject {
    Q_OBJECT
public:
    // Rows are put on page 10 in batches of this many, so the window keeps answering meanwhile.
    static constexpr size_t kRowBatch = 2000;

    ImportController(MainView& view, AppState& state, QWidget* dialogParent);
    ~ImportController() override;

    // Command 32798: ignored while an import runs.
    void import();
    // Command 32799: ignored while an import runs.
    void clear();
    // From the folder browser until page 10 lists the result.
    bool importing() const { return importing_; }
    // Closing: asks the worker to stop and waits a bounded time.
    void stop();

    // Asks for the folder (the folder browser unless a test replaces it); false when cancelled.
    std::function<bool(QString* folder)> chooseFolder;

signals:
    // Page 10 lists the import collection again (also after a cancelled browser).
    void finished();

private:
    // Lists the collection from its head, a batch per turn of the event loop.
    void listAll();
    // The next batch from next_. Records not listed yet have no rows, so nothing can remove them
    // meanwhile, and Clear waits for the listing: the position stays valid between batches.
    void listBatch();

    MainView& view_;
    AppState& state_;
    QWidget* dialogParent_;
    bool importing_ = false;
    RecordCollection::Storage::iterator next_;
    platform::GuiQueue queue_;
    platform::WorkerSlot worker_;
};

} // namespace tessa
