#pragma once
// The udev rule that lets the user logged in at the seat open the handset's
// boot interface without root (TAG+="uaccess"), for "morvak-cli udev-rule"
// and for the access-denied line of the wait.
#include <cstdint>
#include <string>

namespace morvak {

// The rule itself, one line without a line end. A non-empty `group` (a name
// the caller has checked: it is written between quotes as it is) also gives
// the device to that group, read and write.
std::string UdevRuleLine(uint16_t vendorId, uint16_t productId, const std::string& group = {});

// The whole rules file: a comment saying what it is for and how to install
// it, then the rule; every line ends with a line feed.
std::string UdevRuleFile(uint16_t vendorId, uint16_t productId, const std::string& group = {});

}  // namespace morvak
