#include "platform/DeviceLink.h"

#include "platform/devicelib/TessaDevice.h"
#include "platform/ExecutableFolder.h"

#include <QDir>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <type_traits>

namespace tessa::platform {

struct DeviceLink::Exports {
    decltype(&VX7Device_Init) init = nullptr;
    decltype(&VX7Device_ReadAll) readAll = nullptr;
    decltype(&VX7Device_WriteAll) writeAll = nullptr;
    decltype(&VX7Device_Free) free = nullptr;
};

namespace {

// The library gets a number as its context rather than the object's address: a notification that races
// with close(), or a library that calls after it was freed, then finds no link instead of a dead one.
struct DeviceSinkRegistry {
    QMutex mutex;
    QHash<quintptr, DeviceLink*> links;
    quintptr lastId = 0;
};

DeviceSinkRegistry& deviceSinks() {
    static DeviceSinkRegistry registry;
    return registry;
}

} // namespace

DeviceLink::DeviceLink(QObject* parent) : QObject(parent) {}

DeviceLink::~DeviceLink() {
    close();
}

bool DeviceLink::open() {
    if (openCalled_)
        return loaded_;
    openCalled_ = true;
    if (!loadLibrary() || !resolveExports())
        return false;
    loaded_ = true;
    {
        DeviceSinkRegistry& sinks = deviceSinks();
        QMutexLocker lock(&sinks.mutex);
        sinkId_ = ++sinks.lastId;
        sinks.links.insert(sinkId_, this);
    }
    live_ = true;
    // The result does not matter to the program: without a link the library simply reports nothing.
    if (!exports_->init(&DeviceLink::notifyTrampoline, reinterpret_cast<void*>(sinkId_)))
        error_ = QStringLiteral("The device library did not open the link (is another link open?)");
    return true;
}

bool DeviceLink::loadLibrary() {
    QStringList candidates;
    const QString chosen = qEnvironmentVariable("TESSA_DEVICE_LIBRARY");
    if (!chosen.isEmpty()) {
        candidates << chosen;
    } else {
        const QString folder = executableFolder();
        candidates << folder + QStringLiteral("/TessaDevice")
                   << QDir::cleanPath(folder + QStringLiteral("/../lib/TessaDevice"))
                   << QStringLiteral("TessaDevice");
    }
    QStringList failures;
    for (const QString& candidate : candidates) {
        library_.setFileName(candidate);
        if (library_.load())
            return true;
        failures << library_.errorString();
    }
    error_ = QStringLiteral("The device library could not be loaded: ") + failures.join(QStringLiteral("; "));
    return false;
}

bool DeviceLink::resolveExports() {
    auto exports = std::make_unique<Exports>();
    QString missing;
    auto resolve = [&](auto& function, const char* name) {
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(library_.resolve(name));
        if (!function && missing.isEmpty())
            missing = QString::fromLatin1(name);
    };
    resolve(exports->init, "VX7Device_Init");
    resolve(exports->readAll, "VX7Device_ReadAll");
    resolve(exports->writeAll, "VX7Device_WriteAll");
    resolve(exports->free, "VX7Device_Free");
    if (!missing.isEmpty()) {
        error_ = QStringLiteral("The device library %1 has no export %2").arg(library_.fileName(), missing);
        library_.unload();
        return false;
    }
    exports_ = std::move(exports);
    return true;
}

bool DeviceLink::readAll() {
    return live_ && exports_->readAll() != 0;
}

bool DeviceLink::writeAll(const tagDeviceParameters& parameters, uint32_t* request) {
    uint32_t id = kNoWriteRequest;
    const bool accepted =
        live_ &&
        exports_->writeAll(reinterpret_cast<const ::tagDeviceParameters*>(parameters.bytes()), &id) != 0;
    if (request)
        *request = accepted ? id : kNoWriteRequest;
    return accepted;
}

void DeviceLink::close() {
    if (!live_.exchange(false))
        return;
    linkUp_ = false;
    {
        DeviceSinkRegistry& sinks = deviceSinks();
        QMutexLocker lock(&sinks.mutex);
        sinks.links.remove(sinkId_);
    }
    queue_.close();
    // The library is left loaded: a vendor library may keep code running briefly after Free, or not return
    // from it at all. The thread owns nothing but the export's address.
    if (freeing_.start([free = exports_->free] { free(); }))
        freeing_.stop();
    else
        exports_->free();
}

void DeviceLink::notifyTrampoline(void* context, unsigned int event, long data) {
    DeviceLink* link = nullptr;
    GuiQueue::Link target;
    {
        DeviceSinkRegistry& sinks = deviceSinks();
        QMutexLocker lock(&sinks.mutex);
        link = sinks.links.value(reinterpret_cast<quintptr>(context));
        if (!link)
            return;
        target = link->queue_.link();
    }
    // The call runs only while the link's queue is open, that is until close(): the link is alive then.
    target.post([link, event, data] { link->deliver(event, data); });
}

void DeviceLink::deliver(unsigned event, long data) {
    if (!live_)
        return;
    if (event == TESSA_DEVICE_EVENT_LINK) {
        const bool up = data == 1;
        if (up != linkUp_) {
            linkUp_ = up;
            emit linkChanged(up);
            if (!live_) // closed by a receiver
                return;
        }
    }
    emit notification(event, data);
}

} // namespace tessa::platform
