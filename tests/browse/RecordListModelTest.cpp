#include "browse/RecordListModel.h"

#include "config/ProgramFolder.h"
#include "config/Settings.h"
#include "platform/FileRoots.h"
#include "store/LoadSink.h"
#include "support/ScopedConfig.h"
#include "support/TempDir.h"

#include <cstring>
#include <gtest/gtest.h>
#include <list>
#include <QFile>
#include <QPersistentModelIndex>
#include <sys/stat.h>

using namespace tessa;

// Failure messages show texts rather than code units; internal linkage keeps it to this file.
static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
using tessa::test::TempDir;

namespace {

const char kStringTable[] = "[English]\r\n"
                            "0011=Date and Time\r\n0012=Number\r\n0013=Call Duration\r\n"
                            "0014=Recording Length\r\n0015=Mark\r\n0016=Call Type\r\n"
                            "0018=Incoming\r\n0019=Missed\r\n0020=Outgoing\r\n0021=Note\r\n"
                            "0022=Memo\r\n0023=Triggered\r\n0024=Answering Machine\r\n"
                            "0026=File Path\r\n0196=File\r\n0214=Remark\r\n";

using Model = RecordListModel;

class RecordListModelTest : public ::testing::Test {
protected:
    void SetUp() override { config.write("TessaLang.ini", kStringTable); }

    std::unique_ptr<Model> makeModel(int pageType = PageAll, int modelCode = 0) {
        auto model = std::make_unique<Model>(pageType,
                                             ListDateTime(QLocale(QLocale::English, QLocale::UnitedKingdom)));
        model->setModelCode(modelCode);
        return model;
    }

    CallRecord* add(uint32_t type, const QString& number, const QString& path = {}, uint32_t callSeconds = 0,
                    uint32_t recordingSeconds = 0) {
        CallRecord& r = records.emplace_back();
        std::memset(&r, 0, sizeof r);
        r.valid = 1;
        r.callType = type;
        r.number.setText(number);
        r.fullPath.setText(path);
        r.callDuration = callSeconds;
        r.recordingDuration = recordingSeconds;
        r.time.year = 2018;
        r.time.month = 1;
        r.time.day = 15;
        r.time.hour = 9;
        r.time.minute = 30;
        r.time.second = 12;
        return &r;
    }

    // A plain WAV recording whose displayed length is the given number of seconds.
    QString wav(const QString& name, int seconds) {
        return files.write(name, QByteArray(60 + 4055 * seconds + 100, 'w'));
    }

    QString container(const QString& name, const QByteArray& textArea, int seconds = 1) {
        QByteArray bytes(1440 + 1650 * seconds, '\0');
        const uint8_t header[12] = {0, 0, 0, 0, 0xA0, 0x05, 0, 0, 49, 0, 0, 0}; // data at 1440, GSM
        bytes.replace(0, 12, QByteArray(reinterpret_cast<const char*>(header), 12));
        bytes.replace(144, textArea.size(), textArea);
        return files.write(name, bytes);
    }

    std::vector<QString> column(const Model& model, int c) {
        std::vector<QString> out;
        for (int row = 0; row < model.rowCount(); ++row)
            out.push_back(model.cellText(row, c));
        return out;
    }

    test::ScratchConfig config;
    TempDir files;
    platform::ScopedFileRoots roots{files.path(), {}}; // the recordings' folder stands for the card
    std::list<CallRecord> records;
};

} // namespace

TEST_F(RecordListModelTest, RowShowsImagesAndTextsOfItsRecord) {
    auto model = makeModel();
    CallRecord* outgoing = add(CallOutgoing, "5551234", wav("out.wav", 2), 3725);
    outgoing->name.setText("Bob");
    outgoing->marked = 1;
    CallRecord* incoming = add(CallIncoming, "777", files.file("missing.wav"), 0);
    CallRecord* temp = add(CallMissed, "1", wav("in.tmp.wav", 1));
    CallRecord* noPath = add(CallAnswering, "2");
    CallRecord* unknown = add(9, "3");
    model->appendRows({outgoing, nullptr, incoming, temp, noPath, unknown});
    ASSERT_EQ(model->rowCount(), 5);

    const auto image = [&](int row, int c) {
        return model->data(model->index(row, c), Model::ImageRole).toInt();
    };
    EXPECT_EQ(image(0, 0), 14);
    EXPECT_EQ(image(0, 1), 9);
    EXPECT_EQ(image(0, 2), 1);
    EXPECT_EQ(image(1, 0), -1);
    EXPECT_EQ(image(1, 1), -1);
    EXPECT_EQ(image(1, 2), 0);
    EXPECT_EQ(image(2, 1), -1); // ".tmp" in the path
    EXPECT_EQ(image(2, 2), 21);
    EXPECT_EQ(image(3, 1), -1);
    EXPECT_EQ(image(3, 2), 10);
    EXPECT_EQ(image(4, 2), -1);

    const auto text = [&](int row, int c) { return model->data(model->index(row, c)).toString(); };
    EXPECT_EQ(text(0, 0), QString());
    EXPECT_EQ(text(0, 2), QStringLiteral("Outgoing"));
    EXPECT_EQ(text(0, 3), QStringLiteral("15/01/2018 09:30:12"));
    EXPECT_EQ(text(0, 4), QStringLiteral("5551234 Bob"));
    EXPECT_EQ(text(0, 5), QStringLiteral("01:02:05"));
    EXPECT_EQ(text(0, 8), outgoing->fullPath.text());
    EXPECT_EQ(text(1, 4), QStringLiteral("777 "));
    EXPECT_EQ(text(1, 5), QStringLiteral("00:00:00"));
    EXPECT_EQ(text(2, 2), QStringLiteral("Missed"));
    EXPECT_EQ(text(3, 2), QStringLiteral("Answering Machine"));
    EXPECT_EQ(text(4, 2), QString());

    EXPECT_EQ(model->record(0), outgoing);
    EXPECT_EQ(model->record(5), nullptr);
    EXPECT_EQ(model->data(model->index(0, 4), Model::BackgroundColourRole).toUInt(), 0xFFFFFFu);
    EXPECT_EQ(model->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Date and Time"));
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("File"));
    EXPECT_EQ(model->headerData(8, Qt::Horizontal, Model::DefaultWidthRole).toInt(), 300);
    EXPECT_EQ(model->headerData(3, Qt::Horizontal, Model::DefaultWidthRole).toInt(), 180);
}

TEST_F(RecordListModelTest, NotesLeaveTheNumberColumnEmpty) {
    auto model = makeModel();
    for (uint32_t type : {CallNote, CallNote2, CallTriggered})
        add(type, "5551234")->name.setText("Bob");
    add(CallIncoming, "5551234", {}, 0xFFFFFFFFu); // read as -1 second
    for (CallRecord& r : records)
        model->appendRow(&r);
    EXPECT_EQ(column(*model, 4), (std::vector<QString>{"", "", "", "5551234 "}));
    EXPECT_EQ(model->cellText(3, 5), QStringLiteral("00:00:-1"));
}

TEST_F(RecordListModelTest, RecordingLengthPrefersTheFile) {
    auto model = makeModel();
    model->appendRows({add(CallIncoming, "1", wav("a.wav", 7), 0, 99),
                       add(CallIncoming, "2", files.file("gone.wav"), 0, 99),
                       add(CallIncoming, "3", files.write("empty.wav", QByteArray(60, 'w')), 0, 99),
                       add(CallIncoming, "4", container("b.xtr", {}, 3), 0, 99)});
    EXPECT_EQ(column(*model, 6), (std::vector<QString>{"00:00:07", "00:01:39", "00:01:39", "00:00:03"}));
}

TEST_F(RecordListModelTest, RemarkColumnIsFilledForTheVx5Only) {
    CallRecord* remark = add(CallIncoming, "1", wav("r.wav", 1));
    std::memcpy(remark->bytes() + 9, "RM:Alice", 8);
    CallRecord* chinese = add(CallIncoming, "2");
    // Bytes that all read as Latin letters would stay in the system code page; the '!' selects 936.
    std::memcpy(chinese->bytes() + 9, "RM:\xC4\xE3\xBA\xC3!", 8);
    CallRecord* note = add(CallNote, "", container("n.xtr", "Bookmark at:  00:00:05\r\nOffice"));
    // Judged on its first 32 bytes only, this note is plain text in the system code page.
    CallRecord* longNote = add(CallNote, "", container("l.xtr", QByteArray(33, 'a') + ".\xC4\xE3"));
    CallRecord* plain = add(CallNote, "", wav("p.wav", 1));
    CallRecord* missing = add(CallNote, "", files.file("m.xtr"));
    const std::vector<CallRecord*> all = {remark, chinese, note, longNote, plain, missing};

    auto vx7 = makeModel(PageAll, 0);
    vx7->appendRows(all);
    EXPECT_EQ(column(*vx7, 7), std::vector<QString>(6));

    auto vx5 = makeModel(PageAll, 1);
    vx5->appendRows(all);
    const std::vector<QString> expected = {
        "Alice",  QStringLiteral("\u4f60\u597d!"),
        "Office", QString(33, QLatin1Char('a')) + QStringLiteral(".\u00c4\u00e3"),
        "",       ""};
    EXPECT_EQ(column(*vx5, 7), expected);

    // Rows listed under the VX7 get the column when re-labelled for the VX5.
    vx7->setModelCode(1);
    vx7->relabel();
    EXPECT_EQ(column(*vx7, 7), expected);
}

// Drawing a row never opens what its path names unless it is a regular file of the card: a FIFO would
// block the window, and a link leading off the card is no recording of it.
TEST_F(RecordListModelTest, AFifoOrALinkOffTheCardShowsNoRecordingAndNeverBlocks) {
    TempDir outside;
    const QString target = outside.write(QStringLiteral("x.xtr"), QByteArray(1440 + 1650, '\0'));
    const QString link = files.file(QStringLiteral("link.xtr"));
    ASSERT_TRUE(QFile::link(target, link));
    const QString fifoWav = files.file(QStringLiteral("fifo.wav"));
    const QString fifoNote = files.file(QStringLiteral("fifo.xtr"));
    for (const QString& fifo : {fifoWav, fifoNote})
        ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    auto vx5 = makeModel(PageAll, 1);
    vx5->appendRows({add(CallIncoming, "1", fifoWav, 0, 42), add(CallNote, "", fifoNote, 0, 42),
                     add(CallNote, "", link, 0, 42)});
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(vx5->data(vx5->index(row, 1), Model::ImageRole).toInt(), -1) << row;
        EXPECT_EQ(vx5->cellText(row, 6), QStringLiteral("00:00:42")) << row; // the record's own length
        EXPECT_EQ(vx5->cellText(row, 7), QString()) << row;
    }
}

TEST_F(RecordListModelTest, ColumnWidthsComeFromTheSettings) {
    config.write("TessaSet.ini",
                 "[Setting]\r\nListWndColumn1=55\r\nListWndColumn8=200\r\nListWndColumn9=0\r\n");
    EXPECT_EQ(Model::loadColumnWidths(), (std::vector<int>{55, -1, -1, -1, -1, -1, -1, 200, 0}));
    // Column 7 starts at the model's width whatever is stored for it.
    EXPECT_EQ(makeModel(PageAll, 0)->startColumnWidths(),
              (std::vector<int>{55, -1, -1, -1, -1, -1, -1, 0, 0}));
    EXPECT_EQ(makeModel(PageAll, 1)->startColumnWidths(),
              (std::vector<int>{55, -1, -1, -1, -1, -1, -1, 120, 0}));

    const std::vector<int> widths = {40, 41, 120, 180, 150, 120, 121, 0, 300};
    EXPECT_TRUE(Model::saveColumnWidths(widths));
    EXPECT_EQ(Model::loadColumnWidths(), widths);
}

TEST_F(RecordListModelTest, ClicksToggleAndChangesResetTheOrder) {
    auto model = makeModel();
    EXPECT_FALSE(model->sortByColumnClick(4)); // no rows: nothing happens
    EXPECT_EQ(model->sortColumn(), -1);
    for (const char* n : {"10", "9", "A", "1"})
        model->appendRow(add(CallIncoming, n));
    const auto numbers = [&] { return column(*model, 4); };

    ASSERT_TRUE(model->sortByColumnClick(4));
    EXPECT_EQ(numbers(), (std::vector<QString>{"1 ", "10 ", "9 ", "A "})); // trailing blank: texts compare
    EXPECT_TRUE(model->sortAscending());
    model->sortByColumnClick(4);
    EXPECT_EQ(numbers(), (std::vector<QString>{"A ", "9 ", "10 ", "1 "}));
    EXPECT_FALSE(model->sortAscending());

    // Another column sorts ascending; its texts are base-16 numbers.
    for (int row = 0; row < 4; ++row)
        model->setCellText(row, 7, model->cellText(row, 4).trimmed());
    ASSERT_TRUE(model->sortByColumnClick(7));
    EXPECT_EQ(column(*model, 7), (std::vector<QString>{"1", "9", "A", "10"}));
    EXPECT_TRUE(model->sortAscending());
    EXPECT_EQ(model->sortColumn(), 7);

    // An append resets the toggle: the same column sorts ascending again.
    model->sortByColumnClick(7);
    EXPECT_FALSE(model->sortAscending());
    model->appendRow(add(CallIncoming, "2"));
    EXPECT_EQ(model->sortColumn(), -1);
    model->sortByColumnClick(7);
    EXPECT_TRUE(model->sortAscending());
    // So does setting a text, but not an image or a colour.
    model->sortByColumnClick(7);
    model->setCellImage(0, 0, 14);
    model->setRowBackground(0, Model::kPlayingRowColour);
    EXPECT_FALSE(model->sortAscending());
    model->setCellText(0, 0, QString());
    EXPECT_EQ(model->sortColumn(), -1);
    EXPECT_TRUE(model->sortAscending());

    // The view's own order request is taken as it comes.
    model->sort(5, Qt::DescendingOrder);
    EXPECT_EQ(model->sortColumn(), 5);
    EXPECT_FALSE(model->sortAscending());
}

TEST_F(RecordListModelTest, DateColumnSortsByMoment) {
    auto model = makeModel();
    const int days[] = {5, 20, 1};
    const int months[] = {2, 1, 3};
    for (int i = 0; i < 3; ++i) {
        CallRecord* r = add(CallIncoming, QString::number(i));
        r->time.day = uint16_t(days[i]);
        r->time.month = uint16_t(months[i]);
        model->appendRow(r);
    }
    model->sortByColumnClick(3);
    EXPECT_EQ(column(*model, 3),
              (std::vector<QString>{"20/01/2018 09:30:12", "05/02/2018 09:30:12", "01/03/2018 09:30:12"}));
}

TEST_F(RecordListModelTest, SortCarriesColoursSelectionAndRowLookup) {
    auto model = makeModel();
    std::vector<CallRecord*> added;
    for (int seconds : {30, 10, 20, 40})
        added.push_back(add(CallIncoming, QString::number(seconds), {}, uint32_t(seconds)));
    model->appendRows(added);
    model->appendRow(added[2]); // the same record listed twice
    model->setRowBackground(0, Model::kPlayingRowColour);
    const QPersistentModelIndex selected = model->index(0, 4);
    int layouts = 0;
    QObject::connect(model.get(), &QAbstractItemModel::layoutChanged, [&] { ++layouts; });

    ASSERT_TRUE(model->sortByColumnClick(5));
    EXPECT_EQ(layouts, 1);
    EXPECT_EQ(column(*model, 5),
              (std::vector<QString>{"00:00:10", "00:00:20", "00:00:20", "00:00:30", "00:00:40"}));
    EXPECT_EQ(selected.row(), 3);
    EXPECT_EQ(model->record(3), added[0]);
    EXPECT_EQ(model->cellBackground(3, 8), Model::kPlayingRowColour);
    EXPECT_EQ(model->cellBackground(0, 8), Model::kWindowColour);
    for (int row = 0; row < model->rowCount(); ++row)
        EXPECT_EQ(model->rowOf(model->record(row)), model->record(row) == added[2] ? 1 : row);

    // Removing a row moves the rows after it up; the other copy of a removed record is found next.
    model->removeRow(1);
    EXPECT_EQ(model->rowOf(added[2]), 1);
    EXPECT_EQ(model->rowOf(added[0]), 2);
    EXPECT_EQ(model->rowOf(added[3]), 3);
    EXPECT_EQ(model->rowOf(added[1]), 0);
    model->removeRow(1);
    EXPECT_EQ(model->rowOf(added[2]), -1);
    EXPECT_EQ(model->rowOf(added[3]), 2);
    EXPECT_EQ(selected.row(), 1);
    EXPECT_FALSE(model->removeRow(3));

    model->setCellColours(-1, 2, 0xFF0000, 0x00FF00);
    EXPECT_EQ(model->cellTextColour(2, 2), 0xFF0000u);
    EXPECT_EQ(model->cellBackground(1, 2), 0x00FF00u);
    EXPECT_EQ(model->cellBackground(0, 3), Model::kWindowColour);

    model->clear();
    EXPECT_EQ(model->rowCount(), 0);
    EXPECT_EQ(model->rowOf(added[0]), -1);
}

TEST_F(RecordListModelTest, RelabelReadsTheStringTableAgain) {
    auto model = makeModel();
    model->appendRows({add(CallIncoming, "1"), add(CallNote, "2")});
    model->sortByColumnClick(4);
    config.write(
        "TessaLang.ini",
        QByteArray(kStringTable).replace("Incoming", "Eingehend").replace("0015=Mark", "0015=Markiert"));
    int headers = 0;
    QObject::connect(model.get(), &QAbstractItemModel::headerDataChanged, [&] { ++headers; });
    model->relabel();
    EXPECT_EQ(headers, 1);
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Markiert"));
    // Sorted by number, the note (no number) came first.
    EXPECT_EQ(column(*model, 2), (std::vector<QString>{"Note", "Eingehend"}));
    EXPECT_EQ(model->cellImage(1, 2), 0);
    EXPECT_EQ(model->sortColumn(), -1);
}
