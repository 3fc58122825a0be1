#pragma once
// ScriptedFunction: a device function that sends what it is given, in the
// pieces it is given, and keeps what the host sent. Each piece is one transfer
// of the device: packets of wMaxPacketSize bytes and a last, short one (none
// when the piece is a whole number of packets, so that the next piece follows
// in the same URB). Its fields belong to the device's lock:
// reach them through EmulatedUsbDevice::WithFunction.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

#include "EmulatedUsbDevice.h"

namespace morvak::usbtest {

class ScriptedFunction : public IUsbFunction {
 public:
  std::deque<std::vector<uint8_t>> toSend;
  std::vector<uint8_t> received;
  size_t takeAtMost = 0;  // per OUT URB; 0 for no limit
  bool nak = false;       // take nothing: OUT URBs stay pending
  bool stall = false;
  int claims = 0;

  void Queue(std::vector<uint8_t> piece) { toSend.push_back(std::move(piece)); }

  void Claimed() override { ++claims; }
  size_t Received(const uint8_t* data, size_t length) override {
    if (nak) return 0;
    const size_t taken = takeAtMost != 0 && takeAtMost < length ? takeAtMost : length;
    received.insert(received.end(), data, data + taken);
    return taken;
  }
  size_t Send(uint8_t* out, size_t max) override {
    if (toSend.empty()) return 0;
    std::vector<uint8_t>& piece = toSend.front();
    const size_t n = piece.size() < max ? piece.size() : max;
    std::copy(piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(n), out);
    piece.erase(piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(n));
    if (piece.empty()) toSend.pop_front();
    return n;
  }
  bool InStalled() const override { return stall; }
};

}  // namespace morvak::usbtest
