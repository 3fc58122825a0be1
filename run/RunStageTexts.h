#pragma once
// The names of a run's stages and the reasons a run ended, each defined once.
// A reason says what failed, then what to do: one sentence, starting in lower
// case, without a closing period. Placeholders take names from the program's
// folder ("file/LURRA.ini"), an error code or a size.

namespace morvak::texts {

inline constexpr const char* kStageStart = "start";
inline constexpr const char* kStageWaitingForHandset = "waiting for the handset";
inline constexpr const char* kStageAsicId = "ASIC ID";
inline constexpr const char* kStageLoader = "loader";
inline constexpr const char* kStageRamType = "RAM type";
inline constexpr const char* kStageProgrammer = "programmer";
inline constexpr const char* kStageConfiguration = "configuration";
inline constexpr const char* kStageRawPart = "raw part";
inline constexpr const char* kStageRecordFormat = "record %u";
inline constexpr const char* kStageFinish = "finish";

// The programmer's error code as reasons and records show it.
inline constexpr const char* kErrorCodeFormat = "0x%02X";

inline constexpr const char* kReasonStopped = "stopped by the operator: replug the unit and flash it again";
inline constexpr const char* kReasonNoHandset =
    "no handset appeared: plug it in with the boot key held and check the cable";
inline constexpr const char* kReasonNoAsicId =
    "the handset sent no ASIC ID: replug it (hold the boot key) and check the cable";
inline constexpr const char* kReasonNoAnswer = "the handset did not answer: check the cable and replug it";
inline constexpr const char* kReasonDisconnected =
    "the connection to the handset was lost: check the cable and replug the handset";
inline constexpr const char* kReasonLoaderNotRunning =
    "the loader did not start on the handset: replug it and check that %s is the loader for this handset";
inline constexpr const char* kReasonRamTypeRefused =
    "the handset refused the RAM type: replug it and check that %s is the loader for this handset";
inline constexpr const char* kReasonConfigurationRefused =
    "the flash programmer refused the configuration: check %s and the flash type";
inline constexpr const char* kReasonRefused = "the handset answered out of turn: replug it and flash it again";
inline constexpr const char* kReasonCrcMismatch =
    "blocks kept arriving damaged (wrong checksum): check the cable, plug it in without a hub and flash it again";
inline constexpr const char* kReasonProgrammerStartError =
    "the flash programmer reported error %s when it started: replug and retry, or set the unit aside if it "
    "happens again";
inline constexpr const char* kReasonProgrammerWriteError =
    "the flash programmer reported error %s while writing: set the unit aside or replug and retry";
inline constexpr const char* kReasonImageChanged = "the image changed during the run: flash it again";
inline constexpr const char* kReasonImageUnreadable =
    "the image could not be read: check the image file and flash it again";
inline constexpr const char* kReasonImageTooShort =
    "the image is shorter than the raw part %s sets: choose the right image or check %s";
inline constexpr const char* kReasonImageTooLarge =
    "the image is %u MiB or larger, more than a run can send: choose the right image";
inline constexpr const char* kReasonImageFormat =
    "the image is not an .img or .raw image this configuration fits: choose the right image or check %s";
inline constexpr const char* kReasonImagePathTooLong =
    "the image's path is longer than %u bytes: move or rename the image and choose it again";
inline constexpr const char* kReasonProgramPathTooLong =
    "the program's folder path is too long for its files: install the program in a shorter folder";
inline constexpr const char* kReasonFileMissing = "%s cannot be opened: put it back in the program's file folder";
inline constexpr const char* kReasonFileUnusable = "%s is empty, too large or unreadable: replace it with a good copy";
inline constexpr const char* kReasonBadConfiguration = "the configuration cannot be used: check %s";
inline constexpr const char* kReasonRawPartTooLarge =
    "the raw part the configuration sets is %u MiB or larger: check %s";
inline constexpr const char* kReasonOutOfMemory =
    "the computer ran out of memory: close other programs and flash it again";

}  // namespace morvak::texts
