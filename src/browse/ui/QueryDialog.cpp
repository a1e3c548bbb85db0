#include "browse/ui/QueryDialog.h"

#include "browse/RecordListModel.h"
#include "browse/ui/MainView.h"
#include "browse/ui/RecordListPage.h"
#include "config/Settings.h"
#include "config/StringTable.h"
#include "store/AppState.h"
#include "store/LoadSink.h"

#include <algorithm>
#include <climits>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>

namespace tessa {
namespace {

// The four boxes 1051-1054 that the page on view presets; 1055 stays as the template has it.
constexpr int kQueryPresetBoxes = 4;
struct QueryTypePreset {
    std::array<bool, kQueryPresetBoxes> ticked;
    std::array<bool, kQueryPresetBoxes> enabled;
};

// Boxes in the order incoming (1051), outgoing (1052), missed (1053), notes (1054).
QueryTypePreset openingTypePreset(int pageType) {
    switch (pageType) {
    case PageOutgoing:
        return {{false, true, false, false}, {false, true, false, false}};
    case PageIncoming:
        return {{true, false, true, false}, {true, false, true, false}};
    case PageNotes:
        return {{false, false, false, true}, {false, false, false, true}};
    default:
        return {{true, true, true, true}, {true, true, true, true}};
    }
}

// Ticking the call-type box again offers less on the incoming page than opening did: the missed box stays
// ticked but cannot be changed.
QueryTypePreset repeatedTypePreset(int pageType) {
    if (pageType == PageIncoming)
        return {{true, false, true, false}, {true, false, false, false}};
    return openingTypePreset(pageType);
}

QCheckBox* queryCheckBox(QWidget* parent, int id, const QString& label) {
    auto* box = new QCheckBox(label, parent);
    box->setObjectName(QStringLiteral("ctl%1").arg(id));
    return box;
}

QLabel* queryLabel(QWidget* parent, int id, const QString& caption) {
    auto* l = new QLabel(caption, parent);
    l->setObjectName(QStringLiteral("ctl%1").arg(id));
    return l;
}

QDateTimeEdit* queryMomentEdit(QWidget* parent, int id, const QString& format) {
    auto* edit = new QDateTimeEdit(QDateTime::currentDateTime(), parent);
    edit->setObjectName(QStringLiteral("ctl%1").arg(id));
    edit->setDisplayFormat(format);
    edit->setCalendarPopup(false);
    edit->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    return edit;
}

} // namespace

QueryDialog::QueryDialog(MainView& view, AppState& state, int pageType, QWidget* parent)
    : QDialog(parent), view_(view), state_(state), pageType_(pageType),
      search_(new QuerySearch(state.quit, this)) {
    setObjectName(QStringLiteral("dlg145"));
    buildControls();

    connect(search_, &QuerySearch::started, this, &QueryDialog::onStarted);
    connect(search_, &QuerySearch::progress, this, &QueryDialog::onProgress);
    connect(search_, &QuerySearch::hitsFound, this, &QueryDialog::onHits);
    connect(search_, &QuerySearch::ended, this, &QueryDialog::onEnded);

    applyOpeningPreset();
    typeBox_->setChecked(true);
    // An absent key reads -1, which ticks the box like 1 does.
    timeBox_->setChecked(readIntSetting(QStringLiteral("DateCond")) != 0);
    numberBox_->setChecked(readIntSetting(QStringLiteral("NumCond")) != 0);
    numberEdit_->setText(readStringSetting(QStringLiteral("SearchedNum")));
    startEdit_->setEnabled(timeBox_->isChecked());
    endEdit_->setEnabled(timeBox_->isChecked());
    numberEdit_->setEnabled(numberBox_->isChecked());
}

QueryDialog::~QueryDialog() {
    // Closing by any other road than reject() must not leave the worker walking a collection.
    search_->stopAndWait();
}

void QueryDialog::buildControls() {
    setWindowTitle(text(7));
    const QString format = queryDateTimeFormat(QLocale::system());

    timeBox_ = queryCheckBox(this, 1048, text(11));
    startEdit_ = queryMomentEdit(this, 1058, format);
    endEdit_ = queryMomentEdit(this, 1008, format);
    numberBox_ = queryCheckBox(this, 1049, text(12));
    numberEdit_ = new QLineEdit(this);
    numberEdit_->setObjectName(QStringLiteral("ctl1060"));
    numberEdit_->setMaxLength(kQueryNumberFieldLimit);
    typeBox_ = queryCheckBox(this, 1050, text(16));
    typeBoxes_[BoxIncoming] = queryCheckBox(this, 1051, text(18));
    typeBoxes_[BoxOutgoing] = queryCheckBox(this, 1052, text(20));
    typeBoxes_[BoxMissed] = queryCheckBox(this, 1053, text(19));
    typeBoxes_[BoxNotes] = queryCheckBox(this, 1054, text(21));
    typeBoxes_[BoxAnswering] = queryCheckBox(this, 1055, text(24));
    typeBoxes_[BoxAnswering]->setEnabled(false);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("ctl1003"));
    progress_->setTextVisible(false);
    progress_->hide();
    searchButton_ = new QPushButton(text(30), this);
    searchButton_->setObjectName(QStringLiteral("ctl1"));
    searchButton_->setDefault(true);
    leaveButton_ = new QPushButton(text(31), this);
    leaveButton_->setObjectName(QStringLiteral("ctl2"));
    leaveButton_->setAutoDefault(false);

    auto* grid = new QGridLayout(this);
    int row = 0;
    grid->addWidget(timeBox_, row++, 0, 1, 2);
    grid->addWidget(queryLabel(this, 1056, text(28)), row, 0);
    grid->addWidget(startEdit_, row++, 1);
    grid->addWidget(queryLabel(this, 1057, text(29)), row, 0);
    grid->addWidget(endEdit_, row++, 1);
    grid->addWidget(numberBox_, row++, 0, 1, 2);
    grid->addWidget(queryLabel(this, 1059, text(12)), row, 0);
    grid->addWidget(numberEdit_, row++, 1);
    grid->addWidget(typeBox_, row++, 0, 1, 2);
    grid->addWidget(typeBoxes_[BoxIncoming], row, 0);
    grid->addWidget(typeBoxes_[BoxOutgoing], row++, 1);
    grid->addWidget(typeBoxes_[BoxMissed], row, 0);
    grid->addWidget(typeBoxes_[BoxNotes], row++, 1);
    grid->addWidget(typeBoxes_[BoxAnswering], row++, 0, 1, 2);
    grid->addWidget(progress_, row++, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(searchButton_);
    buttons->addWidget(leaveButton_);
    grid->addLayout(buttons, row, 0, 1, 2);

    connect(timeBox_, &QCheckBox::clicked, this, [this](bool ticked) {
        startEdit_->setEnabled(ticked);
        endEdit_->setEnabled(ticked);
    });
    connect(numberBox_, &QCheckBox::clicked, numberEdit_, &QLineEdit::setEnabled);
    connect(typeBox_, &QCheckBox::clicked, this, &QueryDialog::onTypeBoxClicked);
    connect(searchButton_, &QPushButton::clicked, this, &QueryDialog::startSearch);
    connect(leaveButton_, &QPushButton::clicked, this, &QueryDialog::reject);
}

void QueryDialog::applyOpeningPreset() {
    const QueryTypePreset preset = openingTypePreset(pageType_);
    for (int i = 0; i < kQueryPresetBoxes; ++i) {
        typeBoxes_[size_t(i)]->setChecked(preset.ticked[size_t(i)]);
        typeBoxes_[size_t(i)]->setEnabled(preset.enabled[size_t(i)]);
    }
}

void QueryDialog::reapplyPreset() {
    const QueryTypePreset preset = repeatedTypePreset(pageType_);
    for (int i = 0; i < kQueryPresetBoxes; ++i) {
        if (preset.ticked[size_t(i)])
            typeBoxes_[size_t(i)]->setChecked(true);
        typeBoxes_[size_t(i)]->setEnabled(preset.enabled[size_t(i)]);
    }
}

void QueryDialog::onTypeBoxClicked(bool ticked) {
    if (ticked) {
        reapplyPreset();
        return;
    }
    // The ticks stay, so that ticking the box again finds them as they were.
    for (int i = 0; i < kQueryPresetBoxes; ++i)
        typeBoxes_[size_t(i)]->setEnabled(false);
}

QueryForm QueryDialog::readForm() const {
    QueryForm form;
    form.timeBox = timeBox_->isChecked();
    form.start = startEdit_->dateTime();
    form.end = endEdit_->dateTime();
    form.numberBox = numberBox_->isChecked();
    form.numberText = numberEdit_->text();
    form.typeBox = typeBox_->isChecked();
    for (size_t i = 0; i < typeBoxes_.size(); ++i)
        form.typeBoxes[i] = typeBoxes_[i]->isChecked();
    return form;
}

void QueryDialog::setSearchControlsEnabled(bool enabled) {
    for (QWidget* control : {static_cast<QWidget*>(timeBox_), static_cast<QWidget*>(startEdit_),
                             static_cast<QWidget*>(endEdit_), static_cast<QWidget*>(numberBox_),
                             static_cast<QWidget*>(numberEdit_), static_cast<QWidget*>(typeBox_)})
        control->setEnabled(enabled);
    for (int i = 0; i < kQueryPresetBoxes; ++i)
        typeBoxes_[size_t(i)]->setEnabled(enabled);
    searchButton_->setEnabled(enabled);
}

void QueryDialog::startSearch() {
    if (search_->running())
        return;
    // The worker walks the collection without a lock, so it holds the busy flag that keeps loads and card
    // scans away; a load that began while the dialog stood open keeps the search from starting.
    bool idle = false;
    if (!state_.busy.compare_exchange_strong(idle, true)) {
        QMessageBox box(QMessageBox::Information, text(160), text(159), QMessageBox::Ok, this);
        box.setObjectName(QStringLiteral("busyRefusal"));
        box.exec();
        return;
    }
    holdsBusy_ = true;

    view_.showPage(PageQuery);
    setSearchControlsEnabled(false);
    const QueryForm form = readForm();
    storeQuerySettings(querySettings(form));
    const QueryConditions conditions = queryConditions(form);

    searched_ = state_.currentRecords().lease();
    switch (search_->start(state_.currentRecords(), conditions)) {
    case QuerySearch::Start::Started:
        return;
    case QuerySearch::Start::NothingToSearch:
        // Page 9 keeps the rows of the last search.
        state_.busy = false;
        holdsBusy_ = false;
        setSearchControlsEnabled(true);
        return;
    case QuerySearch::Start::NotStarted:
        state_.busy = false;
        holdsBusy_ = false;
        QDialog::reject();
        return;
    }
}

void QueryDialog::onStarted(quint32 total) {
    view_.page(PageQuery)->model()->clear();
    progress_->setRange(0, int(std::min<quint32>(total, INT_MAX)));
    progress_->setValue(0);
    progress_->show();
}

void QueryDialog::onProgress(quint32 reached) {
    progress_->setValue(int(std::min<quint32>(reached, INT_MAX)));
}

void QueryDialog::onHits(const std::vector<CallRecord*>& hits) {
    view_.page(PageQuery)->model()->appendRows(hits, searched_);
}

void QueryDialog::onEnded(bool stopped) {
    // Every row the worker found is on the page by now, so the collection may change again.
    if (holdsBusy_) {
        state_.busy = false;
        holdsBusy_ = false;
    }
    if (stopped)
        return; // the dialog is closing
    progress_->hide();
    setSearchControlsEnabled(true);
}

void QueryDialog::reject() {
    search_->stopAndWait();
    QDialog::reject();
}

void runQuery(MainView& view, AppState& state, QWidget* parent) {
    if (state.busy) {
        QMessageBox box(QMessageBox::Information, text(160), text(159), QMessageBox::Ok, parent);
        box.setObjectName(QStringLiteral("busyRefusal"));
        box.exec();
        return;
    }
    {
        QueryDialog dialog(view, state, view.currentPageType(), parent);
        dialog.exec();
    }
    const int pageType = view.currentPageType();
    if (pageType >= PageAll && pageType <= PageQuery)
        emit view.statusReport(pageType, view.page(pageType)->rowCount());
}

} // namespace tessa
