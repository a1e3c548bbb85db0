#include "browse/ui/MainView.h"

#include "browse/Commands.h"
#include "browse/RecordListModel.h"
#include "browse/StatusTexts.h"
#include "browse/ui/CommandKeys.h"
#include "browse/ui/Icons.h"
#include "browse/ui/RecordListPage.h"
#include "browse/ui/TreePane.h"
#include "config/Settings.h"
#include "config/StringTable.h"
#include "device/ui/ParametersPage.h"
#include "format/CardRecord.h"
#include "phonebook/ui/PhonebookPage.h"
#include "store/AppState.h"
#include "store/LoadSink.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QResizeEvent>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace tessa {
namespace {

// Button: command, toolbar image, caption (string number), drop-down.
using Button = std::tuple<int, int, int, bool>;

// The caption of a toolbar button; a literal number per call so that every caption has a text.
QString buttonCaption(int stringNumber) {
    switch (stringNumber) {
    case 8:
        return text(8);
    case 9:
        return text(9);
    case 7:
        return text(7);
    case 27:
        return text(27);
    case 111:
        return text(111);
    case 199:
        return text(199);
    case 96:
        return text(96);
    case 98:
        return text(98);
    case 112:
        return text(112);
    case 216:
        return text(216);
    case 217:
        return text(217);
    default:
        return {};
    }
}

const std::vector<Button> kRecordButtons = {
    {CmdPlay, 0, 8, false},      {CmdDelete, 1, 9, false},    {CmdQuery, 6, 7, false},
    {CmdRefresh, 6, 27, false},  {CmdMark, 2, 111, false},    {CmdExport, 5, 199, true},
    {CmdBackupAll, 3, 96, true}, {CmdContacts, 4, 98, false}, {CmdEmail, 4, 112, true},
};
const std::vector<Button> kImportButtons = {
    {CmdPlay, 0, 8, false},    {CmdImport, 13, 216, false}, {CmdClearImport, 14, 217, false},
    {CmdExport, 5, 199, true}, {CmdEmail, 4, 112, true},
};

QWidget* placeholder(QWidget* parent, const QString& name) {
    auto* w = new QWidget(parent);
    w->setObjectName(name);
    w->hide();
    return w;
}

} // namespace

MainView::MainView(AppState& state, QWidget* parent) : QWidget(parent), state_(state) {
    setObjectName(QStringLiteral("CVX7View"));
    recordToolbar_ = buildToolbar(QStringLiteral("recordToolbar"), kRecordButtons);
    importToolbar_ = buildToolbar(QStringLiteral("importToolbar"), kImportButtons);
    buildWebPane();

    // Created in the order 2, 3, 4, 5, 1, 6, 7, 8, 9, 10.
    for (int type : {2, 3, 4, 5, 1, 6, 7, 8, 9, 10}) {
        auto* page = new RecordListPage(type, state_, this);
        page->hide();
        connect(page, &RecordListPage::command, this, &MainView::onCommand);
        pages_[size_t(type - 1)] = page;
        // The page summary follows the rows of the page on view, whoever adds or removes them (the
        // lister, a search, the card going away).
        const auto report = [this, page, type] {
            if (currentPage_ == type)
                emit statusReport(type, page->rowCount());
        };
        RecordListModel* model = page->model();
        connect(model, &QAbstractItemModel::rowsInserted, this, report);
        connect(model, &QAbstractItemModel::rowsRemoved, this, report);
        connect(model, &QAbstractItemModel::modelReset, this, report);
    }
    playerPane_ = placeholder(this, QStringLiteral("dlg152"));
    playerPane_->show();
    parametersPage_ = new ParametersPage(this);
    parametersPage_->hide();
    phonebookPage_ = new PhonebookPage(this);
    phonebookPage_->hide();

    tree_ = new TreePane(this);
    connect(tree_, &TreePane::pageSelected, this, &MainView::showPage);
    tree_->show();
    tree_->build();

    setRootLabel(modelDisplayName(state_.modelCode));
    setModelCode(state_.modelCode);
}

QToolBar* MainView::buildToolbar(const QString& name, const std::vector<Button>& buttons) {
    auto* bar = new QToolBar(this);
    bar->setObjectName(name);
    bar->setProperty("controlId", 59392);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->setIconSize(QSize(16, 16));
    bar->setMovable(false);
    for (const auto& [command, image, caption, dropDown] : buttons) {
        auto* action = new QAction(listImage(ImageList::Toolbar, image), buttonCaption(caption), bar);
        action->setObjectName(QStringLiteral("cmd%1").arg(command));
        action->setProperty("caption", caption);
        bindCommandKey(*action, command);
        connect(action, &QAction::triggered, this, [this, command = command] { onCommand(command); });
        bar->addAction(action);
        if (dropDown) {
            auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action));
            // The arrow opens a menu built when it is asked for, placed under the button.
            auto* menu = new QMenu(button);
            connect(menu, &QMenu::aboutToShow, this,
                    [this, command = command, button] { emit dropDownRequested(command, button); });
            button->setMenu(menu);
            button->setPopupMode(QToolButton::MenuButtonPopup);
        }
        bar->addSeparator();
    }
    bar->hide();
    return bar;
}

void MainView::buildWebPane() {
    webPane_ = new QWidget(this);
    webPane_->setObjectName(QStringLiteral("dlg139"));
    auto* layout = new QVBoxLayout(webPane_);
    layout->setContentsMargins(1, 1, 1, 1);
    webLink_ = new QLabel(webPane_);
    webLink_->setAlignment(Qt::AlignCenter);
    webLink_->setOpenExternalLinks(true);
    layout->addWidget(webLink_);
    // Without an embedded browser the address is offered as a link that opens the desktop's browser.
    const QString web = readStringSetting(QStringLiteral("Web"));
    const qsizetype at = web.indexOf(QStringLiteral("http://"));
    if (at >= 0) {
        const QString url = web.mid(at).toHtmlEscaped();
        webLink_->setText(QStringLiteral("<a href=\"%1\">%1</a>").arg(url));
    }
    webPane_->show();
}

RecordListPage* MainView::page(int pageType) const {
    return pageType >= PageAll && pageType <= PageImport ? pages_[size_t(pageType - PageAll)] : nullptr;
}

void MainView::setPlayerPane(QWidget* player) {
    player->setParent(this);
    player->setObjectName(QStringLiteral("dlg152"));
    const bool visible = playerPane_->isVisible();
    delete playerPane_;
    playerPane_ = player;
    playerPane_->setVisible(visible);
    layoutParts();
}

void MainView::setRootLabel(const QString& label) {
    tree_->setRootLabel(label);
}

void MainView::setModelCode(int modelCode) {
    for (RecordListPage* page : pages_)
        page->setModelCode(modelCode);
}

void MainView::relabel() {
    for (RecordListPage* page : pages_)
        page->relabel();
}

void MainView::showPage(int pageType) {
    currentPage_ = pageType;
    if (!switching_ && tree_->selectedPage() != pageType) {
        switching_ = true; // selecting the node reports back here
        tree_->selectPage(pageType);
        switching_ = false;
    }
    if (pageType < PageRoot || pageType > PageDevice) {
        emit statusReport(pageType, 0);
        return;
    }
    const bool records = pageType >= PageAll && pageType <= PageImport;
    webPane_->setVisible(pageType == PageRoot);
    recordToolbar_->setVisible(pageType >= PageAll && pageType <= PageQuery);
    importToolbar_->setVisible(pageType == PageImport);
    for (int type = PageAll; type <= PageImport; ++type)
        page(type)->setVisible(type == pageType);
    playerPane_->setVisible(pageType <= PageImport);
    phonebookPage_->setVisible(pageType == PageDevice && state_.modelCode == ModelVX5);
    parametersPage_->setVisible(pageType == PageDevice && state_.modelCode != ModelVX5);
    layoutParts();
    emit statusReport(pageType, records ? page(pageType)->rowCount() : 0);
}

void MainView::onCommand(int commandId) {
    emit commandRequested(commandId);
}

void MainView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutParts();
}

void MainView::layoutParts() {
    const int w = width(), h = height();
    tree_->setGeometry(0, 0, 260, h);
    recordToolbar_->setGeometry(260, 0, w - 260, 32);
    importToolbar_->setGeometry(260, 0, w - 260, 32);
    webPane_->setGeometry(260, 0, w - 260, h - 1);
    for (RecordListPage* page : pages_)
        page->setGeometry(260, 33, w - 260, h - 214);
    playerPane_->setGeometry(260, h - 180, w - 260, 180);
    parametersPage_->setGeometry(260, 0, w - 260, h - 1);
    phonebookPage_->setGeometry(260, 0, w - 260, h - 1);
}

} // namespace tessa
