// A DeviceOptionPort over a device opened in-process through libsane, for
// tests against SANE's own `test` backend.
#pragma once

#include <memory>

#include "platform/driver/sane/device_option_port.h"

class LibSanePort : public DeviceOptionPort {
  public:
    // Null when libsane cannot open the device.
    static std::unique_ptr<LibSanePort> Open(const char* device);
    ~LibSanePort() override;

    SANE_Status Describe(std::vector<DeviceOption>* options) override;
    SANE_Status Get(SANE_Int index, OptionValue* value) override;
    SANE_Status Set(SANE_Int index, const OptionValue& value, SANE_Int* info) override;

    void* handle() const { return handle_; }
    // The whole value of an option, arrays included, as the device holds it.
    SANE_Status GetWhole(SANE_Int index, std::vector<SANE_Word>* words);

  private:
    explicit LibSanePort(void* handle) : handle_(handle) {}
    SANE_Int SizeOf(SANE_Int index);

    void* handle_;
};
