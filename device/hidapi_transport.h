// The link's platform layer on hidapi: the one file of the program that talks to the USB stack.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "device/hid_transport.h"

namespace velta {

// One per program: it initialises hidapi on construction and shuts it down on destruction, so
// it must outlive every handle it opened (the link is destroyed first).
class HidapiTransport : public HidTransport {
  public:
    HidapiTransport();
    ~HidapiTransport() override;
    HidapiTransport(const HidapiTransport&) = delete;
    HidapiTransport& operator=(const HidapiTransport&) = delete;

    // False when hidapi could not be initialised; the transport then lists no interfaces.
    bool Initialised() const { return initialised_; }

    std::string StartFailure() const override { return startFailure_; }
    std::vector<HidInterfaceInfo> Enumerate() override;
    std::unique_ptr<HidDevice> OpenPath(const std::string& path, HidFailure& failure) override;

  private:
    bool initialised_ = false;
    std::string startFailure_;
};

}  // namespace velta
