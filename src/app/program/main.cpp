// The Tessa program.

#include "app/SingleInstance.h"
#include "app/ui/MainWindow.h"
#include "config/ProgramFolder.h"
#include "config/Settings.h"
#include "platform/WorkerSlot.h"
#include "store/AppState.h"

#include <cstdlib>
#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tessa"));
    Q_INIT_RESOURCE(icons);

    // A second instance ends at once, without a window or a message.
    tessa::SingleInstance instance(tessa::privateTempFolder());
    if (!instance.acquire())
        return 0;

    tessa::AppState state;
    state.modelCode = tessa::readIntSetting(QStringLiteral("DevType")) == tessa::ModelVX5 ? tessa::ModelVX5
                                                                                          : tessa::ModelVX7;

    int code = 0;
    {
        tessa::MainWindow window(state);
        window.showMaximized();
        code = QApplication::exec();
        // A worker let go at close (stuck in a file operation) may still reach the window's parts and the
        // records: the process ends here, freeing nothing it could touch.
        if (tessa::platform::WorkerSlot::abandonedRunning() > 0)
            std::quick_exit(code);
    }
    // The window and its workers are gone; now the records and contacts go.
    state.contacts.clear();
    state.cardRecords.clear();
    state.backupRecords.clear();
    state.importRecords.clear();
    return code;
}
