#pragma once
// Test support for the run: a run state that records what it posts, and a
// private program directory with its own file/ folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "FlashRun.h"
#include "WindowMessages.h"

namespace morvak::testing {

struct RunMessage {
  uint32_t message = 0;
  uintptr_t wParam = 0;
  std::string text;
};

class CRecordingRun : public CFlashRun {
 public:
  ~CRecordingRun() override { Shutdown(); }
  void PostWindowMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    EXPECT_EQ(lParam, 0);
    std::lock_guard lock(m_mutex);
    m_messages.push_back({message, wParam, {}});
  }
  void PostStatusLine(std::string text) override {
    std::lock_guard lock(m_mutex);
    m_messages.push_back({WM_STATUS_LINE, 0, std::move(text)});
  }
  void ShowMessageBox(const std::string& text) override {
    std::lock_guard lock(m_mutex);
    m_boxes.push_back(text);
  }
  std::vector<RunMessage> Messages() const {
    std::lock_guard lock(m_mutex);
    return m_messages;
  }
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (const RunMessage& m : Messages())
      if (m.message == WM_STATUS_LINE) lines.push_back(m.text);
    return lines;
  }
  std::vector<std::string> Boxes() const {
    std::lock_guard lock(m_mutex);
    return m_boxes;
  }
  std::vector<std::pair<int, bool>> Controls() const {
    std::lock_guard lock(m_mutex);
    return m_controls;
  }

 protected:
  void EnableControl(int id, bool enable) override {
    std::lock_guard lock(m_mutex);
    m_controls.emplace_back(id, enable);
  }

 private:
  mutable std::mutex m_mutex;
  std::vector<RunMessage> m_messages;
  std::vector<std::string> m_boxes;
  std::vector<std::pair<int, bool>> m_controls;
};

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
