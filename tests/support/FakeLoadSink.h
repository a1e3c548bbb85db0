#pragma once

// A LoadSink that records what the loader, lister and rebuild worker ask of the window.

#include "store/LoadSink.h"
#include "support/EventLoop.h"

#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <QCoreApplication>
#include <QStringList>
#include <QThread>

namespace tessa::test {

class FakeLoadSink : public LoadSink {
public:
    void showProgress(int captionText, uint32_t total, bool centre) override {
        note(QStringLiteral("show %1 %2%3").arg(captionText).arg(total).arg(centre ? " centred" : ""));
        if (onShowProgress)
            onShowProgress();
    }
    void setProgress(uint32_t position, const QString& line) override {
        onThread();
        progress.emplace_back(position, line);
    }
    void hideProgress() override { note(QStringLiteral("hide")); }
    void clearRecordLists() override {
        note(QStringLiteral("clear"));
        rows.clear();
    }
    void appendRows(int pageType, const std::vector<CallRecord*>& records,
                    const RecordLease& lease) override {
        onThread();
        ++appendCalls;
        leases.push_back(lease);
        auto& page = rows[pageType];
        page.insert(page.end(), records.begin(), records.end());
        if (onAppendRows)
            onAppendRows(pageType);
    }
    void showPage(int pageType) override { note(QStringLiteral("page %1").arg(pageType)); }
    void updateFreeSpace() override { note(QStringLiteral("free space")); }
    void showRebuildActivity(char driveLetter, bool active) override {
        note(QStringLiteral("rebuild %1 %2").arg(QChar::fromLatin1(driveLetter)).arg(active ? "on" : "off"));
    }
    void rebuildFailed(char driveLetter) override {
        note(QStringLiteral("rebuild %1 failed").arg(QChar::fromLatin1(driveLetter)));
    }
    bool offerAutoBackup() override {
        note(QStringLiteral("offer backup"));
        return onOfferBackup ? onOfferBackup() : false;
    }

    // The calls other than rows and progress positions, in order.
    QStringList calls;
    std::map<int, std::vector<CallRecord*>> rows;
    int appendCalls = 0;
    std::vector<RecordLease> leases; // one per appendRows call
    std::vector<std::pair<uint32_t, QString>> progress;
    std::function<void()> onShowProgress;
    std::function<void(int pageType)> onAppendRows;
    std::function<bool()> onOfferBackup;

private:
    void note(const QString& call) {
        onThread();
        calls << call;
    }
    // Every call must arrive on the thread that owns the window.
    void onThread() { EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread()); }
};

} // namespace tessa::test
