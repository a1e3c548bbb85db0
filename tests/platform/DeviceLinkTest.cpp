#include "platform/DeviceLink.h"

#include "platform/devicelib/TessaDevice.h"
#include "support/EventLoop.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <QCoreApplication>
#include <QLibrary>
#include <QThread>
#include <set>
#include <vector>

namespace tessa::platform {
namespace {

using test::TempDir;

// Every reported field a different value; one uses all 16 bits to catch a sign slip in the decoding.
tagDeviceParameters distinctRecord(int32_t base) {
    tagDeviceParameters p{};
    for (size_t i = 0; i < kDeviceReports.size(); ++i)
        setDeviceField(p, kDeviceReports[i].offset, base + int32_t(i) * 17);
    p.offHookVoltage = 0xFFFF;
    return p;
}

QByteArray bytesOf(const tagDeviceParameters& p) {
    return QByteArray(reinterpret_cast<const char*>(p.bytes()), tagDeviceParameters::kSize);
}

class DeviceLinkTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::ensureCoreApplication(); }

    void SetUp() override {
        for (const char* name :
             {"TESSA_DEVICE_LINK", "TESSA_DEVICE_SILENT", "TESSA_DEVICE_DELAY_MS", "TESSA_DEVICE_LIBRARY"})
            environment_.unset(name);
        // A folder that does not exist yet: the recorder makes it when it first keeps a record.
        statePath_ = temp_.file(QStringLiteral("data/tessa/device-parameters.bin"));
        setEnvironment("TESSA_DEVICE_STATE", statePath_.toUtf8().constData());
    }

    void setEnvironment(const char* name, const char* value) { environment_.set(name, value); }

    std::unique_ptr<DeviceLink> openLink() {
        events_.clear();
        changes_.clear();
        auto link = std::make_unique<DeviceLink>();
        QObject::connect(link.get(), &DeviceLink::notification, [this](unsigned event, long data) {
            events_.push_back({event, data});
        });
        QObject::connect(link.get(), &DeviceLink::linkChanged, [this](bool up) { changes_.push_back(up); });
        EXPECT_TRUE(link->open()) << link->errorString().toStdString();
        return link;
    }

    std::unique_ptr<DeviceLink> openConnectedLink() {
        auto link = openLink();
        EXPECT_TRUE(test::waitUntil([&] { return link->linkUp(); }));
        return link;
    }

    int count(unsigned event) const {
        int n = 0;
        for (const auto& e : events_)
            n += e.first == event;
        return n;
    }

    std::vector<DeviceReportData> reports() const {
        std::vector<DeviceReportData> out;
        for (const auto& e : events_)
            if (e.first == TESSA_DEVICE_EVENT_REPORT)
                out.push_back(decodeDeviceReport(e.second));
        return out;
    }

    // Reads every parameter and puts each report into the field it names.
    tagDeviceParameters readRecord(DeviceLink& link) {
        events_.clear();
        EXPECT_TRUE(link.readAll());
        EXPECT_TRUE(test::waitUntil([&] {
            const auto r = reports();
            return !r.empty() && r.back().number == kReportLast;
        }));
        tagDeviceParameters p{};
        std::set<uint16_t> seen;
        for (const DeviceReportData& r : reports()) {
            EXPECT_TRUE(seen.insert(r.number).second) << "report " << r.number << " twice";
            const int offset = deviceReportOffset(r.number);
            EXPECT_GE(offset, 0) << "unknown report " << r.number;
            if (offset >= 0)
                setDeviceField(p, size_t(offset), r.value);
        }
        EXPECT_EQ(seen.size(), kDeviceReports.size());
        return p;
    }

    TempDir temp_;
    QString statePath_;
    test::ScopedEnvironment environment_;
    std::vector<std::pair<unsigned, long>> events_;
    std::vector<bool> changes_;
};

TEST_F(DeviceLinkTest, LinkComesUpBesideTheProgramAndAReadReportsTheStoredRecord) {
    // Report number and byte offset of each field, written out independently of the program's table.
    const std::vector<std::pair<uint16_t, size_t>> layout = {
        {0, 0},    {1, 4},    {3, 8},    {4, 12},   {5, 16},   {6, 20},   {7, 24},   {8, 28},
        {9, 32},   {10, 36},  {11, 40},  {12, 44},  {13, 48},  {14, 52},  {128, 56}, {15, 60},
        {16, 64},  {17, 68},  {18, 72},  {20, 76},  {21, 80},  {129, 84}, {24, 92},  {25, 96},
        {26, 100}, {27, 104}, {28, 108}, {29, 112}, {30, 116}, {31, 120}, {22, 124}};
    QByteArray stored(tagDeviceParameters::kSize, 0);
    for (const auto& [number, offset] : layout)
        writeLeU32(reinterpret_cast<uint8_t*>(stored.data()) + offset, uint32_t(1000 + offset));
    writeLeU32(reinterpret_cast<uint8_t*>(stored.data()) + 84, 0xFFFF); // all 16 bits: no sign slip
    temp_.write(QStringLiteral("data/tessa/device-parameters.bin"), stored);

    auto link = openConnectedLink();
    EXPECT_TRUE(link->libraryPath().startsWith(QStringLiteral(TESSA_BIN_DIR)))
        << link->libraryPath().toStdString();
    EXPECT_EQ(changes_, std::vector<bool>{true});
    ASSERT_FALSE(events_.empty());
    EXPECT_EQ(events_.front(), (std::pair<unsigned, long>{TESSA_DEVICE_EVENT_LINK, 1}));

    const tagDeviceParameters decoded = readRecord(*link);
    for (const auto& [number, offset] : layout) {
        const uint16_t expected = offset == 84 ? 0xFFFF : uint16_t(1000 + offset);
        int reported = -1;
        for (const DeviceReportData& r : reports())
            if (r.number == number)
                reported = r.value;
        EXPECT_EQ(reported, expected) << "report " << number;
    }
    EXPECT_EQ(bytesOf(decoded), stored);
}

TEST_F(DeviceLinkTest, WritesAreAcknowledgedInOrderAndKeptForTheNextLink) {
    {
        auto link = openConnectedLink();
        // Never written: the factory settings lie inside the ranges the page shows.
        const tagDeviceParameters factory = readRecord(*link);
        EXPECT_GE(factory.displayBrightness, 1);
        EXPECT_LE(factory.displayBrightness, 6);
        EXPECT_GE(factory.ringsBeforeRemoteAnswering, 5);
        EXPECT_LE(factory.ringsBeforeRemoteAnswering, 20);
        EXPECT_GE(factory.offHookVoltage, 150);
        EXPECT_LE(factory.offHookVoltage, 300);
        EXPECT_GE(factory.month, 1);
        EXPECT_LE(factory.month, 12);
        EXPECT_FALSE(QFile::exists(statePath_));

        events_.clear();
        uint32_t first = kNoWriteRequest;
        uint32_t second = kNoWriteRequest;
        ASSERT_TRUE(link->writeAll(distinctRecord(100), &first));
        ASSERT_TRUE(link->writeAll(distinctRecord(2000), &second));
        EXPECT_NE(first, kNoWriteRequest);
        EXPECT_NE(second, first);
        ASSERT_TRUE(test::waitUntil([&] { return count(TESSA_DEVICE_EVENT_WRITTEN) == 2; }));
        EXPECT_TRUE(deviceAcknowledges(events_[0].second, first));
        EXPECT_TRUE(deviceAcknowledges(events_[1].second, second));
        EXPECT_EQ(TempDir::read(statePath_), bytesOf(distinctRecord(2000)));
    }
    auto fresh = openConnectedLink();
    EXPECT_EQ(bytesOf(readRecord(*fresh)), bytesOf(distinctRecord(2000)));
}

TEST_F(DeviceLinkTest, DisconnectedRecorderStaysDownAndRefusesWork) {
    setEnvironment("TESSA_DEVICE_LINK", "down");
    auto link = openLink();
    ASSERT_TRUE(test::waitUntil([&] { return count(TESSA_DEVICE_EVENT_LINK) == 1; }));
    EXPECT_NE(events_.front().second, 1);
    EXPECT_FALSE(link->linkUp());
    EXPECT_TRUE(changes_.empty());

    EXPECT_FALSE(link->readAll());
    uint32_t request = 0;
    EXPECT_FALSE(link->writeAll(distinctRecord(1), &request));
    EXPECT_EQ(request, kNoWriteRequest);
}

TEST_F(DeviceLinkTest, SilentRecorderAcceptsButNeverAnswers) {
    setEnvironment("TESSA_DEVICE_SILENT", "1");
    auto link = openConnectedLink();
    events_.clear();
    EXPECT_TRUE(link->readAll());
    uint32_t request = kNoWriteRequest;
    EXPECT_TRUE(link->writeAll(distinctRecord(1), &request));
    EXPECT_NE(request, kNoWriteRequest);
    test::processEventsFor(400);
    EXPECT_TRUE(events_.empty());
    EXPECT_FALSE(QFile::exists(statePath_));
}

TEST_F(DeviceLinkTest, CloseDuringASlowReadEndsTheReports) {
    setEnvironment("TESSA_DEVICE_DELAY_MS", "20");
    auto link = openConnectedLink();
    events_.clear();
    ASSERT_TRUE(link->readAll());
    ASSERT_TRUE(test::waitUntil([&] { return reports().size() >= 3; }));
    link->close();
    const size_t delivered = events_.size();
    test::processEventsFor(300); // long enough for a dozen more reports
    EXPECT_EQ(events_.size(), delivered);
    EXPECT_FALSE(link->linkUp());
    EXPECT_FALSE(link->readAll());
}

TEST_F(DeviceLinkTest, CloseDoesNotWaitForARecorderThatAnswersSlowly) {
    // Each report would take ten minutes: close() coming back at all shows that Free interrupts the wait.
    setEnvironment("TESSA_DEVICE_DELAY_MS", "600000");
    auto link = openConnectedLink();
    ASSERT_TRUE(link->readAll());
    link->close();
    test::processEventsFor(50);
    EXPECT_EQ(count(TESSA_DEVICE_EVENT_REPORT), 0);
}

TEST_F(DeviceLinkTest, MissingLibraryOrExportsLeaveTheLinkClosedWithAReason) {
    setEnvironment("TESSA_DEVICE_LIBRARY", "/nonexistent/folder/libTessaDevice.so");
    DeviceLink missing;
    EXPECT_FALSE(missing.open());
    EXPECT_FALSE(missing.loaded());
    EXPECT_FALSE(missing.errorString().isEmpty());
    EXPECT_FALSE(missing.readAll());
    uint32_t request = 0;
    EXPECT_FALSE(missing.writeAll(distinctRecord(1), &request));
    EXPECT_EQ(request, kNoWriteRequest);
    missing.close();

    // A real library, but not a device library.
    setEnvironment("TESSA_DEVICE_LIBRARY", "gsm");
    DeviceLink foreign;
    EXPECT_FALSE(foreign.open());
    EXPECT_FALSE(foreign.loaded());
    EXPECT_TRUE(foreign.errorString().contains(QStringLiteral("VX7Device_Init")))
        << foreign.errorString().toStdString();
}

// The library on its own, as a vendor's replacement would be driven.
class DeviceLibraryTest : public DeviceLinkTest {
protected:
    void SetUp() override {
        DeviceLinkTest::SetUp();
        library_.setFileName(QStringLiteral(TESSA_BIN_DIR "/TessaDevice"));
        ASSERT_TRUE(library_.load()) << library_.errorString().toStdString();
        init_ = reinterpret_cast<decltype(init_)>(library_.resolve("VX7Device_Init"));
        readAll_ = reinterpret_cast<decltype(readAll_)>(library_.resolve("VX7Device_ReadAll"));
        writeAll_ = reinterpret_cast<decltype(writeAll_)>(library_.resolve("VX7Device_WriteAll"));
        free_ = reinterpret_cast<decltype(free_)>(library_.resolve("VX7Device_Free"));
        ASSERT_TRUE(init_ && readAll_ && writeAll_ && free_);
    }
    void TearDown() override {
        if (free_)
            free_();
    }

    static void sink(void* context, unsigned int event, long data) {
        auto* self = static_cast<DeviceLibraryTest*>(context);
        if (event == TESSA_DEVICE_EVENT_LINK)
            self->linkState_ = data;
        else if (event == TESSA_DEVICE_EVENT_REPORT)
            ++self->reportCount_;
    }

    QLibrary library_;
    decltype(&VX7Device_Init) init_ = nullptr;
    decltype(&VX7Device_ReadAll) readAll_ = nullptr;
    decltype(&VX7Device_WriteAll) writeAll_ = nullptr;
    decltype(&VX7Device_Free) free_ = nullptr;
    std::atomic<long> linkState_{-1};
    std::atomic<int> reportCount_{0};
};

TEST_F(DeviceLibraryTest, CallsOutOfTurnAreRefusedHarmlessly) {
    EXPECT_EQ(free_(), 0);
    EXPECT_EQ(readAll_(), 0);
    uint32_t request = 0;
    const tagDeviceParameters record = distinctRecord(5);
    auto* cRecord = reinterpret_cast<const ::tagDeviceParameters*>(record.bytes());
    EXPECT_EQ(writeAll_(cRecord, &request), 0);
    EXPECT_EQ(request, kNoWriteRequest);
    EXPECT_EQ(init_(nullptr, this), 0);

    EXPECT_EQ(init_(&sink, this), 1);
    EXPECT_EQ(init_(&sink, this), 0);
    EXPECT_EQ(readAll_(), 0) << "read before the recorder connected";
    EXPECT_EQ(writeAll_(nullptr, &request), 0);
    EXPECT_EQ(writeAll_(cRecord, nullptr), 0);
    EXPECT_EQ(free_(), 1);
    EXPECT_EQ(free_(), 0);
}

TEST_F(DeviceLibraryTest, NothingReachesTheSinkAfterFreeReturns) {
    setEnvironment("TESSA_DEVICE_DELAY_MS", "10");
    ASSERT_EQ(init_(&sink, this), 1);
    ASSERT_TRUE(test::waitUntil([&] { return linkState_ == 1; }));
    ASSERT_EQ(readAll_(), 1);
    ASSERT_TRUE(test::waitUntil([&] { return reportCount_ >= 2; }));
    ASSERT_EQ(free_(), 1);
    const int reported = reportCount_;
    QThread::msleep(200); // twenty report intervals
    EXPECT_EQ(reportCount_, reported);
    EXPECT_LT(reported, int(kDeviceReports.size()));
}

} // namespace
} // namespace tessa::platform
