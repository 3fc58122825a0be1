#pragma once
// Test support for bad input at the edges: a program directory of the test's
// own, images written into it, and one Start plus run into a virtual handset,
// with what it showed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "ImageWriter.h"
#include "SweepHarness.h"

namespace morvak::testing {

struct EdgeOutcome {
  bool started = false;   // Start accepted the image
  std::string startLine;  // the line Start showed when it refused
  bool succeeded = false;
  Lines lines;
  std::vector<BlockRecord> blocks;
  std::vector<LoggedOp> log;
  uint32_t attaches = 0;  // times the handset was opened
  bool buffersFreed = false;
};

class EdgeFixture : public ::testing::Test {
 protected:
  EdgeFixture() : m_dir(std::string("edge-") + ::testing::UnitTest::GetInstance()->current_test_info()->name()) {}

  std::string WriteImg(const std::string& name, const ImageDesc& desc) const {
    const std::string path = m_dir.Path(name);
    std::string problem;
    EXPECT_EQ(WriteImage(path, desc, nullptr, problem), IMAGE_WRITE_OK) << problem;
    return path;
  }
  std::string WriteRawFile(const std::string& name, uint64_t size) const {
    const std::string path = m_dir.Path(name);
    RawDesc desc;
    desc.size = size;
    std::string problem;
    EXPECT_EQ(WriteRaw(path, desc, problem), IMAGE_WRITE_OK) << problem;
    return path;
  }
  // A file of `size` bytes that costs no disk: a hole, with `head` at its start.
  static void MakeSparse(const std::string& path, uint64_t size, const std::string& head = {}) {
    { std::ofstream(path, std::ios::binary | std::ios::trunc) << head; }
    std::filesystem::resize_file(path, size);
  }

  // Start on `image` (flash type `flashType`), then, when Start accepted it,
  // `between` and the whole run into a handset with `faults`.
  EdgeOutcome Flash(const std::string& image, const std::string& faults = "",
                    const std::function<void()>& between = {}, int flashType = 0) {
    EdgeOutcome o;
    HandsetRun r = m_harness.Prepare(faults);
    if (!m_moduleDirectory.empty()) r.run->m_strModuleDirectory = m_moduleDirectory;
    r.run->m_strImagePath = image;
    r.run->m_nFlashType = flashType;
    o.started = r.run->ApplyStartSettings(morvak::testing::SettingsOf(*r.run), o.startLine);
    if (o.started) {
      if (between) between();
      EXPECT_TRUE(r.run->StartWorker());
      if (!SweepHarness::WaitEnded(r, std::chrono::seconds(20))) {
        ADD_FAILURE() << "the run did not end";
        r.run->Shutdown();
      }
      const auto messages = r.run->Messages();
      o.succeeded = !messages.empty() && messages.back().kind == RunEventKind::kRunSucceeded;
      EXPECT_TRUE(!messages.empty() && (messages.back().kind == RunEventKind::kRunSucceeded ||
                                        messages.back().kind == RunEventKind::kRunFailed));
    }
    o.lines = r.run->Lines();
    o.blocks = r.handset->Blocks();
    o.log = r.log->Log();
    o.attaches = r.handset->Attaches();
    o.buffersFreed = r.run->m_programFile.data == nullptr && r.run->m_imageFile.data == nullptr;
    m_lastRun = std::move(r);
    return o;
  }

  ProgramDirectory m_dir;
  SweepHarness m_harness{m_dir};
  // Overrides the program directory of the runs when set.
  std::string m_moduleDirectory;
  HandsetRun m_lastRun;
};

}  // namespace morvak::testing
