// A simulated recorder behind the device library's exports, so that the program's parameters page can be
// used and tested without the hardware. The recorder "connects" shortly after the link opens, answers a
// read with one report per parameter, in an order of its own each time but always with report 31 last,
// and a write with its request number. Its parameter record survives between runs in the user's data
// folder.
//
// Environment, read when the link opens:
//   TESSA_DEVICE_LINK=down     the recorder never connects (link reported down)
//   TESSA_DEVICE_SILENT=1      reads and writes are accepted but never answered
//   TESSA_DEVICE_DELAY_MS=N    N milliseconds before each report and each acknowledgement
//   TESSA_DEVICE_DROP_AFTER=N  the link drops after the N-th report of a read and stays down
//   TESSA_DEVICE_STATE=path    where the record is kept instead of $XDG_DATA_HOME/tessa/device-parameters.bin

#include "format/DeviceParameters.h"
#include "platform/devicelib/TessaDevice.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <pwd.h>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using tessa::tagDeviceParameters;
using Milliseconds = std::chrono::milliseconds;

// Long enough that the program sees the link come up after it has finished opening its window.
constexpr Milliseconds kConnectDelay{150};
constexpr long kMaxDelayMs = 24L * 3600 * 1000;

struct Options {
    bool linkDown = false;
    bool silent = false;
    Milliseconds delay{0};
    long dropAfterReports = -1; // negative: never
    std::string statePath;      // empty: the record lives in memory only
};

std::string environmentText(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string defaultStatePath() {
    std::string dataHome = environmentText("XDG_DATA_HOME");
    // A relative XDG_DATA_HOME is invalid and must be ignored.
    if (dataHome.empty() || dataHome.front() != '/') {
        std::string home = environmentText("HOME");
        if (home.empty())
            if (const passwd* pw = getpwuid(getuid()))
                home = pw->pw_dir;
        if (home.empty())
            return {};
        dataHome = home + "/.local/share";
    }
    return dataHome + "/tessa/device-parameters.bin";
}

Options readOptions() {
    Options options;
    options.linkDown = environmentText("TESSA_DEVICE_LINK") == "down";
    const std::string silent = environmentText("TESSA_DEVICE_SILENT");
    options.silent = !silent.empty() && silent != "0";
    const long delay = std::strtol(environmentText("TESSA_DEVICE_DELAY_MS").c_str(), nullptr, 10);
    options.delay = Milliseconds(std::clamp(delay, 0L, kMaxDelayMs));
    const std::string drop = environmentText("TESSA_DEVICE_DROP_AFTER");
    if (!drop.empty())
        options.dropAfterReports = std::max(0L, std::strtol(drop.c_str(), nullptr, 10));
    options.statePath = environmentText("TESSA_DEVICE_STATE");
    if (options.statePath.empty())
        options.statePath = defaultStatePath();
    return options;
}

// A recorder fresh from the factory, its clock set to the moment it was first asked.
tagDeviceParameters factoryParameters() {
    tagDeviceParameters p{};
    p.callerIdTimeSync = 1;
    p.language = 0;
    p.triggerLevel = 5;
    p.triggerEndTime = 10;
    p.lineRecordingMode = 0;
    p.microphoneRecordingMode = 1;
    p.maxRecordingTime = 0;
    p.minRecordingTime = 0;
    p.loopRecording = 1;
    p.storageReminder = 10;
    p.cardReservedSpace = 10;
    p.incomingPromptTone = 0;
    p.dateFormat = 0;
    p.timeFormat = 1;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    p.year = local.tm_year + 1900;
    p.month = local.tm_mon + 1;
    p.day = local.tm_mday;
    p.hour = local.tm_hour;
    p.minute = local.tm_min;
    p.displayBrightness = 4;
    p.dialOutWait = 5;
    p.offHookVoltage = 200;
    p.unused = 0;
    p.answeringMachine = 0;
    p.monitorWhileAnswering = 0;
    p.maxMessageTime = 1;
    p.ringsBeforeAnswering = 3;
    p.ringsBeforeRemoteAnswering = 10;
    p.remoteCodeDigit1 = 0;
    p.remoteCodeDigit2 = 0;
    p.remoteCodeDigit3 = 0;
    p.manualRecordingMode = 0;
    return p;
}

// The stored record, or the factory one when there is none or the file is not exactly one record.
tagDeviceParameters loadParameters(const std::string& path) {
    tagDeviceParameters p{};
    if (!path.empty()) {
        std::ifstream in(path, std::ios::binary);
        char probe;
        if (in.read(reinterpret_cast<char*>(p.bytes()), tagDeviceParameters::kSize) && !in.get(probe))
            return p;
    }
    return factoryParameters();
}

// Replaces the file in one step, so a crash never leaves half a record behind.
bool saveParameters(const std::string& path, const tagDeviceParameters& p) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path target(path);
    if (target.has_parent_path())
        fs::create_directories(target.parent_path(), error);
    const std::string temporary = path + ".tmp" + std::to_string(getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(p.bytes()), tagDeviceParameters::kSize);
        out.close();
        if (!out) {
            fs::remove(temporary, error);
            return false;
        }
    }
    fs::rename(temporary, target, error);
    if (error) {
        fs::remove(temporary, error);
        return false;
    }
    return true;
}

class Recorder : public std::enable_shared_from_this<Recorder> {
public:
    Recorder(TessaDeviceNotify notify, void* context, Options options)
        : notify_(notify), context_(context), options_(std::move(options)),
          record_(loadParameters(options_.statePath)) {}

    ~Recorder() { stop(); }

    void start() {
        thread_ = std::thread([self = shared_from_this()] { self->run(); });
    }

    // After this returns the sink is not called again. Called from the sink itself, the thread is left to
    // end on its own (it holds its own reference).
    void stop() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            jobs_.clear();
        }
        wake_.notify_all();
        if (!thread_.joinable())
            return;
        if (thread_.get_id() == std::this_thread::get_id())
            thread_.detach();
        else
            thread_.join();
    }

    bool read() {
        std::lock_guard lock(mutex_);
        if (!linkUp_ || stopping_)
            return false;
        if (!options_.silent) {
            jobs_.push_back({Job::Read, {}, 0});
            wake_.notify_all();
        }
        return true;
    }

    uint32_t write(const tagDeviceParameters& record) {
        std::lock_guard lock(mutex_);
        if (!linkUp_ || stopping_)
            return tessa::kNoWriteRequest;
        // 1 to 65535: the acknowledgement carries 16 bits, and 0 is what an unset identifier looks like.
        lastRequest_ = lastRequest_ % 0xFFFFu + 1;
        if (!options_.silent) {
            jobs_.push_back({Job::Write, record, lastRequest_});
            wake_.notify_all();
        }
        return lastRequest_;
    }

private:
    struct Job {
        enum Kind { Read, Write } kind;
        tagDeviceParameters record;
        uint32_t request;
    };

    void run() {
        if (!pause(kConnectDelay))
            return;
        bool up = !options_.linkDown;
        {
            std::lock_guard lock(mutex_);
            linkUp_ = up;
        }
        if (!notify(TESSA_DEVICE_EVENT_LINK, up ? 1 : 0))
            return;
        for (;;) {
            Job job;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
                if (stopping_)
                    return;
                job = jobs_.front();
                jobs_.pop_front();
            }
            const bool going = job.kind == Job::Read ? reportAll() : acknowledge(job);
            if (!going)
                return;
        }
    }

    bool reportAll() {
        // Any order will do for the program; only the end of a read is fixed.
        std::vector<tessa::DeviceReport> order;
        for (const tessa::DeviceReport& r : tessa::kDeviceReports)
            if (r.number != tessa::kReportLast)
                order.push_back(r);
        std::shuffle(order.begin(), order.end(), random_);
        for (const tessa::DeviceReport& r : tessa::kDeviceReports)
            if (r.number == tessa::kReportLast)
                order.push_back(r);
        long sent = 0;
        for (const tessa::DeviceReport& r : order) {
            if (options_.dropAfterReports >= 0 && sent == options_.dropAfterReports)
                return dropLink();
            const auto value = static_cast<uint16_t>(tessa::deviceField(record_, r.offset));
            if (!pause(options_.delay) ||
                !notify(TESSA_DEVICE_EVENT_REPORT, tessa::encodeDeviceReport(r.number, value)))
                return false;
            ++sent;
        }
        return true;
    }

    // The cable pulled in the middle of a read: the link goes down and nothing more is answered.
    bool dropLink() {
        {
            std::lock_guard lock(mutex_);
            linkUp_ = false;
            jobs_.clear();
        }
        notify(TESSA_DEVICE_EVENT_LINK, 0);
        return false;
    }

    // A record that could not be kept is not acknowledged: the program then gives the write up, and the
    // next read shows what the recorder really holds.
    bool acknowledge(const Job& job) {
        if (!pause(options_.delay))
            return false;
        if (!options_.statePath.empty() && !saveParameters(options_.statePath, job.record))
            return true;
        record_ = job.record;
        return notify(TESSA_DEVICE_EVENT_WRITTEN, tessa::encodeDeviceAcknowledgement(job.request));
    }

    // Waits, unless stopped meanwhile; false when stopping.
    bool pause(Milliseconds duration) {
        std::unique_lock lock(mutex_);
        return !wake_.wait_for(lock, duration, [this] { return stopping_; });
    }

    // The sink is called without the lock so that it may take its time; stop() waits for it by joining.
    bool notify(unsigned event, long data) {
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                return false;
        }
        notify_(context_, event, data);
        return true;
    }

    const TessaDeviceNotify notify_;
    void* const context_;
    const Options options_;

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    bool linkUp_ = false;
    std::deque<Job> jobs_;
    uint32_t lastRequest_ = 0;
    std::minstd_rand random_{std::random_device{}()};

    tagDeviceParameters record_; // the worker thread's after start()
    std::thread thread_;
};

// The one link of the process; stopped also when the library is unloaded with the link still open.
struct Link {
    std::mutex mutex;
    std::shared_ptr<Recorder> recorder;

    ~Link() {
        if (recorder)
            recorder->stop();
    }
};

Link& link() {
    static Link instance;
    return instance;
}

std::shared_ptr<Recorder> currentRecorder() {
    std::lock_guard lock(link().mutex);
    return link().recorder;
}

} // namespace

extern "C" {

TESSA_DEVICE_API int VX7Device_Init(TessaDeviceNotify notify, void* context) {
    if (!notify)
        return 0;
    try {
        std::lock_guard lock(link().mutex);
        if (link().recorder)
            return 0;
        auto recorder = std::make_shared<Recorder>(notify, context, readOptions());
        recorder->start();
        link().recorder = std::move(recorder);
        return 1;
    } catch (...) {
        return 0;
    }
}

TESSA_DEVICE_API int VX7Device_ReadAll(void) {
    try {
        const auto recorder = currentRecorder();
        return recorder && recorder->read() ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

TESSA_DEVICE_API int VX7Device_WriteAll(const ::tagDeviceParameters* parameters, uint32_t* requestNumber) {
    if (!requestNumber)
        return 0;
    *requestNumber = TESSA_DEVICE_NO_REQUEST;
    if (!parameters)
        return 0;
    try {
        const auto recorder = currentRecorder();
        if (!recorder)
            return 0;
        tessa::tagDeviceParameters record;
        std::copy_n(reinterpret_cast<const uint8_t*>(parameters), tessa::tagDeviceParameters::kSize,
                    record.bytes());
        *requestNumber = recorder->write(record);
        return *requestNumber != TESSA_DEVICE_NO_REQUEST ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

TESSA_DEVICE_API int VX7Device_Free(void) {
    try {
        std::shared_ptr<Recorder> recorder;
        {
            std::lock_guard lock(link().mutex);
            recorder = std::move(link().recorder);
        }
        if (!recorder)
            return 0;
        recorder->stop();
        return 1;
    } catch (...) {
        return 0;
    }
}

} // extern "C"
