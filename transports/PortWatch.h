#pragma once
// Whether a handset waits at a port, for a station that flashes every handset
// plugged into it, one after another, on any channel (USB or a virtual bench).
//
// A look opens the port's channel and closes it again at once, moving no
// byte: a handset there is left as it was, and a virtual bench counts no run
// for it. A port without a handset answers at once on a virtual bench (the
// libusb transport waits up to USB_ARRIVAL_WAIT_MS for one). Never look at a
// port while a run owns its channel.
#include <string>

#include "Transport.h"

namespace morvak {

enum class PortLook {
  Absent,       // no handset is plugged in
  Present,      // a handset is there and its channel opens
  Unusable,     // the port cannot be used as it is: no access, busy, no ids configured
  Interrupted,  // the channel was interrupted: it never opens again
};

// Looks at the port once; `problem`, when given, receives what the operator
// can mend when the look is Unusable (ITransport::OpenProblem), else "".
// `attachment`, when given, receives the handset's ITransport::Attachment
// when it is Present, else 0.
PortLook LookAtPort(ITransport& transport, std::string* problem = nullptr, uint64_t* attachment = nullptr);

// The arrivals at one port. A handset that has had its run stays there until
// it is unplugged, so it is not taken for the next one: after RunEnded a
// handset counts as waiting only once the port has been seen empty, or when
// its channel tells that another one has been plugged in since (a swap
// faster than the looks).
class PortWatch {
 public:
  explicit PortWatch(ITransport& transport) : m_transport(transport) {}

  // Looks once: true when a handset is there that has not had its run here.
  // A handset present at the first look counts as waiting.
  bool HandsetWaiting();
  // The handset there now has had its run (whatever its result).
  void RunEnded() {
    m_flashedStillThere = true;
    m_flashedAttachment = m_attachment;
  }

  PortLook LastLook() const { return m_last; }
  // What the operator can mend when the last look was Unusable.
  const std::string& Problem() const { return m_problem; }

 private:
  ITransport& m_transport;
  PortLook m_last = PortLook::Absent;
  std::string m_problem;
  bool m_flashedStillThere = false;
  uint64_t m_attachment = 0;          // of the handset seen at the last look
  uint64_t m_flashedAttachment = 0;   // of the one that had the last run
};

}  // namespace morvak
