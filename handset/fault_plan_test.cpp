#include <gtest/gtest.h>

#include "FaultPlan.h"

namespace morvak {
namespace {

struct GoodText {
  const char* text;
  FaultPlan (*expected)();
};

FaultPlan Plan() { return {}; }

const GoodText kGood[] = {
    {"", Plan},
    {"   ", Plan},
    {"appear=250", [] { auto p = Plan(); p.appearMs = 250; return p; }},
    {"cycle=500", [] { auto p = Plan(); p.cycleMs = 500; return p; }},
    {"asic-fail", [] { auto p = Plan(); p.asicFail = true; return p; }},
    {"ping-bad", [] { auto p = Plan(); p.pingBad = true; return p; }},
    {"ram-refuse", [] { auto p = Plan(); p.ramRefuse = true; return p; }},
    {"crc-bad=3", [] { auto p = Plan(); p.crcBad = 3; return p; }},
    {"crc-bad=0x10", [] { auto p = Plan(); p.crcBad = 16; return p; }},
    {"config-refuse=a", [] { auto p = Plan(); p.configRefuse = ConfigRefusal::A; return p; }},
    {"config-refuse=B", [] { auto p = Plan(); p.configRefuse = ConfigRefusal::B; return p; }},
    {"error=5@2", [] { auto p = Plan(); p.errorCode = 5; p.errorRun = 2; return p; }},
    {"error=-7@1", [] { auto p = Plan(); p.errorCode = 0xFFFFFFF9u; p.errorRun = 1; return p; }},
    {"error=0xFFFFFFFF@3", [] { auto p = Plan(); p.errorCode = 0xFFFFFFFFu; p.errorRun = 3; return p; }},
    {"error=4294967295@3", [] { auto p = Plan(); p.errorCode = 0xFFFFFFFFu; p.errorRun = 3; return p; }},
    {"error=-2147483648@1", [] { auto p = Plan(); p.errorCode = 0x80000000u; p.errorRun = 1; return p; }},
    {"error=0@4", [] { auto p = Plan(); p.errorCode = 0; p.errorRun = 4; return p; }},
    {"texts=4", [] { auto p = Plan(); p.textsPerRun = 4; return p; }},
    {"hang=asic", [] { auto p = Plan(); p.hang = HangPoint::Asic; return p; }},
    {"hang=ping", [] { auto p = Plan(); p.hang = HangPoint::Ping; return p; }},
    {"hang=ram", [] { auto p = Plan(); p.hang = HangPoint::Ram; return p; }},
    {"hang=ack:3", [] { auto p = Plan(); p.hang = HangPoint::Ack; p.hangOccurrence = 3; return p; }},
    {"hang=crc", [] { auto p = Plan(); p.hang = HangPoint::Crc; return p; }},
    {"hang=config:2", [] { auto p = Plan(); p.hang = HangPoint::Config; p.hangOccurrence = 2; return p; }},
    {"hang=run:2", [] { auto p = Plan(); p.hang = HangPoint::Run; p.hangOccurrence = 2; return p; }},
    {"disconnect=0", [] { auto p = Plan(); p.disconnect = true; return p; }},
    {"disconnect=123456", [] { auto p = Plan(); p.disconnect = true; p.disconnectAfter = 123456; return p; }},
    {"speed=20", [] { auto p = Plan(); p.speedMBps = 20; return p; }},
    {"flash=3", [] { auto p = Plan(); p.flashMBps = 3; return p; }},
    {"flash=100000", [] { auto p = Plan(); p.flashMBps = 100000; return p; }},
    // Given as 0 it stays given: the programs' default does not replace it.
    {"flash=0", [] { auto p = Plan(); p.flashMBps = 0; return p; }},
    {" crc-bad=3 , error=5@2 ", [] { auto p = Plan(); p.crcBad = 3; p.errorCode = 5; p.errorRun = 2; return p; }},
    {"texts=2,speed=53,appear=10,ping-bad",
     [] { auto p = Plan(); p.textsPerRun = 2; p.speedMBps = 53; p.appearMs = 10; p.pingBad = true; return p; }},
};

class GoodFaultText : public ::testing::TestWithParam<GoodText> {};

TEST_P(GoodFaultText, ParsesAndSurvivesItsCanonicalForm) {
  FaultPlan plan;
  plan.crcBad = 99;  // replaced whole, not merged
  std::string error;
  ASSERT_TRUE(ParseFaultPlan(GetParam().text, plan, error)) << error;
  EXPECT_EQ(plan, GetParam().expected());

  FaultPlan again;
  ASSERT_TRUE(ParseFaultPlan(FaultPlanText(plan), again, error)) << FaultPlanText(plan) << ": " << error;
  EXPECT_EQ(again, plan) << FaultPlanText(plan);
  EXPECT_FALSE(DescribeFaultPlan(plan).empty());
}

INSTANTIATE_TEST_SUITE_P(Texts, GoodFaultText, ::testing::ValuesIn(kGood));

struct BadText {
  const char* text;
  const char* errorMentions;
};

const BadText kBad[] = {
    {"bogus", "unknown fault \"bogus\""},
    {"crc-bad", "needs a value"},
    {"crc-bad=", "crc-bad"},
    {"crc-bad=-1", "crc-bad"},
    {"crc-bad=3x", "crc-bad"},
    {"crc-bad=4294967296", "crc-bad"},
    {"asic-fail=1", "takes no value"},
    {"crc-bad=1,crc-bad=2", "given twice"},
    {"crc-bad=1,,ping-bad", "empty item"},
    {"ping-bad,", "empty item"},
    {",ping-bad", "empty item"},
    {"config-refuse=c", "a or b"},
    {"error=5", "CODE@K"},
    {"error=5@0", "1 or more"},
    {"error=@2", "32-bit code"},
    {"error=4294967296@1", "32-bit code"},
    {"error=-2147483649@1", "32-bit code"},
    {"error=-0x5@1", "32-bit code"},
    {"hang=sometimes", "needs a point"},
    {"hang=run:0", "1 or more"},
    {"hang=asic:2", "asic happens once"},
    {"hang=config:3", "config:K"},
    {"texts=1001", "texts"},
    {"speed=0", "speed"},
    {"flash", "needs a value"},
    {"flash=", "from 0"},
    {"flash=-1", "from 0"},
    {"flash=100001", "from 0"},
    {"appear=ten", "appear"},
};

class BadFaultText : public ::testing::TestWithParam<BadText> {};

TEST_P(BadFaultText, IsRefusedWithAReasonAndLeavesThePlanAlone) {
  FaultPlan plan;
  plan.crcBad = 7;
  std::string error;
  EXPECT_FALSE(ParseFaultPlan(GetParam().text, plan, error));
  EXPECT_NE(error.find(GetParam().errorMentions), std::string::npos) << error;
  EXPECT_EQ(plan.crcBad, 7u);
}

INSTANTIATE_TEST_SUITE_P(Texts, BadFaultText, ::testing::ValuesIn(kBad));

TEST(FaultPlanWords, DescribeAndTextOfAnEmptyPlan) {
  EXPECT_EQ(DescribeFaultPlan({}), "no faults");
  EXPECT_EQ(FaultPlanText({}), "");
}

TEST(FaultPlanWords, CanonicalTextWritesCodesSignedAndOmitsTheFirstOccurrence) {
  FaultPlan plan;
  std::string error;
  ASSERT_TRUE(ParseFaultPlan("hang=crc:1,error=0xFFFFFFFF@3", plan, error));
  EXPECT_EQ(FaultPlanText(plan), "error=-1@3,hang=crc");
  EXPECT_EQ(DescribeFaultPlan(plan), "the 3rd CMD_RUN ends in error -1; the 1st CMD_GET_CRC is never answered");
}

TEST(FaultPlanWords, HelpNamesEveryKey) {
  const std::string help = FaultPlanHelp();
  for (const char* key : {"appear=", "cycle=", "asic-fail", "ping-bad", "ram-refuse", "crc-bad=", "config-refuse=", "error=",
                          "texts=", "hang=", "disconnect=", "speed=", "flash="})
    EXPECT_NE(help.find(key), std::string::npos) << key;
  EXPECT_EQ(help.back(), '\n');
}

}  // namespace
}  // namespace morvak
