#pragma once
// Shared pieces of the emulated-USB tests: a fixture that makes a testbed per
// test and a configuration file, and a small scripted device function.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "EmulatedUsbDevice.h"
#include "ScriptedUsbFunction.h"
#include "LibusbTransport.h"
#include "UsbTestbed.h"

namespace morvak::usbtest {

using Clock = std::chrono::steady_clock;

inline double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Under CI a testbed that does not emulate is a failure, not a skip.
inline bool EmulationRequired() {
#ifdef MORVAK_REQUIRE_UMOCKDEV
  return true;
#else
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::string(ci) == "true";
#endif
}

// Runs `f` on the device's scripted function under the device's lock.
template <class F>
auto Scripted(EmulatedUsbDevice* device, F&& f) {
  return device->WithFunction([&](IUsbFunction& function) { return f(static_cast<ScriptedFunction&>(function)); });
}

inline std::vector<uint8_t> Pattern(size_t length, uint8_t seed = 1) {
  std::vector<uint8_t> bytes(length);
  for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
  return bytes;
}

// A testbed per test, made before any libusb context, and a configuration
// file of the test's own.
class EmulatedUsbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_bed = std::make_unique<UsbTestbed>();
    if (!UsbTestbed::Emulating()) {
      if (EmulationRequired()) FAIL() << "umockdev does not emulate: the preload is not loaded";
      GTEST_SKIP() << "umockdev does not emulate here";
    }
    char pattern[] = "/tmp/morvak-usb-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_dir = pattern;
    m_config = m_dir + "/LURRA.ini";
  }
  void TearDown() override {
    DropClients();
    m_bed.reset();
    if (!m_dir.empty()) std::filesystem::remove_all(m_dir);
  }
  // Destroys whatever holds a libusb context; runs before the testbed goes.
  virtual void DropClients() {}

  void Configure(const std::string& text) {
    std::ofstream(m_config, std::ios::trunc) << text;
  }
  void ConfigureIds(uint16_t vendor, uint16_t product) {
    char text[96];
    std::snprintf(text, sizeof text, "[LURRA_USB]\nVendorId=0x%04x\nProductId=0x%04x\n", vendor, product);
    Configure(text);
  }

  // Plugs a device with a scripted function; `function` receives it.
  EmulatedUsbDevice* Plug(const EmulatedDeviceParams& params, ScriptedFunction** function = nullptr) {
    auto owned = std::make_unique<ScriptedFunction>();
    if (function != nullptr) *function = owned.get();
    EmulatedUsbDevice* device = m_bed->Plug(params, std::move(owned));
    EXPECT_NE(device, nullptr) << m_bed->LastError();
    return device;
  }

  std::unique_ptr<UsbTestbed> m_bed;
  std::string m_dir;
  std::string m_config;
};

// The transport under test, made on first use and destroyed before the testbed.
class TransportTest : public EmulatedUsbTest {
 protected:
  void DropClients() override { m_transport.reset(); }
  LibusbTransport& Transport() {
    if (!m_transport) m_transport = std::make_unique<LibusbTransport>(m_config);
    return *m_transport;
  }
  std::unique_ptr<LibusbTransport> m_transport;
};

// The URBs that moved data (not discarded or failed) on one endpoint, as
// (buffer length, bytes moved) pairs.
inline std::vector<std::pair<int, int>> Completed(const EmulatedUsbDevice* device, uint8_t endpoint) {
  std::vector<std::pair<int, int>> urbs;
  for (const UrbRecord& urb : device->Urbs())
    if (urb.endpoint == endpoint && urb.status == 0) urbs.emplace_back(urb.length, urb.actual);
  return urbs;
}

}  // namespace morvak::usbtest
