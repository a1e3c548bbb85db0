#pragma once

// The program's side of the link to the recorder: loads the device library (libTessaDevice.so) at run
// time, opens the link and hands the library's notifications to the thread this object lives on, where
// they arrive as the signal notification(event, data) with the events of the C interface:
// 0 link state, 1 parameter report, 2 write acknowledgement.
//
// Where the library comes from: TESSA_DEVICE_LIBRARY when set (a path or a library name, nothing else is
// tried); otherwise "TessaDevice" beside the executable, then in ../lib beside it (installed), then on the
// system's library path. A library that cannot be loaded, or lacks one of the four exports, leaves the link
// closed: loaded() is false and errorString() says why, so that the window decides what to tell the user.
// A loaded library that refuses to open the link is noted in errorString() too, but counts as loaded.
//
// The library serves one link per process: open one DeviceLink at a time.

#include "format/DeviceParameters.h"
#include "platform/GuiQueue.h"
#include "platform/WorkerSlot.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <QLibrary>
#include <QObject>
#include <QString>

namespace tessa::platform {

class DeviceLink : public QObject {
    Q_OBJECT
public:
    explicit DeviceLink(QObject* parent = nullptr);
    ~DeviceLink() override;

    // Loads the library and opens the link; true when the library is in place. Once only.
    bool open();
    bool loaded() const { return loaded_; }
    QString errorString() const { return error_; }
    // The file the library was loaded from.
    QString libraryPath() const { return library_.fileName(); }

    // Last link state reported by the library; false until it reports the link up and after close().
    bool linkUp() const { return linkUp_; }

    // Asks for every parameter; true when the read was started (reports follow).
    bool readAll();
    // Sends the record; true when the write was accepted. *request receives the identifier that the
    // acknowledgement will carry, or kNoWriteRequest.
    bool writeAll(const tagDeviceParameters& parameters, uint32_t* request);

    // Closes the link; no notification is emitted after this, not even one already on its way. The link
    // goes down without linkChanged() so that a window being torn down hears nothing more. Waits for the
    // library's Free at most 500 ms; a library that takes longer is left to finish it on its own.
    void close();

signals:
    void notification(unsigned event, long data);
    void linkChanged(bool up);

private:
    struct Exports;

    static void notifyTrampoline(void* context, unsigned int event, long data);
    bool loadLibrary();
    bool resolveExports();
    void deliver(unsigned event, long data);

    QLibrary library_;
    QString error_;
    std::unique_ptr<Exports> exports_; // set while loaded
    bool loaded_ = false;
    bool openCalled_ = false;
    std::atomic<bool> live_{false}; // between open() and close(): notifications are emitted
    bool linkUp_ = false;
    quintptr sinkId_ = 0;
    platform::GuiQueue queue_; // the library's notifications to this object's thread; closed by close()
    platform::WorkerSlot freeing_;
};

} // namespace tessa::platform
