// The simulated recorder's read order and its dropped-link switch, through the program's device link.

#include "platform/devicelib/TessaDevice.h"
#include "platform/DeviceLink.h"
#include "support/TempDir.h"

#include <functional>
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <set>
#include <vector>

namespace tessa::platform {
namespace {

void ensureApplication() {
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "tessa_tests";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
}

bool pumpUntil(const std::function<bool()>& done, int limitMs = 20000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents();
        QThread::msleep(2);
    }
    return true;
}

class DeviceSimulatorTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureApplication(); }
    void SetUp() override {
        for (const char* name : {"TESSA_DEVICE_LINK", "TESSA_DEVICE_SILENT", "TESSA_DEVICE_DELAY_MS",
                                 "TESSA_DEVICE_LIBRARY", "TESSA_DEVICE_DROP_AFTER", "TESSA_DEVICE_STATE"}) {
            saved.push_back({name, qEnvironmentVariableIsSet(name), qgetenv(name)});
            qunsetenv(name);
        }
        qputenv("TESSA_DEVICE_STATE", temp.file(QStringLiteral("device.bin")).toUtf8());
    }
    void TearDown() override {
        if (link)
            link->close();
        for (const auto& s : saved)
            if (s.had)
                qputenv(s.name, s.value);
            else
                qunsetenv(s.name);
    }
    void openLink() {
        link = std::make_unique<DeviceLink>();
        QObject::connect(link.get(), &DeviceLink::notification, [this](unsigned event, long data) {
            events.push_back({event, data});
        });
        ASSERT_TRUE(link->open()) << link->errorString().toStdString();
        ASSERT_TRUE(pumpUntil([&] { return !events.empty(); }));
    }
    std::vector<uint16_t> reportNumbers() const {
        std::vector<uint16_t> numbers;
        for (const auto& [event, data] : events)
            if (event == TESSA_DEVICE_EVENT_REPORT)
                numbers.push_back(decodeDeviceReport(data).number);
        return numbers;
    }

    struct Saved {
        const char* name;
        bool had;
        QByteArray value;
    };
    std::vector<Saved> saved;
    test::TempDir temp;
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
        ASSERT_TRUE(pumpUntil([&] {
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
    qputenv("TESSA_DEVICE_DROP_AFTER", "3");
    openLink();
    ASSERT_TRUE(link->linkUp());
    events.clear();
    ASSERT_TRUE(link->readAll());
    ASSERT_TRUE(pumpUntil([&] { return !link->linkUp(); }));
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
