#pragma once

// The query dialog: a time range, a piece of the number and the call types to look for in the current
// collection. The hits go to the query results page, which the view then shows. The dialog stays open
// between searches so that the conditions can be refined; the search runs on a worker while the dialog
// shows its progress.

#include "browse/QuerySearch.h"
#include "store/RecordLease.h"

#include <array>
#include <QDialog>

class QCheckBox;
class QDateTimeEdit;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace tessa {

struct AppState;
class MainView;

class QueryDialog : public QDialog {
    Q_OBJECT

public:
    // pageType: the page on view when the dialog opens; it decides which call types are offered.
    QueryDialog(MainView& view, AppState& state, int pageType, QWidget* parent = nullptr);
    ~QueryDialog() override;

    bool searching() const { return search_->running(); }

public slots:
    // Leaving stops a running search and waits for it; the rows found until then stay on the page.
    void reject() override;

private:
    void buildControls();
    void applyOpeningPreset();
    void reapplyPreset();
    void onTypeBoxClicked(bool ticked);
    void startSearch();
    QueryForm readForm() const;
    void setSearchControlsEnabled(bool enabled);
    void onStarted(quint32 total);
    void onProgress(quint32 reached);
    void onHits(const std::vector<CallRecord*>& hits);
    void onEnded(bool stopped);

    MainView& view_;
    AppState& state_;
    int pageType_;
    QuerySearch* search_;
    bool holdsBusy_ = false;
    RecordLease searched_; // the generation of the collection being searched: its hits are listed under it

    QCheckBox* timeBox_ = nullptr;
    QDateTimeEdit* startEdit_ = nullptr;
    QDateTimeEdit* endEdit_ = nullptr;
    QCheckBox* numberBox_ = nullptr;
    QLineEdit* numberEdit_ = nullptr;
    QCheckBox* typeBox_ = nullptr;
    std::array<QCheckBox*, kQueryTypeBoxCount> typeBoxes_{};
    QProgressBar* progress_ = nullptr;
    QPushButton* searchButton_ = nullptr;
    QPushButton* leaveButton_ = nullptr;
};

// Command 32771: refuses while a call log is loading; otherwise runs the dialog over the page on view and,
// when it closes, reports the page on view and its row count to the frame (the view's statusReport).
void runQuery(MainView& view, AppState& state, QWidget* parent);

} // namespace tessa
