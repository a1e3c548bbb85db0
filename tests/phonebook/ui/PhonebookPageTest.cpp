#include "phonebook/ui/PhonebookPage.h"

#include "config/ProgramFolder.h"
#include "config/StringTable.h"
#include "phonebook/ui/ContactEditor.h"
#include "platform/FileRoots.h"
#include "support/EventLoop.h"
#include "support/ScopedConfig.h"
#include "support/TempDir.h"

#include <cstring>
#include <gtest/gtest.h>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

namespace tessa {
namespace {

using test::TempDir;
using test::waitUntil;

QByteArray entry(uint8_t inUse, const char* name, const char* number1, uint8_t type) {
    QByteArray b(155, '\0');
    b[0] = char(inUse);
    std::memcpy(b.data() + 1, number1, std::strlen(number1));
    std::memcpy(b.data() + 91, name, std::strlen(name));
    b[126] = char(type);
    return b;
}

// Answers every message box with the given button and keeps caption, text and icon.
class MessageAnswers {
public:
    explicit MessageAnswers(QMessageBox::StandardButton answer = QMessageBox::Yes) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this, answer] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown.push_back({box->windowTitle(), box->text(), box->icon()});
                box->done(box->standardButtons() & answer ? answer : QMessageBox::Ok);
            }
        });
        timer_.start();
    }
    struct Shown {
        QString caption, text;
        QMessageBox::Icon icon;
    };
    std::vector<Shown> shown;

private:
    QTimer timer_;
};

void typeText(QWidget* widget, const QString& text) {
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
    }
}

class PhonebookPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        page.resize(700, 500);
        page.show();
    }
    QString writeBook(const QByteArray& bytes) { return dir.write(QStringLiteral("PhoneBook.dat"), bytes); }
    QByteArray book() const { return TempDir::read(dir.file(QStringLiteral("PhoneBook.dat"))); }
    void selectRows(std::initializer_list<int> rows) {
        page.list()->clearSelection();
        for (int row : rows)
            page.list()->selectionModel()->select(page.list()->model()->index(row, 0),
                                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    QString cellText(int row, int column) const { return page.list()->item(row, column)->text(); }
    // The editor the page opens is answered by filling it as given (or cancelled when fill is empty).
    void answerEditor(std::function<void(ContactEditor&)> fill) {
        page.runEditor = [this, fill](ContactEditor& editor) {
            ++editorsOpened;
            lastEditorTitle = editor.windowTitle();
            lastOkCaption = editor.findChild<QPushButton*>(QStringLiteral("ctl1"))->text();
            if (!fill)
                return false;
            fill(editor);
            return true;
        };
    }

    // The shipped texts, in place before the page is built and until it is gone.
    test::ScopedConfig texts{test::shippedConfigFolder()};
    TempDir dir;
    platform::ScopedFileRoots roots{dir.path(), QString()}; // the card in use
    PhonebookPage page;
    int editorsOpened = 0;
    QString lastEditorTitle, lastOkCaption;
};

TEST_F(PhonebookPageTest, ControlsCaptionsAndLayoutFollowTheSize) {
    EXPECT_EQ(page.objectName(), QStringLiteral("dlg154"));
    auto* group = page.findChild<QGroupBox*>(QStringLiteral("ctl1089"));
    ASSERT_TRUE(group);
    EXPECT_EQ(group->title(), text(173));
    EXPECT_EQ(page.addButton()->objectName(), QStringLiteral("ctl1088"));
    EXPECT_EQ(page.addButton()->text(), text(179));
    EXPECT_EQ(page.editButton()->objectName(), QStringLiteral("ctl1062"));
    EXPECT_EQ(page.editButton()->text(), text(180));
    EXPECT_EQ(page.deleteButton()->objectName(), QStringLiteral("ctl1063"));
    EXPECT_EQ(page.deleteButton()->text(), text(181));
    EXPECT_EQ(page.list()->objectName(), QStringLiteral("ctl1086"));
    const int captions[5] = {174, 175, 176, 177, 178};
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(page.list()->horizontalHeaderItem(c)->text(), text(captions[c]));
        EXPECT_EQ(page.list()->columnWidth(c), 130);
    }
    EXPECT_EQ(page.list()->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_TRUE(page.list()->showGrid());

    page.resize(640, 480);
    QApplication::processEvents();
    EXPECT_EQ(group->geometry(), QRect(2, 2, 636, 476));
    EXPECT_EQ(page.addButton()->geometry(), QRect(10, 25, 120, 30));
    EXPECT_EQ(page.editButton()->geometry(), QRect(135, 25, 120, 30));
    EXPECT_EQ(page.deleteButton()->geometry(), QRect(265, 25, 120, 30));
    EXPECT_EQ(page.list()->geometry(), QRect(10, 65, 620, 405));
}

TEST_F(PhonebookPageTest, LoadEnableAndClear) {
    EXPECT_FALSE(page.addButton()->isEnabled()) << "no card yet";
    const QString path =
        writeBook(entry(0, "Gone", "1", 0) + entry(1, "Ada", "5551234", 1) + entry(1, "Bo", "2", 7));
    page.load(path);
    EXPECT_TRUE(page.addButton()->isEnabled());
    EXPECT_TRUE(page.list()->isEnabled());
    ASSERT_EQ(page.list()->rowCount(), 2);
    EXPECT_EQ(cellText(0, 0), QStringLiteral("Ada"));
    EXPECT_EQ(cellText(0, 1), QStringLiteral("5551234"));
    EXPECT_EQ(cellText(0, 4), text(183));
    EXPECT_EQ(page.list()->item(0, 0)->data(Qt::UserRole).toUInt(), (1u << 16) | 1u);
    EXPECT_EQ(cellText(1, 4), QString());
    EXPECT_EQ(page.list()->item(1, 0)->data(Qt::UserRole).toUInt(), (7u << 16) | 2u);

    page.enableControls(false);
    for (QWidget* w : std::initializer_list<QWidget*>{page.addButton(), page.editButton(),
                                                      page.deleteButton(), page.list()})
        EXPECT_FALSE(w->isEnabled());
    EXPECT_EQ(page.list()->rowCount(), 2) << "the rows stay";

    page.load(path + QStringLiteral(".missing"));
    EXPECT_TRUE(page.addButton()->isEnabled());
    EXPECT_EQ(page.list()->rowCount(), 0);

    page.load(path);
    page.clear();
    EXPECT_EQ(page.list()->rowCount(), 0);
    EXPECT_FALSE(page.addButton()->isEnabled());
    EXPECT_TRUE(page.phonebook().path().isEmpty());
}

TEST_F(PhonebookPageTest, AddAppendsAndIsRefusedAtFiftyRows) {
    page.load(writeBook(entry(0, "Free", "1", 0)));
    answerEditor([](ContactEditor& e) {
        e.nameBox()->setText(QStringLiteral("Cy"));
        e.numberBox(0)->setText(QStringLiteral("123"));
        e.typeList()->setCurrentIndex(2);
    });
    page.addButton()->click();
    EXPECT_EQ(lastEditorTitle, text(179));
    EXPECT_EQ(lastOkCaption, text(179));
    ASSERT_EQ(page.list()->rowCount(), 1);
    EXPECT_EQ(cellText(0, 0), QStringLiteral("Cy"));
    EXPECT_EQ(cellText(0, 4), text(184));
    EXPECT_EQ(page.list()->item(0, 0)->data(Qt::UserRole).toUInt(), (2u << 16) | 1u);
    EXPECT_EQ(book().size(), 310);

    answerEditor({}); // cancelled: nothing written
    page.addButton()->click();
    EXPECT_EQ(book().size(), 310);

    QByteArray fifty;
    for (int i = 0; i < 50; ++i)
        fifty += entry(1, "N", "1", 0);
    page.load(writeBook(fifty));
    editorsOpened = 0;
    MessageAnswers answers;
    page.addButton()->click();
    EXPECT_EQ(editorsOpened, 0);
    ASSERT_EQ(answers.shown.size(), 1u);
    EXPECT_EQ(answers.shown[0].caption, text(179));
    EXPECT_EQ(answers.shown[0].text, text(188));
    EXPECT_EQ(answers.shown[0].icon, QMessageBox::Information);
    EXPECT_EQ(book().size(), 50 * 155);
}

TEST_F(PhonebookPageTest, EditOpensTheRowAndWritesItsSlot) {
    page.load(writeBook(entry(1, "Ann", "1", 0) + entry(1, "Bob", "2", 1)));
    answerEditor([](ContactEditor& e) {
        EXPECT_TRUE(e.editing());
        EXPECT_EQ(e.nameBox()->text(), QStringLiteral("Bob"));
        EXPECT_EQ(e.numberBox(0)->text(), QStringLiteral("2"));
        EXPECT_EQ(e.typeList()->currentIndex(), 1);
        e.nameBox()->setText(QStringLiteral("Robert"));
    });
    page.editButton()->click(); // nothing selected: nothing happens
    EXPECT_EQ(editorsOpened, 0);

    selectRows({1});
    page.editButton()->click();
    EXPECT_EQ(lastEditorTitle, text(180));
    EXPECT_EQ(lastOkCaption, text(180));
    EXPECT_EQ(cellText(1, 0), QStringLiteral("Robert"));
    EXPECT_EQ(book().mid(155), entry(1, "Robert", "2", 1));
    EXPECT_EQ(book().left(155), entry(1, "Ann", "1", 0));

    // A double click asks for Edit after the click is handled.
    editorsOpened = 0;
    answerEditor({});
    selectRows({0});
    emit page.list()->cellDoubleClicked(0, 0);
    EXPECT_EQ(editorsOpened, 0);
    ASSERT_TRUE(waitUntil([&] { return editorsOpened == 1; }, 2000));
}

TEST_F(PhonebookPageTest, EditOfAPhonebookChangedOnTheCardReadsItAgainAndSaysSo) {
    page.load(writeBook(entry(1, "Ann", "1", 0) + entry(1, "Bob", "2", 1)));
    const QByteArray changed = entry(1, "Ann", "1", 0) + entry(1, "Eve", "9", 1);
    writeBook(changed);
    answerEditor([](ContactEditor& e) { e.nameBox()->setText(QStringLiteral("Robert")); });
    selectRows({1});
    MessageAnswers answers;
    page.editButton()->click();
    EXPECT_EQ(book(), changed);
    ASSERT_EQ(answers.shown.size(), 1u);
    EXPECT_EQ(answers.shown[0].text, text(240));
    EXPECT_EQ(cellText(1, 0), QStringLiteral("Eve"));
}

TEST_F(PhonebookPageTest, DeleteAsksThenFreesTheSelectedSlots) {
    const QString path =
        writeBook(entry(1, "Ann", "1", 0) + entry(1, "Bob", "2", 1) + entry(1, "Cy", "3", 2));
    page.load(path);
    selectRows({0, 2});
    {
        MessageAnswers no(QMessageBox::No);
        page.deleteButton()->click();
        ASSERT_EQ(no.shown.size(), 1u);
        EXPECT_EQ(no.shown[0].caption, text(186));
        EXPECT_EQ(no.shown[0].text, text(185));
    }
    EXPECT_EQ(page.list()->rowCount(), 3);
    EXPECT_EQ(book()[0], 1);

    MessageAnswers yes;
    page.deleteButton()->click();
    ASSERT_EQ(page.list()->rowCount(), 1);
    EXPECT_EQ(cellText(0, 0), QStringLiteral("Bob"));
    const QByteArray after = book();
    ASSERT_EQ(after.size(), 465);
    EXPECT_EQ(after[0], 0);
    EXPECT_EQ(after[155], 1);
    EXPECT_EQ(after[310], 0);
    EXPECT_EQ(after.mid(311), entry(1, "Cy", "3", 2).mid(1));

    // The card is gone: the row stays and the user hears why.
    ASSERT_TRUE(QFile::remove(path));
    selectRows({0});
    page.deleteButton()->click();
    EXPECT_EQ(page.list()->rowCount(), 1);
    ASSERT_EQ(yes.shown.size(), 3u); // two confirmations, then the failure
    EXPECT_EQ(yes.shown[2].text, text(241));
    EXPECT_EQ(yes.shown[2].icon, QMessageBox::Warning);
}

TEST_F(PhonebookPageTest, ContactEditorLimitsAndFilters) {
    ContactEditor editor;
    editor.show();
    EXPECT_EQ(editor.objectName(), QStringLiteral("dlg155"));
    EXPECT_EQ(editor.typeList()->objectName(), QStringLiteral("ctl1099"));
    ASSERT_EQ(editor.typeList()->count(), 3);
    EXPECT_EQ(editor.typeList()->itemText(0), text(182));
    EXPECT_EQ(editor.typeList()->itemText(2), text(184));
    EXPECT_EQ(editor.typeList()->currentIndex(), 0);
    EXPECT_EQ(editor.findChild<QPushButton*>(QStringLiteral("ctl2"))->text(), text(195));
    for (int id : {1091, 1092, 1093, 1094, 1096, 1097, 1098, 1090})
        EXPECT_TRUE(editor.findChild<QWidget*>(QStringLiteral("ctl%1").arg(id))) << id;

    // Typed: a non-ASCII last letter goes at once.
    QLineEdit* name = editor.nameBox();
    name->setFocus();
    typeText(name, QStringLiteral("Jos\u00E9"));
    EXPECT_EQ(name->text(), QStringLiteral("Jos"));
    EXPECT_EQ(name->cursorPosition(), 3);
    // Pasted in the middle: kept, only the last character is tested.
    name->setCursorPosition(1);
    name->insert(QStringLiteral("\u00E9"));
    EXPECT_EQ(name->text(), QStringLiteral("J\u00E9os"));
    name->setCursorPosition(4);
    name->insert(QStringLiteral("x\u00FC"));
    EXPECT_EQ(name->text(), QStringLiteral("J\u00E9osx"));

    // The name box takes 35 characters and 34 are stored.
    name->clear();
    typeText(name, QString(40, QLatin1Char('a')));
    EXPECT_EQ(name->text().size(), 35);
    EXPECT_EQ(QByteArray(editor.entry().name), QByteArray(34, 'a'));

    // Number boxes: digits only, 30 typed, 29 stored.
    QLineEdit* number = editor.numberBox(0);
    typeText(number, QStringLiteral("12a-3 4+"));
    EXPECT_EQ(number->text(), QStringLiteral("1234"));
    number->insert(QStringLiteral("5x6"));
    EXPECT_EQ(number->text(), QStringLiteral("1234"));
    number->clear();
    typeText(number, QString(33, QLatin1Char('7')));
    EXPECT_EQ(number->text().size(), 30);
    EXPECT_EQ(QByteArray(editor.entry().number1), QByteArray(29, '7'));
    EXPECT_EQ(editor.entry().inUse, 1);
}

TEST_F(PhonebookPageTest, EditingAnEntryOfAnUnlistedTypeKeepsTheType) {
    PhonebookEntry odd = makePhonebookEntry(QStringLiteral("Odd"), QStringLiteral("1"), {}, {}, 0);
    odd.type = 9;
    ContactEditor editor(odd, nullptr);
    EXPECT_EQ(editor.typeList()->currentIndex(), -1);
    EXPECT_EQ(editor.entry().type, 9);
    editor.typeList()->setCurrentIndex(1);
    EXPECT_EQ(editor.entry().type, 1);
}

} // namespace
} // namespace tessa
