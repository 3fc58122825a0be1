#pragma once
// Root opens any file whatever its mode. This drops the capabilities that
// allow it from the calling thread's effective set while it lives, so that a
// device node of mode 000 is refused as it is for a user.
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace morvak::usbtest {

class WithoutFileOverride {
 public:
  WithoutFileOverride() {
    if (geteuid() != 0) return;
    if (syscall(SYS_capget, &m_header, m_saved) != 0) return;
    __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
    reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    m_dropped = syscall(SYS_capset, &m_header, reduced) == 0;
  }
  ~WithoutFileOverride() {
    if (m_dropped) syscall(SYS_capset, &m_header, m_saved);
  }
  WithoutFileOverride(const WithoutFileOverride&) = delete;
  WithoutFileOverride& operator=(const WithoutFileOverride&) = delete;
  // Whether files are now checked against their mode.
  bool Effective() const { return geteuid() != 0 || m_dropped; }

 private:
  __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct m_saved[2] = {};
  bool m_dropped = false;
};

}  // namespace morvak::usbtest
