#pragma once
// HandsetUsbFunction: the virtual handset as the function of an emulated USB
// device, so that whole runs go through the libusb transport into it. Its
// replies can come in short packets of given lengths, with a zero-length
// packet in front of each reply, as a slow or odd device sends them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "EmulatedUsbDevice.h"
#include "VirtualHandset.h"

namespace morvak::usbtest {

class HandsetUsbFunction : public IUsbFunction {
 public:
  // `where` gives the handset an ASIC ID of its own, as a unit of a bench.
  explicit HandsetUsbFunction(FaultPlan plan = {}, BenchUnit where = {}) : handset(std::move(plan), where) {}

  // The handset's ROM speaks once the host has claimed the interface.
  void Claimed() override { handset.Attach(); }
  size_t Received(const uint8_t* data, size_t length) override {
    handset.HostWrote(data, length);
    return length;
  }
  size_t Send(uint8_t* out, size_t max) override {
    size_t n = max;
    if (!packetSizes.empty()) n = std::min(max, packetSizes[m_packet++ % packetSizes.size()]);
    return handset.TakeReply(out, n);
  }
  // Once it stalls nothing more comes: what is pending is still delivered.
  bool InStalled() const override { return handset.Stalled() && handset.Pending() == 0; }
  bool SendZeroLength() override {
    if (!zeroLengthPackets || handset.Pending() == 0) return false;
    m_zeroNext = !m_zeroNext;
    return m_zeroNext;
  }

  VirtualHandset handset;
  std::vector<size_t> packetSizes;  // lengths of the IN packets in turn; empty: whole replies
  bool zeroLengthPackets = false;   // a zero-length packet before every packet with data

 private:
  size_t m_packet = 0;
  bool m_zeroNext = false;
};

}  // namespace morvak::usbtest
