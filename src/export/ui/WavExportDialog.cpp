#include "export/ui/WavExportDialog.h"

#include "config/Settings.h"
#include "config/StringTable.h"
#include "config/ui/FolderPicker.h"
#include "format/ContainerHeader.h"
#include "platform/NativePath.h"

#include <chrono>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <thread>

namespace tessa {
namespace {

// Closing waits this long for a running export.
constexpr std::chrono::milliseconds kCloseWait{1000};

const QString kExportPathKey = QStringLiteral("ExportPath");

QString withSeparator(QString folder) {
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')) && !folder.endsWith(QLatin1Char('\\')))
        folder += QLatin1Char('/');
    return folder;
}

QString storedOrDefaultFolder() {
    const QString stored = readStringSetting(kExportPathKey);
    return stored.isEmpty() ? WavExportDialog::defaultFolder() : stored;
}

} // namespace

QString WavExportDialog::defaultFolder() {
    return withSeparator(platform::nativePath(QStringLiteral("C:\\")));
}

QString WavExportDialog::resultText(ConversionResult result) {
    if (result == ConversionResult::Written)
        return text(203);
    const int reason = conversionReasonText(result);
    return reason == 0 ? QString() : QStringLiteral("%1 (%2)").arg(text(204), text(reason));
}

WavExportDialog::WavExportDialog(QWidget* parent) : QDialog(parent), converter_(convertRecording) {
    setObjectName(QStringLiteral("dlg157"));
    setWindowTitle(text(197));

    auto* destination = new QGroupBox(text(206), this);
    destination->setObjectName(QStringLiteral("ctl1104"));
    auto* label = new QLabel(text(205), destination);
    label->setObjectName(QStringLiteral("ctl1105"));
    folder_ = new QLineEdit(destination);
    folder_->setObjectName(QStringLiteral("ctl1017"));
    folder_->setText(storedOrDefaultFolder());
    auto* browse = new QPushButton(QStringLiteral("..."), destination);
    browse->setObjectName(QStringLiteral("ctl1103"));
    auto* row = new QHBoxLayout(destination);
    row->addWidget(label);
    row->addWidget(folder_, 1);
    row->addWidget(browse);

    auto* files = new QGroupBox(text(198), this);
    files->setObjectName(QStringLiteral("ctl1102"));
    list_ = new QTableWidget(0, 2, files);
    list_->setObjectName(QStringLiteral("ctl1100"));
    list_->setHorizontalHeaderLabels({text(201), text(202)});
    list_->setColumnWidth(0, 500);
    list_->setColumnWidth(1, 100);
    list_->setShowGrid(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->verticalHeader()->hide();
    progress_ = new QProgressBar(files);
    progress_->setObjectName(QStringLiteral("ctl1101"));
    progress_->setRange(0, 1);
    progress_->setValue(0);
    auto* fileLayout = new QVBoxLayout(files);
    fileLayout->addWidget(list_);
    fileLayout->addWidget(progress_);

    ok_ = new QPushButton(text(199), this);
    ok_->setObjectName(QStringLiteral("ctl1"));
    ok_->setDefault(true);
    auto* cancel = new QPushButton(text(200), this);
    cancel->setObjectName(QStringLiteral("ctl2"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(destination);
    layout->addWidget(files, 1);
    layout->addLayout(buttons);
    resize(660, 420);

    connect(browse, &QPushButton::clicked, this, &WavExportDialog::chooseFolder);
    connect(ok_, &QPushButton::clicked, this, &WavExportDialog::startExport);
    connect(cancel, &QPushButton::clicked, this, &WavExportDialog::reject);
}

WavExportDialog::~WavExportDialog() {
    stopWorker();
}

void WavExportDialog::addSource(const QString& path, platform::Area sourceArea) {
    if (running() || !isContainerPath(path))
        return;
    const int row = list_->rowCount();
    list_->insertRow(row);
    list_->setItem(row, 0, new QTableWidgetItem(path));
    list_->setItem(row, 1, new QTableWidgetItem());
    areas_.push_back(sourceArea);
}

QStringList WavExportDialog::sources() const {
    QStringList paths;
    for (int row = 0; row < list_->rowCount(); ++row)
        paths << list_->item(row, 0)->text();
    return paths;
}

QString WavExportDialog::resultText(int row) const {
    const QTableWidgetItem* item = list_->item(row, 1);
    return item ? item->text() : QString();
}

void WavExportDialog::chooseFolder() {
    QString chosen;
    if (!pickFolder(this, storedOrDefaultFolder(), false, &chosen) || chosen.isEmpty())
        return;
    folder_->setText(chosen);
    // Kept at once, as every setting a dialog changes.
    writeStringSetting(kExportPathKey, chosen);
}

void WavExportDialog::startExport() {
    if (running() || queue_.closed())
        return;
    ok_->setEnabled(false);
    const QStringList paths = sources();
    const std::vector<platform::Area> areas = areas_;
    const QString folder = folder_->text();
    progress_->setRange(0, std::max<int>(1, int(paths.size())));
    progress_->setValue(0);
    // The worker reaches the dialog only through the queue. The dialog closes the queue when it closes
    // and when it goes, so what a worker posts later (one let go at close included) is dropped.
    const platform::GuiQueue::Link gui = queue_.link();
    const Converter convert = converter_;
    const bool started =
        worker_.start([this, gui, paths, areas, folder, convert](const std::atomic<bool>& stop) {
            qsizetype done = 0;
            for (; done < paths.size(); ++done) {
                gui.post([this, done] { progress_->setValue(int(done)); });
                if (stop || gui.closed())
                    break;
                // Gives the window its turn between files.
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                const QString& source = paths[done];
                const QString sourceNative = platform::nativePath(source);
                // An output folder that maps to nothing gives an empty path, which is never written.
                const QString outputNative = platform::nativePath(wavOutputPath(source, folder));
                const ConversionResult result =
                    sourceNative.isEmpty() ? ConversionResult::SourceNotOpened
                                           : convert(sourceNative, areas[size_t(done)], outputNative);
                const QString shown = resultText(result);
                if (!shown.isEmpty())
                    gui.post([this, done, shown] { list_->item(int(done), 1)->setText(shown); });
            }
            gui.post([this, done] {
                progress_->setValue(int(done));
                close();
            });
        });
    if (!started)
        ok_->setEnabled(true);
}

void WavExportDialog::stopWorker() {
    if (worker_.running()) {
        worker_.requestStop();
        if (!worker_.wait(kCloseWait))
            worker_.stop(std::chrono::milliseconds(0)); // past its time: let go
    }
    // The dialog is closing: nothing the worker posted, or still posts, reaches it any more.
    if (!queue_.closed())
        queue_.close();
}

void WavExportDialog::reject() {
    stopWorker();
    QDialog::reject();
}

void WavExportDialog::closeEvent(QCloseEvent* event) {
    stopWorker();
    QDialog::closeEvent(event);
}

} // namespace tessa
