#include "HandsetChannels.h"

#include "LibusbTransport.h"
#include "VirtualHandsetTransport.h"
#include "VirtualHandsets.h"

namespace morvak {

std::vector<HandsetChannel> MakeVirtualChannels(const std::vector<PortPlan>& plans) {
  std::vector<HandsetChannel> channels;
  for (size_t i = 0; i < plans.size(); ++i) {
    auto handset = std::make_unique<VirtualHandsetTransport>(plans[i], static_cast<uint32_t>(i + 1));
    HandsetChannel channel;
    channel.port = VirtualHandsetName(i);
    channel.virtualHandset = handset.get();
    channel.transport = std::move(handset);
    channels.push_back(std::move(channel));
  }
  return channels;
}

std::vector<HandsetChannel> MakeUsbChannels(const std::string& configPath, const std::vector<std::string>& ports) {
  std::vector<HandsetChannel> channels;
  const std::vector<std::string> each = ports.empty() ? std::vector<std::string>{std::string()} : ports;
  for (const std::string& port : each) {
    auto usb = std::make_unique<LibusbTransport>(configPath, port);
    HandsetChannel channel;
    channel.port = port;
    channel.usb = usb.get();
    channel.transport = std::move(usb);
    channels.push_back(std::move(channel));
  }
  return channels;
}

std::string PortOf(const HandsetChannel& channel) {
  if (!channel.port.empty() || channel.usb == nullptr) return channel.port;
  return channel.usb->OpenedPortPath();
}

}  // namespace morvak
