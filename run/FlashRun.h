#pragma once
// FlashRun: the state of one flashing run and the run itself, free of any
// window toolkit. The main dialog derives from it (the dialog stays the home
// of the run state); the station's engine holds one per unit. The run talks
// to its front end only through the IRunEvents it was made with.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "DownloadFile.h"
#include "FileLoader.h"
#include "RunEvents.h"
#include "RegularFile.h"
#include "RunStage.h"
#include "Sha256.h"
#include "TargetLink.h"

namespace morvak {

inline constexpr int FLASH_TYPE_NAND = 0;
inline constexpr int FLASH_TYPE_ONENAND = 1;
inline constexpr uint32_t PROGRAMMER_LOAD_ADDRESS = 0x10000000u;
inline constexpr uint32_t FILE_SIZE_LIMIT = 0x10000000u;  // exclusive
inline constexpr uint32_t IMAGE_BUFFER_MIN = 0x120000u;

// What a front end chooses for a run; ApplyStartSettings takes it into the
// run members.
struct RunSettings {
  // The executable's directory with its trailing '/', where file/ lives.
  std::string moduleDirectory;
  std::string imagePath;
  int flashType = FLASH_TYPE_NAND;
  bool eraseReserved = false;
  // Takes the place of ReplyTimeout= of the configuration (a command line's).
  std::optional<std::chrono::milliseconds> replyTimeout;
  // How long the run waits for its handset to appear; none: the link's own.
  std::optional<std::chrono::milliseconds> waitTimeout;
  // A front end that records runs: the run takes the SHA-256 of the image
  // bytes it reads (RecordFile= in the configuration asks for it too).
  bool digestImage = false;
};

class FlashRun {
 public:
  // `events` hears everything the run tells its front end; it outlives the run.
  explicit FlashRun(IRunEvents& events);
  virtual ~FlashRun();
  FlashRun(const FlashRun&) = delete;
  FlashRun& operator=(const FlashRun&) = delete;

  // --- Run members. Start writes them before the worker exists (the window
  // binds the first two to its fields), and the worker only reads them
  // afterwards.
  std::string m_strImagePath;
  int m_nFlashType = FLASH_TYPE_NAND;
  int m_bRawImage = 0;
  uint32_t m_nRawFileSize = 0;
  uint32_t m_nBinaryRegionSize = 0;
  uint32_t m_nReservedSize = 0;
  uint32_t m_nRecordCount = 0;
  int m_bCrcEnable = 1;
  int m_bEraseReserved = 0;
  // The bytes of image payload the run sends: the raw part and, for an .img,
  // every record's data (Start's scans).
  uint64_t m_nPayloadSize = 0;
  DownloadFile m_bootFile;
  DownloadFile m_programFile;
  DownloadFile m_imageFile;
  CFileLoader m_imageLoader;
  CTargetLink m_link;
  // The executable's directory with its trailing '/', where file/ lives.
  std::string m_strModuleDirectory;
  // The chip's ASIC ID as this run's boot read it; all zeros until it has, so
  // that a run whose boot fails never shows the previous run's chip.
  uint8_t m_asicId[ASIC_ID_SIZE] = {};
  // The image file as Start checked it. The run sends bytes of this file only:
  // it checks the identity when it opens the image and before it succeeds.
  FileIdentity m_imageIdentity;
  // Set by a front end that records runs: the run then takes the SHA-256 of
  // the image bytes it reads (RecordFile= in the configuration sets it too).
  bool m_bDigestImage = false;
  // Takes the place of ReplyTimeout= of the configuration (a command line's).
  std::optional<std::chrono::milliseconds> m_replyTimeoutOverride;
  // Asked by the worker once the boot has read the chip's ASIC ID (in hex),
  // before anything reaches the handset's flash: false ends the run there,
  // failed, after `line`. Null: every unit is flashed. Set before Start.
  std::function<bool(const std::string& asicIdHex, std::string& line)> m_unitCheck;

  // --- Start (window thread). Everything Start does that is not a control:
  // takes `settings` into the run members, clears the stop flags, reads the
  // configuration, builds the paths and checks the image for the flash type.
  // True when a run may start; otherwise false, with the line to show in
  // `line` (empty: show nothing).
  bool ApplyStartSettings(const RunSettings& settings, std::string& line);
  // Whether the last refused Start was refused for its configuration file
  // (not a regular file, too large, unreadable, a value that is no value).
  bool ConfigurationRefused() const { return m_bConfigRefused; }
  // Starts the worker on FlashThreadProc. False while an earlier worker is
  // still alive: one set of run state allows one run at a time.
  bool StartWorker();
  bool WorkerAlive() const { return m_bWorkerAlive.load(); }
  // The image path as the last accepted Start took it: the one the run flashes.
  const std::string& RunImagePath() const { return m_strRunImagePath; }
  // What a Start refused because the worker is alive tells the operator: what
  // the worker waits for, and when it ends at the latest.
  std::string StillEndingLine() const;
  // The SHA-256 (lower-case hex) of the image as the last run read it, when a
  // digest was wanted: every byte of the file in order, through the run's own
  // descriptor. Empty when none was taken or the image could not be read, or
  // was not the file Start checked. Written by the worker before it posts the
  // run's outcome; read it after that message.
  const std::string& ImageSha256() const { return m_strImageSha256; }
  // Where the last run ended and why. Start resets it (a Start that refuses
  // leaves the stage at Start, with the kind of its refusal); the worker
  // writes it as it goes and completes it before it posts the run's outcome:
  // read it after that message. A run that succeeded ends at Finish without
  // a failure; one that fails after the operator asked it to stop, Stopped.
  RunEndPoint EndPoint() const { return m_endPoint; }
  // Waits for a worker that has been started, if any, to return.
  void JoinWorker();
  // What "Stop flashing" does to the link: ends the wait for the device and
  // makes every later write fail. A pending read goes on.
  void RequestStop();
  // Whether the operator asked this run to stop (Stop, Ctrl-C, a signal)
  // since its Start: a run that then fails was stopped, not failed.
  bool StopRequested() const { return m_link.m_device.m_bAbort.load() != 0; }
  // For the end of the program: stops, ends a pending read, joins the worker.
  void Shutdown();

  // --- The worker (worker thread only).
  static unsigned FlashThreadProc(void* param);
  int RunFlashing();
  int CheckImageFile();
  int LoadProgrammer();
  int PrepareTarget();
  int FlashImage();
  void ReportLoadError(const CFileLoader& loader, const char* path);
  // Finishes the image digest of a run: `file` (the run's own open image,
  // positioned where the run stopped reading) is read to its end into
  // `digest`; without one the image is opened afresh and digested whole, when
  // it is still the file Start checked.
  void FinishImageDigest(std::FILE* file, Sha256Hasher* digest);
  bool DigestWanted() const { return m_bDigestImage || m_bRecordConfigured; }
  void PostStatus(const std::string& text);

 private:
  // The end point as the worker goes: the stage it enters, and the failure
  // that ends it there (`file` names the program for the handset concerned).
  void EnterStage(RunStage stage, uint32_t record = 0);
  void EndWith(FailureKind failure, const char* file = nullptr);
  // Ends with the target link's failure, the programmer's error code with it.
  void EndAtLink();

  // The parts of FlashImage (run/FlashImage.cpp), in their order. A part that
  // ends the step leaves its line in the ImageSend (and returns false).
  struct ImageSend;
  bool SendProgrammer(ImageSend& send);
  bool OpenImage(ImageSend& send);
  bool SendRawPart(ImageSend& send);
  void SendRecords(ImageSend& send);
  bool SendRecord(ImageSend& send, uint32_t address, uint32_t length);
  // Reads one block of the image into the working buffer, sends it as `kind`
  // (DATA_RAW or DATA_RECORD, whose failures have lines of their own) and has
  // the programmer write it.
  bool SendBlock(ImageSend& send, uint32_t address, uint32_t length, uint32_t kind);
  // The image was sent whole: succeeds with `succeeded` and the time taken
  // when the open image is still the file Start checked.
  void FinishSending(ImageSend& send, const char* succeeded);
  // Frees the programmer LoadProgrammer read; m_programFile.data is null again.
  void ReleaseProgrammer();
  // The programmer's bytes from LoadProgrammer to the end of the run;
  // m_programFile.data points into it.
  std::unique_ptr<uint8_t[]> m_programBuffer;

 public:
  // --- Image scans on m_strImagePath (window thread, inside Start).
  int CountImageRecords(int32_t offset);
  int FindReservedSize(int32_t offset);

 private:
  IRunEvents& m_events;
  // The image path as Start took it: the window may rewrite m_strImagePath
  // while the run goes on.
  std::string m_strRunImagePath;
  bool m_bConfigRefused = false;
  bool m_bRecordConfigured = false;  // RecordFile= at the last Start
  std::string m_strConfigPath;
  std::string m_strImageSha256;
  RunEndPoint m_endPoint;
  bool m_bImageDigestDone = false;
  std::thread m_worker;
  std::atomic<bool> m_bWorkerAlive{false};
};

}  // namespace morvak
