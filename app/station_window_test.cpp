// The station window on virtual benches: each unit's tile goes through its
// states and the tally counts it, Stop ends the station, closing during a
// run asks first (a signal does not: it ends the runs, records them and
// closes), and an image Start refuses is said without a run.
#include <signal.h>

#include <QMessageBox>
#include <QProgressBar>
#include <cstring>
#include <fstream>
#include <map>
#include <set>

#include "EndingSignals.h"
#include "Format.h"
#include "ImagePathSetting.h"
#include "RunTexts.h"
#include "StationTile.h"
#include "StationWindow.h"
#include "StationWindowTexts.h"
#include "app_test_support.h"

namespace morvak {
namespace {

using namespace morvak::testing;

struct StationWindowTest : ::testing::Test {
  ProfileSandbox profile;
  ProgramDirectory dir{SafeName()};
  std::unique_ptr<StationWindow> window;

  void SetUp() override {
    std::string config = kSmallConfig;
    config.insert(std::strlen("[LURRA_PARAMS]\n"), "RecordFile=records.jsonl\n");
    dir.Config(config);
  }
  void TearDown() override { window.reset(); }

  void Open(const std::string& faults) {
    window = std::make_unique<StationWindow>(StationWindowOptions{true, faults, dir.Directory()});
    window->show();
  }
  std::string Image() {
    const std::string path = dir.Path("image.img");
    std::string problem;
    EXPECT_EQ(WriteImage(path, SmallImage(), nullptr, problem), IMAGE_WRITE_OK) << problem;
    return path;
  }
  std::vector<std::string> Records() const {
    std::vector<std::string> lines;
    std::ifstream in(dir.Path("records.jsonl"));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  bool Flashing() const {
    for (const StationTile* tile : window->Tiles())
      if (tile->State() == PortState::Flashing) return true;
    return false;
  }
};

TEST_F(StationWindowTest, EachUnitGoesThroughItsTileAndTheTally) {
  // The first unit of port 2 fails at its second command; the others pass.
  Open("count=2,cycle=200,speed=4,2:error=5@2@1");
  window->ChooseImage(Image());
  window->StartStation();
  EXPECT_FALSE(window->StartButton()->isEnabled());
  EXPECT_TRUE(window->StopButton()->isEnabled());
  std::map<std::string, std::set<std::string>> statesSeen;
  bool progressSeen = false;
  const bool fourUnits = WaitUntil(
      [&] {
        for (const char* port : {"virtual-1", "virtual-2"}) {
          if (const StationTile* tile = window->Tile(port)) {
            statesSeen[port].insert(tile->StateText());
            progressSeen = progressSeen || tile->ProgressText().find("% · ") != std::string::npos;
          }
        }
        return Records().size() >= 4;
      },
      60000);
  ASSERT_TRUE(fourUnits) << window->TallyText();
  window->StopStation();
  ASSERT_TRUE(WaitUntil([&] { return !window->StationRunning(); }, 30000)) << window->StatusText();
  Drain();

  ASSERT_EQ(window->Tiles().size(), 2u);
  EXPECT_EQ(window->Tile("virtual-2"), window->Tiles()[1]);
  EXPECT_TRUE(statesSeen["virtual-1"].count(texts::kTileFlashing));
  EXPECT_TRUE(statesSeen["virtual-1"].count(texts::kTilePassed));
  EXPECT_TRUE(statesSeen["virtual-2"].count(texts::kTileFailed));
  EXPECT_TRUE(statesSeen["virtual-2"].count(texts::kTileWaiting)) << "the failed unit was unplugged";
  EXPECT_TRUE(progressSeen) << "a tile showed its share and rate";
  EXPECT_EQ(window->Tiles()[0]->AsicIdText().rfind("ASIC ID ", 0), 0u);
  // Every unit that ended is in the tally, the status and the records alike.
  const std::vector<std::string> records = Records();
  size_t failed = 0;
  for (const std::string& r : records) failed += r.find("\"result\":\"failed\"") != std::string::npos ? 1u : 0u;
  EXPECT_EQ(failed, 1u);
  EXPECT_EQ(window->TallyText().rfind(Format(texts::kTallyFormat, records.size() - 1, size_t{1}, size_t{0}), 0), 0u)
      << window->TallyText();
  EXPECT_EQ(window->StatusText(), Format(texts::kStationStoppedFormat, records.size() - 1, size_t{1}, size_t{0}));
  EXPECT_TRUE(window->StartButton()->isEnabled());
  EXPECT_FALSE(window->StopButton()->isEnabled());
}

TEST_F(StationWindowTest, ClosingDuringARunAsksAndYesEndsTheRunAtOnce) {
  Open("hang=run");  // the programmer never reports: the run waits in a read
  window->ChooseImage(Image());
  window->StartStation();
  ASSERT_TRUE(WaitUntil([&] { return Flashing(); }, 10000));
  {
    QuestionAnswers no(QMessageBox::No);
    window->close();
    Drain();
    ASSERT_EQ(no.asked.size(), 1u);
    EXPECT_EQ(no.asked[0], texts::kStopStationAndClose);
  }
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(window->StationRunning()) << "No leaves the run alone";
  QuestionAnswers yes(QMessageBox::Yes);
  const auto closing = std::chrono::steady_clock::now();
  window->close();
  EXPECT_LT(std::chrono::steady_clock::now() - closing, std::chrono::seconds(2));
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(window->StationRunning());
  const std::vector<std::string> records = Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_NE(records[0].find("\"result\":\"stopped\""), std::string::npos) << records[0];
}

TEST_F(StationWindowTest, ASignalEndsTheRunRecordsItAndClosesWithoutAsking) {
#if defined(__SANITIZE_THREAD__)
  // The thread sanitizer delivers a signal only at its own points of
  // synchronisation, late and at no time a test of its timing can bound.
  GTEST_SKIP() << "signal timing under the thread sanitizer";
#endif
  Open("hang=run");  // the programmer never reports: the run waits in a read
  window->ChooseImage(Image());
  window->StartStation();
  ASSERT_TRUE(WaitUntil([&] { return Flashing(); }, 10000));
  QuestionAnswers no(QMessageBox::No);
  const EndingSignals endings([this](int) { window->EndStationAndClose(); });
  ASSERT_EQ(raise(SIGTERM), 0);
  ASSERT_TRUE(WaitUntil([&] { return !window->isVisible(); }, 5000));
  EXPECT_TRUE(no.asked.empty());
  EXPECT_EQ(endings.Received(), SIGTERM);
  EXPECT_FALSE(window->StationRunning());
  const std::vector<std::string> records = Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_NE(records[0].find("\"result\":\"stopped\""), std::string::npos) << records[0];
}

TEST_F(StationWindowTest, NoImageOrOneStartRefusesStartsNoStation) {
  const struct {
    const char* image;  // "" none chosen
    std::string status;
  } rows[] = {
      {"", texts::kStationNoImage},
      {"missing.img", Format(texts::kOpenFileFailed, dir.Path("missing.img").c_str())},
  };
  for (const auto& row : rows) {
    Open("count=2");
    if (*row.image != '\0') window->ChooseImage(dir.Path(row.image));
    window->StartStation();
    EXPECT_TRUE(WaitUntil([&] { return !window->StationRunning(); }, 5000)) << row.image;
    Drain();
    EXPECT_EQ(window->StatusText(), row.status);
    EXPECT_TRUE(window->Tiles().empty()) << "no port was watched";
    EXPECT_TRUE(window->StartButton()->isEnabled());
    EXPECT_TRUE(Records().empty());
  }
}

TEST_F(StationWindowTest, TheImageIsRememberedApartFromTheMainWindows) {
  WriteImagePathSetting("/elsewhere/main.img");
  Open("count=2");
  EXPECT_EQ(window->ImagePath(), "") << "the main window's image is not the station's";
  const std::string image = Image();
  window->ChooseImage(image);
  Open("count=2");
  EXPECT_EQ(window->ImagePath(), image);
  EXPECT_EQ(ReadImagePathSetting(), "/elsewhere/main.img");
}

}  // namespace
}  // namespace morvak
