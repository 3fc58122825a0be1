#pragma once
// The station's own texts, said on a port's line.
namespace morvak::texts {

// A port whose handset failed, until the handset is unplugged.
inline constexpr const char* kUnplugFailed = "failed: unplug the handset (it is not flashed again while it stays)";

}  // namespace morvak::texts
