#pragma once
// The console's own texts (beside the run's and the link's), each defined once.

namespace morvak::cli::clitexts {

// A handset --all-ports found but cannot open: the reason of the device list.
inline constexpr const char* kCannotBeOpened = "cannot be opened: ";
inline constexpr const char* kNoHandsetPresent =
    "no handset with the configured ids is present (see morvak-cli list)";
// The hint under the device list when a matching device denies access.
inline constexpr const char* kUdevHint =
    "To give the logged-in user access: morvak-cli udev-rule | sudo tee /etc/udev/rules.d/70-morvak.rules, "
    "then sudo udevadm control --reload && sudo udevadm trigger --subsystem-match=usb";

}  // namespace morvak::cli::clitexts
