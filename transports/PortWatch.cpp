#include "PortWatch.h"

namespace morvak {

PortLook LookAtPort(ITransport& transport, std::string* problem, uint64_t* attachment) {
  const uint32_t result = transport.Open();
  if (problem != nullptr) problem->clear();
  if (attachment != nullptr) *attachment = 0;
  if (result == OPEN_CONNECTED) {
    if (attachment != nullptr) *attachment = transport.Attachment();
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
  m_last = LookAtPort(m_transport, &m_problem, &m_attachment);
  if (m_last == PortLook::Absent) m_flashedStillThere = false;
  if (m_last != PortLook::Present) return false;
  const bool swapped = m_attachment != 0 && m_flashedAttachment != 0 && m_attachment != m_flashedAttachment;
  if (swapped) m_flashedStillThere = false;
  return !m_flashedStillThere;
}

}  // namespace morvak
