// The virtual bench (cycle=): handsets unplugged after their run and fresh
// ones plugged in, as the ports' Open shows them; faults of single handsets
// (FAULT@U, K:FAULT@U); and a station's watch over a port.
#include <gtest/gtest.h>

#include <cstring>
#include <future>
#include <thread>

#include "HandsetChannels.h"
#include "HandsetContent.h"
#include "PortWatch.h"
#include "VirtualHandsetTransport.h"
#include "ProgramPlan.h"
#include "VirtualHandsets.h"

namespace morvak {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

FaultPlan Plan(const char* text) { return testing::ProgramPlan(text); }

std::vector<HandsetChannel> Bench(const char* text) {
  VirtualHandsetSet set;
  std::string error;
  EXPECT_TRUE(ParseVirtualHandsets(text, set, error)) << text << ": " << error;
  return MakeVirtualChannels(set.ports);
}

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Reads the ASIC ID of the handset opened; empty when the read fails.
std::vector<uint8_t> ReadAsicId(ITransport& t) {
  std::vector<uint8_t> id(VIRTUAL_ASIC_ID_SIZE);
  if (!t.Read(id.data(), VIRTUAL_ASIC_ID_SIZE)) return {};
  return id;
}

std::vector<uint8_t> IdOf(uint32_t port, uint32_t unit) {
  std::vector<uint8_t> id(VIRTUAL_ASIC_ID_SIZE);
  VirtualAsicId(id.data(), BenchUnit{port, unit});
  return id;
}

// Waits until the port's `unit`-th handset is plugged in; false after 5 s.
bool AwaitUnit(VirtualHandsetTransport& t, uint32_t unit) {
  const auto start = Clock::now();
  while (t.Unit() != unit) {
    if (MsSince(start) > 5000) return false;
    std::this_thread::sleep_for(milliseconds(1));
  }
  return true;
}

struct UnitPlanCase {
  const char* name;
  const char* text;
  size_t port;  // from 1
  uint32_t unit;
  const char* plan;  // that handset's plan in fault-list form
};

class UnitPlanTest : public ::testing::TestWithParam<UnitPlanCase> {};

TEST_P(UnitPlanTest, GivesTheHandsetItsOwnFaults) {
  VirtualHandsetSet set;
  std::string error;
  ASSERT_TRUE(ParseVirtualHandsets(GetParam().text, set, error)) << error;
  ASSERT_LE(GetParam().port, set.ports.size());
  const FaultPlan& plan = set.ports[GetParam().port - 1].PlanOfUnit(GetParam().unit);
  EXPECT_EQ(plan, Plan(GetParam().plan)) << FaultPlanText(plan);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, UnitPlanTest,
    ::testing::Values(
        UnitPlanCase{"ForEveryPort", "count=2,cycle=9,crc-bad=3@2", 2, 2, "cycle=9,crc-bad=3"},
        UnitPlanCase{"OtherUnitsKeepThePlanForAll", "count=2,cycle=9,crc-bad=3@2", 2, 1, "cycle=9"},
        UnitPlanCase{"ReplacesTheSameKey", "cycle=9,crc-bad=1,crc-bad=4@3", 1, 3, "cycle=9,crc-bad=4"},
        UnitPlanCase{"NeighbourUnitUntouched", "cycle=9,crc-bad=1,crc-bad=4@3", 1, 2, "cycle=9,crc-bad=1"},
        UnitPlanCase{"ErrorKeepsItsOwnAt", "cycle=9,error=5@2@3", 1, 3, "cycle=9,error=5@2"},
        UnitPlanCase{"ErrorWithOneAtIsForAll", "cycle=9,error=5@2", 1, 1, "cycle=9,error=5@2"},
        UnitPlanCase{"HangCountAndUnit", "cycle=9,hang=crc:2@3", 1, 3, "cycle=9,hang=crc:2"},
        UnitPlanCase{"PortUnitReplacesUnitForAll", "count=2,cycle=9,crc-bad=1@2,2:crc-bad=7@2", 2, 2,
                     "cycle=9,crc-bad=7"},
        UnitPlanCase{"OtherPortKeepsUnitForAll", "count=2,cycle=9,crc-bad=1@2,2:crc-bad=7@2", 1, 2,
                     "cycle=9,crc-bad=1"},
        UnitPlanCase{"PortUnitOverPortFault", "count=2,cycle=9,2:speed=5,2:speed=9@2", 2, 2, "cycle=9,speed=9"},
        UnitPlanCase{"PortFaultForItsOtherUnits", "count=2,cycle=9,2:speed=5,2:speed=9@2", 2, 1, "cycle=9,speed=5"},
        UnitPlanCase{"PortCycleOnly", "count=2,2:cycle=9,2:ram-refuse@2", 2, 2, "cycle=9,ram-refuse"},
        UnitPlanCase{"FirstHandsetWithoutCycle", "asic-fail@1", 1, 1, "asic-fail"}),
    [](const ::testing::TestParamInfo<UnitPlanCase>& p) { return std::string(p.param.name); });

// How a handset's run ends, as the bench sees it.
enum class RunEnd {
  Closed,      // the run's channel is closed
  OpenedAgain, // the next Open releases it
  NoRun,       // only looked at: opened and closed with nothing read or written
};

struct CycleCase {
  const char* name;
  RunEnd end;
};

class BenchCycleTest : public ::testing::TestWithParam<CycleCase> {};

// The handset leaves `cycle` after its run's channel is closed and the next
// comes `cycle` after that, with an ASIC ID of its own; meanwhile Open says
// at once that there is no device.
TEST_P(BenchCycleTest, TheHandsetLeavesAfterItsRunAndTheNextComesLater) {
  constexpr double kCycle = 150;
  auto channels = Bench("cycle=150");
  VirtualHandsetTransport& port = *channels[0].virtualHandset;
  ASSERT_EQ(port.Open(), OPEN_CONNECTED);
  if (GetParam().end != RunEnd::NoRun) {
    ASSERT_EQ(ReadAsicId(port), IdOf(1, 1));
  }
  const auto ended = Clock::now();
  if (GetParam().end == RunEnd::OpenedAgain) {
    ASSERT_EQ(port.Open(), OPEN_CONNECTED);
  } else {
    port.Close();
  }

  double gone = -1, back = -1, quickestNoDevice = 1e9;
  while (back < 0 && MsSince(ended) < 3 * kCycle + 2000) {
    const auto before = Clock::now();
    const uint32_t result = port.Open();
    if (result == OPEN_CONNECTED) {
      port.Close();
      if (gone >= 0) back = MsSince(ended);
    } else {
      ASSERT_EQ(result, OPEN_NO_DEVICE);
      quickestNoDevice = std::min(quickestNoDevice, MsSince(before));
      if (gone < 0) gone = MsSince(ended);
      EXPECT_EQ(port.Unit(), 0u);
    }
    if (GetParam().end == RunEnd::NoRun && MsSince(ended) > 3 * kCycle) break;
    std::this_thread::sleep_for(milliseconds(1));
  }
  if (GetParam().end == RunEnd::NoRun) {
    EXPECT_LT(gone, 0) << "a handset only looked at stays";
    EXPECT_EQ(port.Unit(), 1u);
    return;
  }
  ASSERT_GE(gone, 0) << "the handset never left";
  ASSERT_GE(back, 0) << "no handset came after it";
  EXPECT_GE(gone, kCycle);
  EXPECT_LT(gone, kCycle + 1000);
  EXPECT_GE(back, 2 * kCycle);
  EXPECT_LT(quickestNoDevice, 5.0) << "an Open without a handset waits";
  EXPECT_EQ(port.Unit(), 2u);
  ASSERT_EQ(port.Open(), OPEN_CONNECTED);
  EXPECT_EQ(ReadAsicId(port), IdOf(1, 2)) << "the new handset boots from its ROM";
}

INSTANTIATE_TEST_SUITE_P(Ends, BenchCycleTest,
                         ::testing::Values(CycleCase{"Closed", RunEnd::Closed},
                                           CycleCase{"OpenedAgain", RunEnd::OpenedAgain},
                                           CycleCase{"NoRun", RunEnd::NoRun}),
                         [](const ::testing::TestParamInfo<CycleCase>& p) { return std::string(p.param.name); });

struct UnitFaultCase {
  const char* name;
  const char* text;
  size_t port;                 // from 1
  std::vector<bool> asicRead;  // whether the ASIC ID of handsets 1, 2, ... comes
};

class UnitFaultTest : public ::testing::TestWithParam<UnitFaultCase> {};

TEST_P(UnitFaultTest, HitsOnlyItsHandset) {
  auto channels = Bench(GetParam().text);
  ASSERT_LE(GetParam().port, channels.size());
  VirtualHandsetTransport& port = *channels[GetParam().port - 1].virtualHandset;
  port.SetReplyTimeout(milliseconds(100));
  for (uint32_t unit = 1; unit <= GetParam().asicRead.size(); ++unit) {
    ASSERT_TRUE(AwaitUnit(port, unit)) << "handset " << unit << " never came";
    ASSERT_EQ(port.Open(), OPEN_CONNECTED);
    const std::vector<uint8_t> id = ReadAsicId(port);
    if (GetParam().asicRead[unit - 1]) {
      EXPECT_EQ(id, IdOf(static_cast<uint32_t>(GetParam().port), unit)) << "handset " << unit;
    } else {
      EXPECT_TRUE(id.empty()) << "handset " << unit << " should fail";
    }
    port.Close();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, UnitFaultTest,
    ::testing::Values(UnitFaultCase{"AsicFailOfTheSecond", "cycle=5,asic-fail@2", 1, {true, false, true}},
                      UnitFaultCase{"HangOfTheThird", "cycle=5,hang=asic@3", 1, {true, true, false}},
                      UnitFaultCase{"OnItsPort", "count=2,cycle=5,2:asic-fail@2", 2, {true, false, true}},
                      UnitFaultCase{"NotOnOtherPorts", "count=2,cycle=5,2:asic-fail@2", 1, {true, true, true}},
                      // A handset's own value takes the place of the one for all.
                      UnitFaultCase{"SparedFromTheFaultForAll", "cycle=5,disconnect=0,disconnect=99999@2", 1,
                                    {false, true, false}}),
    [](const ::testing::TestParamInfo<UnitFaultCase>& p) { return std::string(p.param.name); });

// A handset that had its run is not booted again when its port is opened
// once more, and a read that waits on it fails when it is unplugged.
TEST(VirtualBenchTest, AFlashedHandsetAnswersNothingAndFailsReadsOnceUnplugged) {
  auto channels = Bench("cycle=200");
  VirtualHandsetTransport& port = *channels[0].virtualHandset;
  ASSERT_EQ(port.Open(), OPEN_CONNECTED);
  ASSERT_EQ(ReadAsicId(port), IdOf(1, 1));
  port.Close();
  const auto closed = Clock::now();
  ASSERT_EQ(port.Open(), OPEN_CONNECTED);
  auto read = std::async(std::launch::async, [&] { return ReadAsicId(port); });
  if (read.wait_for(std::chrono::seconds(3)) != std::future_status::ready) {
    port.Interrupt();
    FAIL() << "the read outlived the handset";
  }
  EXPECT_TRUE(read.get().empty()) << "the ROM sent its ASIC ID twice";
  EXPECT_GE(MsSince(closed), 200.0);
  EXPECT_EQ(port.Stage(), HandsetStage::Off);
  EXPECT_FALSE(port.HandsetPresent());
  EXPECT_FALSE(port.Write(reinterpret_cast<const uint8_t*>("\x02\x00\x03\xF0"), 4));
}

// What a station's watch does: flash each handset once, as it comes.
TEST(PortWatchTest, EveryHandsetOfABenchWaitsOnceAndInTurn) {
  auto channels = Bench("count=2,cycle=20");
  std::vector<PortWatch> watches;
  for (HandsetChannel& c : channels) {
    c.transport->SetReplyTimeout(milliseconds(200));
    watches.emplace_back(*c.transport);
  }
  std::vector<std::vector<std::vector<uint8_t>>> flashed(channels.size());
  const auto start = Clock::now();
  while ((flashed[0].size() < 3 || flashed[1].size() < 3) && MsSince(start) < 10000) {
    for (size_t p = 0; p < channels.size(); ++p) {
      if (flashed[p].size() == 3 || !watches[p].HandsetWaiting()) continue;
      ITransport& t = *channels[p].transport;
      ASSERT_EQ(t.Open(), OPEN_CONNECTED);
      flashed[p].push_back(ReadAsicId(t));
      t.Close();
      watches[p].RunEnded();
    }
    std::this_thread::sleep_for(milliseconds(1));
  }
  for (uint32_t p = 0; p < channels.size(); ++p)
    EXPECT_EQ(flashed[p], (std::vector<std::vector<uint8_t>>{IdOf(p + 1, 1), IdOf(p + 1, 2), IdOf(p + 1, 3)}))
        << channels[p].port;
  channels[0].transport->Interrupt();
  EXPECT_EQ(LookAtPort(*channels[0].transport), PortLook::Interrupted);
}

}  // namespace
}  // namespace morvak
