#pragma once
// Every status line of the run and of Start, each defined once. Lines with a
// placeholder are formatted with the path they name.

namespace morvak::texts {

// Start.
inline constexpr const char* kInvalidDownloadFile = "It is an invalide download file.";
inline constexpr const char* kOpenFileFailed = "open file failed:%s";
inline constexpr const char* kFreadFileFailed = "fread file failed:%s";
inline constexpr const char* kErrorFileFormat = "error file format";
inline constexpr const char* kDirectoryTooLong =
    "The program's directory is too long for its file paths (at most %u bytes): %s";
// A worker still alive at Start: waiting in a read with a reply time-out (the
// seconds left), in a read without one (the configuration path), or ending.
inline constexpr const char* kRunStillWaitingFormat =
    "The stopped run is still waiting for the handset's answer: it ends when the handset answers or is "
    "unplugged, at the latest in %s; press Start again then.";
inline constexpr const char* kRunStillWaitingUnboundedFormat =
    "The stopped run is still waiting for the handset's answer: it ends when the handset answers or is "
    "unplugged (ReplyTimeout=0 in [LURRA_PARAMS] of %s sets no time limit); press Start again then.";
inline constexpr const char* kRunStillEnding = "The stopped run is still ending; press Start again in a moment.";

// Files that are not what they must be. Each names the file.
inline constexpr const char* kNotRegularFile =
    "Not a regular file (a directory, FIFO or device cannot be read as one): %s";
inline constexpr const char* kImageChanged =
    "The image file changed after Start (replaced or written to), so this run did not send one whole image; "
    "press Start again to flash it as it is now: %s";
inline constexpr const char* kConfigNotRegular =
    "The configuration %s is not a regular file: put the configuration file there";
inline constexpr const char* kConfigTooLarge =
    "The configuration %s is larger than %u KiB and is not read: check that it is the configuration file";
inline constexpr const char* kConfigUnreadable = "The configuration %s cannot be read: %s";
inline constexpr const char* kConfigBadNumber =
    "%s=%s in section [%s] of %s is not a whole number of seconds: write for example %s=60 (0 for no limit)";

// The run driver.
inline constexpr const char* kReadInputFile = "Read the input file:%s";
inline constexpr const char* kFileAlreadyDownloaded = "The file already downloaded to the device:%s";

// CheckImageFile, LoadProgrammer, ReportLoadError.
inline constexpr const char* kFileNameTooLong = "The file name is too long:%s";
inline constexpr const char* kInvalidFileSize = "Invalide file size:%s";
inline constexpr const char* kRamSpaceEmpty = "RAM space is empty:%s";
inline constexpr const char* kFopenFailed = "fopen failed:%s";
inline constexpr const char* kFreadFailed = "fread failed:%s";
inline constexpr const char* kFseekFailed = "fseek failed:%s";
inline constexpr const char* kFgetposFailed = "fgetpos failed:%s";
inline constexpr const char* kFileIsEmpty = "file is empty:%s";

// PrepareTarget.
inline constexpr const char* kInvalidFile = "It is an invalide file:%s";
inline constexpr const char* kMallocFailedPath = "malloc failed:%s";
inline constexpr const char* kDownloadFileToDeviceFailed = "Download file to device failed:%s";
inline constexpr const char* kConfiguringSdram = "Configuring SDRAM";
inline constexpr const char* kInitDdrFailed = "Init the DDR failed";

// FlashImage.
inline constexpr const char* kDownloadingOutFile = "Downloading the out file:%s";
inline constexpr const char* kDownloadTheFileFailed = "Download the file to device failed:%s";
inline constexpr const char* kRunOutFileFailed = "Run the out file failed:%s";
inline constexpr const char* kInvalidReturnValue = "It is an invalide return value";
inline constexpr const char* kConfigFailed = "Download the configration info failed!";
inline constexpr const char* kFopenImgFailed = "fopen the img failed";
inline constexpr const char* kMallocFailed = "malloc failed!";
inline constexpr const char* kFlashingFileFailed = "Flashing the file to flash failed:%s";
inline constexpr const char* kMessageHandlerFailedBang = "Message handler failed!";
inline constexpr const char* kFlashingRecordFailed = "Flashing the record to flash failed:%s";
inline constexpr const char* kMessageHandlerFailed = "Message handler failed";
inline constexpr const char* kRawSucceeded = "Download the RAW successfully!";
inline constexpr const char* kImgSucceeded = "Download the img successfully!";

}  // namespace morvak::texts
