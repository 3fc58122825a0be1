// The --virtual-handset= text for several handsets: count=N, faults for all,
// and K:FAULT for one handset in place of the same fault for all.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "TransportChoice.h"
#include "VirtualHandsetTransport.h"
#include "ProgramPlan.h"
#include "VirtualHandsets.h"
#include "handset_test_support.h"

namespace morvak {
namespace {

FaultPlan Plan(const char* text) { return testing::ProgramPlan(text); }

struct SetCase {
  const char* name;
  const char* text;
  bool countGiven;
  std::vector<const char*> plans;  // each handset's plan in fault-list form
};

class VirtualHandsetsTest : public ::testing::TestWithParam<SetCase> {};

TEST_P(VirtualHandsetsTest, GivesEachHandsetItsFaults) {
  VirtualHandsetSet set;
  std::string error;
  ASSERT_TRUE(ParseVirtualHandsets(GetParam().text, set, error)) << error;
  EXPECT_EQ(set.countGiven, GetParam().countGiven);
  ASSERT_EQ(set.ports.size(), GetParam().plans.size());
  for (size_t i = 0; i < set.ports.size(); ++i)
    EXPECT_EQ(set.ports[i].plan, Plan(GetParam().plans[i])) << "handset " << i + 1 << ": " << FaultPlanText(set.ports[i].plan);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, VirtualHandsetsTest,
    ::testing::Values(
        SetCase{"Empty", "", false, {""}},
        SetCase{"OneWithFaults", "crc-bad=3,error=5@2", false, {"crc-bad=3,error=5@2"}},
        // hang=POINT:K has a colon of its own and is a fault for all.
        SetCase{"HangIsNoHandsetNumber", "hang=crc:2", false, {"hang=crc:2"}},
        SetCase{"CountAlone", "count=3", true, {"", "", ""}},
        SetCase{"CountOne", "count=1", true, {""}},
        SetCase{"FaultsForAll", "speed=20,count=2", true, {"speed=20", "speed=20"}},
        SetCase{"OneHandsetFails", "count=4,speed=20,2:ram-refuse", true,
                {"speed=20", "speed=20,ram-refuse", "speed=20", "speed=20"}},
        SetCase{"OwnFaultReplacesTheCommonOne", "count=3, speed=20 , 3:speed=5,1:hang=run:2", true,
                {"speed=20,hang=run:2", "speed=20", "speed=5"}},
        SetCase{"SeveralOwnFaults", "2:crc-bad=1,count=2,2:error=-1@3", true, {"", "crc-bad=1,error=-1@3"}},
        SetCase{"LargestCount", "count=64", true, std::vector<const char*>(64, "")},
        SetCase{"OneHandsetWritesAtOnce", "count=2,2:flash=0", true, {"", "flash=0"}}),
    [](const ::testing::TestParamInfo<SetCase>& p) { return std::string(p.param.name); });

struct BadCase {
  const char* name;
  const char* text;
  const char* says;  // the reason must hold this
};

class VirtualHandsetsRefusalTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(VirtualHandsetsRefusalTest, RefusesWithAReasonAndLeavesTheSetAlone) {
  VirtualHandsetSet set;
  set.ports = {PortPlan{Plan("crc-bad=1"), {}}};
  const VirtualHandsetSet before = set;
  std::string error;
  EXPECT_FALSE(ParseVirtualHandsets(GetParam().text, set, error));
  EXPECT_NE(error.find(GetParam().says), std::string::npos) << error;
  ASSERT_EQ(set.ports.size(), before.ports.size());
  EXPECT_EQ(set.ports[0], before.ports[0]);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, VirtualHandsetsRefusalTest,
    ::testing::Values(BadCase{"CountZero", "count=0", "from 1 to 64"},
                      BadCase{"CountTooMany", "count=65", "from 1 to 64"},
                      BadCase{"CountNotANumber", "count=four", "from 1 to 64"},
                      BadCase{"CountWithoutValue", "count", "from 1 to 64"},
                      BadCase{"CountTwice", "count=2,count=3", "given twice"},
                      BadCase{"HandsetBeyondCount", "count=2,3:ram-refuse", "handsets 1 to 2"},
                      BadCase{"HandsetZero", "count=2,0:ram-refuse", "handsets 1 to 2"},
                      BadCase{"HandsetWithoutCount", "2:ram-refuse", "no count=N"},
                      BadCase{"NoFaultAfterNumber", "count=2,2:", "names no fault"},
                      BadCase{"UnknownCommonFault", "count=2,frobnicate", "unknown fault"},
                      BadCase{"UnknownOwnFault", "count=2,2:frobnicate", "handset 2: unknown fault"},
                      BadCase{"OwnFaultTwice", "count=2,2:crc-bad=1,2:crc-bad=2", "handset 2: fault \"crc-bad\" given twice"},
                      BadCase{"TrailingComma", "count=2,", "empty item"},
                      BadCase{"DoubleComma", "count=2,,speed=3", "empty item"},
                      BadCase{"UnitWithoutCycle", "crc-bad=1@2", "without cycle=MS"},
                      BadCase{"PortUnitWithoutCycle", "count=2,1:cycle=5,2:crc-bad=1@2", "handset 2: \"crc-bad=1@2\""},
                      BadCase{"UnitZero", "cycle=5,crc-bad=1@0", "counted from 1"},
                      BadCase{"CycleOfOneHandset", "cycle=5@2", "belongs to the port"},
                      BadCase{"AppearOfOneHandset", "cycle=5,appear=9@2", "belongs to the port"},
                      BadCase{"UnitFaultTwice", "count=2,cycle=5,2:crc-bad=1@3,2:crc-bad=2@3",
                              "handset 2: @3: fault \"crc-bad\" given twice"},
                      BadCase{"BadUnitFault", "cycle=5,crc-bad=x@2", "@2: fault \"crc-bad=x\""},
                      BadCase{"CycleBeyondADay", "cycle=86400001", "cycle"}),
    [](const ::testing::TestParamInfo<BadCase>& p) { return std::string(p.param.name); });

// The programs' virtual handsets, the console's and the window's, take a few
// seconds to write the demo image: long enough to see the progress move,
// short against the reply time-out.
TEST(VirtualHandsetsTest, TheProgramsWriteTheDemoImageInAFewSeconds) {
  const auto demoSize = static_cast<uint32_t>(std::filesystem::file_size(MORVAK_DEMO_IMG));
  std::string error;
  VirtualHandsetSet console;
  ASSERT_TRUE(ParseVirtualHandsets("", console, error)) << error;
  VirtualHandsetTransport* window = nullptr;
  const auto transport = MakeTransport(TransportChoice{true, "", ""}, error, &window);
  ASSERT_NE(window, nullptr) << error;
  for (const FaultPlan& plan : {console.ports.front().plan, window->Faults()}) {
    VirtualHandset handset(plan);
    handset.Attach();
    const auto script = handset_test::HostScript()
                            .Configured()
                            .Block(DATA_RAW, 0, demoSize, 2)
                            .Cmd(CMD_GET_CRC)
                            .Cmd(CMD_RUN)
                            .bytes;
    handset.HostWrote(script.data(), script.size());
    std::chrono::microseconds writing(0);
    for (const ReplyPause& pause : handset.TakePauses()) writing += pause.delay;
    EXPECT_GE(writing, std::chrono::seconds(1)) << FaultPlanText(plan);
    EXPECT_LE(writing, std::chrono::seconds(8)) << FaultPlanText(plan);
  }
}

TEST(VirtualHandsetsTest, NamesHandsetsFromOne) {
  EXPECT_EQ(VirtualHandsetName(0), "virtual-1");
  EXPECT_EQ(VirtualHandsetName(63), "virtual-64");
}

}  // namespace
}  // namespace morvak
