// The simulated recorder's read order and its dropped-link switch, through the program's device link.

#include "platform/devicelib/TessaDevice.h"
#include "platform/DeviceLink.h"
#include "support/EventLoop.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

#include <functional>
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QThread>
#include <set>
#include <vector>

namespace tessa::platform {
namespace {

class DeviceSimulatorTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::ensureCoreApplication(); }
    void SetUp() override {
        for (const char* name : {"TESSA_DEVICE_LINK", "TESSA_DEVICE_SILENT", "TESSA_DEVICE_DELAY_MS",
                                 "TESSA_DEVICE_LIBRARY", "TESSA_DEVICE_DROP_AFTER"})
            environment.unset(name);
        environment.set("TESSA_DEVICE_STATE", temp.file(QStringLiteral("device.bin")).toUtf8());
    }
    void TearDown() override {
        if (link)
            link->close();
    }
    void openLink() {
        link = std::make_unique<DeviceLink>();
        QObject::connect(link.get(), &DeviceLink::notification, [this](unsigned event, long data) {
            events.push_back({event, data});
        });
        ASSERT_TRUE(link->open()) << link->errorString().toStdString();
        ASSERT_TRUE(test::waitUntil([&] { return !events.empty(); }));
    }
    std::vector<uint16_t> reportNumbers() const {
        std::vector<uint16_t> numbers;
        for (const auto& [event, data] : events)
            if (event == TESSA_DEVICE_EVENT_REPORT)
                numbers.push_back(decodeDeviceReport(data).number);
        return numbers;
    }

    test::TempDir temp;
    test::ScopedEnvironment environment;
    std::unique_ptr<DeviceLink> link;
    std::vector<std::pair<unsigned, long>> events;
};

TEST_F(DeviceSimulatorTest, EveryReadReportsEachFieldOnceInItsOwnOrderEndingWith31) {
    openLink();
    ASSERT_TRUE(link->linkUp());
    std::set<std::vector<uint16_t>> orders;
    for (int read = 0; read < 5; ++read) {
        events.clear();
        ASSERT_TRUE(link->readAll());
        ASSERT_TRUE(test::waitUntil([&] {
            const auto numbers = reportNumbers();
            return !numbers.empty() && numbers.back() == kReportLast;
        }));
        const auto numbers = reportNumbers();
        ASSERT_EQ(numbers.size(), kDeviceReports.size());
        EXPECT_EQ(std::set<uint16_t>(numbers.begin(), numbers.end()).size(), kDeviceReports.size());
        orders.insert(numbers);
    }
    EXPECT_GT(orders.size(), 1u) << "the order changes from read to read";
}

TEST_F(DeviceSimulatorTest, TheLinkDropsAfterTheGivenNumberOfReports) {
    environment.set("TESSA_DEVICE_DROP_AFTER", "3");
    openLink();
    ASSERT_TRUE(link->linkUp());
    events.clear();
    ASSERT_TRUE(link->readAll());
    ASSERT_TRUE(test::waitUntil([&] { return !link->linkUp(); }));
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(reportNumbers().size(), 3u);
    EXPECT_EQ(events.back(), (std::pair<unsigned, long>{TESSA_DEVICE_EVENT_LINK, 0}));
    EXPECT_FALSE(link->readAll());
    uint32_t request = 0;
    tagDeviceParameters p{};
    EXPECT_FALSE(link->writeAll(p, &request));
    EXPECT_EQ(request, kNoWriteRequest);
}

} // namespace
} // namespace tessa::platform
