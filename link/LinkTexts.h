#pragma once
// Every status line and error text of the target link, each defined once.

namespace morvak::texts {

// Exchange failures kept in CUsbDevice::m_szLastError.
inline constexpr const char* kWriteFailed = "Error: couldn't write USB data";
inline constexpr const char* kReadFailed = "Error: couldn't read USB data";
inline constexpr const char* kNotRecognized = "Error: Device probably not recognized by 2nd boot";
inline constexpr const char* kReturnedCommand = "Error returned command!";
inline constexpr const char* kCrcFailure = "Error CRC failure.";

// Boot handshake.
inline constexpr const char* kBootFileSize = "Error with 2nd boot file size";
inline constexpr const char* kWaitingForDevice = "Waiting for USB device to connect......";
inline constexpr const char* kLoadingBootCode = "Loading Secondary Boot Code";
inline constexpr const char* kAsicIdFailed = "Error, Failed to read ASIC ID";
inline constexpr const char* kFlashCommandFailed = "Error, Failed to write flash command";
inline constexpr const char* kSizeCommandFailed = "Error, Failed to write size command";
inline constexpr const char* kBootCodeSendFailed = "Error, Failed to send 2nd boot code";
inline constexpr const char* kBootCodeNotRunning = "Error, 2nd boot code not running";

// Bounded waits. The reply time-out's line comes before the failure lines of
// the step whose read it ended; the arrival wait ends as a Stop would.
inline constexpr const char* kNoAnswerFormat =
    "No answer from the handset for %s: it may have hung or lost power (ReplyTimeout in [LURRA_PARAMS])";
inline constexpr const char* kNoHandsetWithinFormat = "No handset appeared within %s";

// Target operations.
inline constexpr const char* kSettingRamType = "Setting External RAM Type";
inline constexpr const char* kRamTypeFailed = "Error, A Problem occurred while setting the RAM Type 22";
inline constexpr const char* kRunFailed = "Error, A Problem occurred while trying to run the firmware";
inline constexpr const char* kReadUsbFailed = "Error, Failed to read USB";
inline constexpr const char* kFirmwareErrorFormat = "Flash Firmware Error occurred:  code %d";

}  // namespace morvak::texts
