#include "PortWatch.h"

namespace morvak {

PortLook LookAtPort(ITransport& transport, std::string* problem) {
  const uint32_t result = transport.Open();
  if (problem != nullptr) problem->clear();
  if (result == OPEN_CONNECTED) {
    transport.Close();
    return PortLook::Present;
  }
  if (result == OPEN_INTERRUPTED) return PortLook::Interrupted;
  const std::string why = transport.OpenProblem();
  // No device, or one that went away while being opened: nothing to mend.
  if (result == OPEN_NO_DEVICE || why.empty()) return PortLook::Absent;
  if (problem != nullptr) *problem = why;
  return PortLook::Unusable;
}

bool PortWatch::HandsetWaiting() {
  m_last = LookAtPort(m_transport, &m_problem);
  if (m_last == PortLook::Absent) m_flashedStillThere = false;
  return m_last == PortLook::Present && !m_flashedStillThere;
}

}  // namespace morvak
