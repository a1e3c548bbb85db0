#pragma once

// The parameters page's recorder: the device library behind the program's device link.

#include "device/ParameterSession.h"
#include "platform/DeviceLink.h"

namespace tessa {

class LinkParameterDevice final : public ParameterDevice {
public:
    explicit LinkParameterDevice(platform::DeviceLink& link) : link_(link) {}
    bool readAll() override { return link_.readAll(); }
    bool writeAll(const tagDeviceParameters& parameters, uint32_t* request) override {
        return link_.writeAll(parameters, request);
    }

private:
    platform::DeviceLink& link_;
};

} // namespace tessa
