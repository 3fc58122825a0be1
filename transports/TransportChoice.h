#pragma once
// The byte channel a front end runs on: the libusb transport for real
// handsets, or the built-in virtual handset (with its faults) in their place.
#include <memory>
#include <string>

#include "Transport.h"

namespace morvak {

class VirtualHandsetTransport;

struct TransportChoice {
  bool virtualHandset = false;
  std::string faults;      // the virtual handset's fault text (with the programs' defaults)
  std::string configPath;  // file/LURRA.ini, where real handsets' ids are read
};

// Nothing, with the reason in `error`, when the fault text is not understood.
// `virtualHandset`, when given, receives the virtual handset made (else null).
std::unique_ptr<ITransport> MakeTransport(const TransportChoice& choice, std::string& error,
                                          VirtualHandsetTransport** virtualHandset = nullptr);

// The port a front end's one channel stands for, for its run records: the
// USB port it was last opened on, virtual-1 for the virtual handset; empty
// when not known.
std::string PortOfTransport(const ITransport* transport);

}  // namespace morvak
