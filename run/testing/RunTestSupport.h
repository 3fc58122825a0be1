#pragma once
// Test support for the run: a run state that records what it reports, and a
// private program directory with its own file/ folder.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "FlashRun.h"
#include "RecordingTarget.h"

namespace morvak::testing {

using RunMessage = RecordedEvent;

// A run whose events are recorded, as RecordingTarget records them.
class RecordingRun : public IRunEvents, public FlashRun {
 public:
  RecordingRun() : FlashRun(static_cast<IRunEvents&>(*this)) {}
  ~RecordingRun() override { Shutdown(); }
  void OnRunBegins() override { m_log.OnRunBegins(); }
  void OnStatusLine(std::string text) override { m_log.OnStatusLine(std::move(text)); }
  void OnProgressRange(uint32_t upper) override { m_log.OnProgressRange(upper); }
  void OnProgressPosition(uint32_t position) override { m_log.OnProgressPosition(position); }
  void OnPayloadSent(uint64_t sent, uint64_t total) override { m_log.OnPayloadSent(sent, total); }
  void OnRunOutcome(bool succeeded) override { m_log.OnRunOutcome(succeeded); }
  void OnMessageBox(const std::string& text) override { m_log.OnMessageBox(text); }

  std::vector<RecordedEvent> Messages() const { return m_log.Messages(); }
  std::vector<std::string> Lines() const { return m_log.Lines(); }
  std::vector<std::string> Boxes() const { return m_log.Boxes(); }
  std::vector<std::pair<uint64_t, uint64_t>> Payload() const { return m_log.Payload(); }
  // How often the run gave its controls back, and how many events had come by
  // the last time.
  int ControlsReleased() const { return m_controlsReleased.load(); }
  size_t EventsBeforeRelease() const { return m_eventsBeforeRelease.load(); }

  void ReleaseRunControls() override {
    m_eventsBeforeRelease.store(m_log.Messages().size());
    ++m_controlsReleased;
  }

 private:
  RecordingTarget m_log;
  std::atomic<int> m_controlsReleased{0};
  std::atomic<size_t> m_eventsBeforeRelease{0};
};

// The settings a test's run takes at Start: what the test has set in its run
// members (module directory, image, flash type, time-outs).
inline RunSettings SettingsOf(const FlashRun& run, bool eraseReserved = false) {
  RunSettings settings;
  settings.moduleDirectory = run.m_strModuleDirectory;
  settings.imagePath = run.m_strImagePath;
  settings.flashType = run.m_nFlashType;
  settings.eraseReserved = eraseReserved;
  settings.replyTimeout = run.m_replyTimeoutOverride;
  settings.digestImage = run.m_bDigestImage;
  return settings;
}

// Configuration sizes for the small images of the tests: a 4096-byte raw
// part (8192 with the boot loader part) and reserved regions to match.
inline constexpr const char* kSmallNandSizes =
    "[LURRA_NAND]\nRawFileSize_WithoutEboot=4096\nBinaryRegionSize_WithoutEboot=4096\n"
    "RawFileSize_WithEboot=8192\nBinaryRegionSize_WithEboot=12288\n";

// A program directory of the test's own: file/ with a configuration and the
// three target programs (any bytes serve the virtual handset).
class ProgramDirectory {
 public:
  explicit ProgramDirectory(const std::string& name) {
    m_root = std::filesystem::path(::testing::TempDir()) / ("morvak-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(m_root);
    std::filesystem::create_directories(m_root / "file");
    WriteFile("file/2ND.nb0", std::string(3000, '\x5A'));
    WriteFile("file/NANDOUT.nb0", std::string(20000, '\x4E'));
    WriteFile("file/OneNANDOUT.nb0", std::string(24000, '\x4F'));
  }
  ~ProgramDirectory() {
    std::error_code ec;
    std::filesystem::remove_all(m_root, ec);
  }
  // The directory as the run expects it, with its trailing '/'.
  std::string Directory() const { return m_root.string() + "/"; }
  std::string Path(const std::string& relative) const { return (m_root / relative).string(); }
  void WriteFile(const std::string& relative, const std::string& bytes) const {
    std::ofstream(m_root / relative, std::ios::binary | std::ios::trunc) << bytes;
  }
  void Config(const std::string& text) const { WriteFile("file/LURRA.ini", text); }

 private:
  std::filesystem::path m_root;
};

}  // namespace morvak::testing
