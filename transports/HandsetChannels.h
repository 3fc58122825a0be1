#pragma once
// The byte channels of a command that flashes one or several handsets: one
// channel per handset, each owned by that handset's run alone.
#include <memory>
#include <string>
#include <vector>

#include "PortPlan.h"
#include "Transport.h"

namespace morvak {

class LibusbTransport;
class VirtualHandsetTransport;

struct HandsetChannel {
  // The port the handset is on ("1-2.3", "virtual-2"); empty for the first
  // matching USB handset, whose port is known only once it is opened.
  std::string port;
  std::unique_ptr<ITransport> transport;
  // The same channel seen as what it is (null when it is not).
  VirtualHandsetTransport* virtualHandset = nullptr;
  LibusbTransport* usb = nullptr;
};

// One virtual handset (a port of a bench with cycle=) per plan, named
// virtual-1, virtual-2, ...
std::vector<HandsetChannel> MakeVirtualChannels(const std::vector<PortPlan>& plans);

// One USB channel per port, each opening only the handset on its port; with
// no ports, one channel that opens the first match (honouring Port= of the
// configuration).
std::vector<HandsetChannel> MakeUsbChannels(const std::string& configPath, const std::vector<std::string>& ports);

// The port the channel's handset is on: its given port, or for the first
// match the port it was last opened on (read when its run has ended).
std::string PortOf(const HandsetChannel& channel);

}  // namespace morvak
