#pragma once

// The WAV export dialog (157): the recordings handed to it are converted into the folder the user
// chooses, one row each with its result. OK starts the worker; when it has done every row it closes the
// dialog. Closing while it runs asks it to stop and waits for it a bounded time; a worker still running
// after that never reaches the dialog again.

#include "export/RecordingConversion.h"
#include "platform/FileRoots.h"
#include "platform/GuiQueue.h"
#include "platform/WorkerSlot.h"

#include <functional>
#include <QDialog>
#include <QStringList>
#include <vector>

class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace tessa {

class WavExportDialog : public QDialog {
    Q_OBJECT
public:
    // Converts one file (native paths); runs on the worker.
    using Converter = std::function<ConversionResult(const QString& sourceNative, platform::Area sourceArea,
                                                     const QString& outputNative)>;

    explicit WavExportDialog(QWidget* parent = nullptr);
    ~WavExportDialog() override;

    // The folder shown when ExportPath is empty or missing: the root of drive C, in native form.
    static QString defaultFolder();
    // The result text of a conversion: 203, "%s (%s)" of 204 and the reason, or empty for a coding that
    // is not converted.
    static QString resultText(ConversionResult result);

    // Adds a recording to the list; only a container path (".xtr"), and only while no export runs.
    // sourceArea: where the file must lie (imported recordings lie in a folder the user chose).
    void addSource(const QString& path, platform::Area sourceArea = platform::Area::CardOrBackup);
    bool running() const { return worker_.running(); }
    QStringList sources() const;
    // The result text of a row, empty while it has none.
    QString resultText(int row) const;
    // Replaces the conversion (tests).
    void setConverter(Converter converter) { converter_ = std::move(converter); }

public slots:
    void chooseFolder();
    void startExport();
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void stopWorker();

    QLineEdit* folder_;
    QTableWidget* list_;
    QProgressBar* progress_;
    QPushButton* ok_;
    std::vector<platform::Area> areas_; // one per row
    Converter converter_;
    platform::GuiQueue queue_;
    platform::WorkerSlot worker_;
};

} // namespace tessa
