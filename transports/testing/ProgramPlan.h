#pragma once
// A fault plan as a program's --virtual-handset text gives it: the programs'
// defaults applied. For the tests of the virtual handsets.
#include <gtest/gtest.h>

#include <string>

#include "FaultPlan.h"
#include "VirtualHandsets.h"

namespace morvak::testing {

inline FaultPlan ProgramPlan(const char* text) {
  FaultPlan plan;
  std::string error;
  EXPECT_TRUE(ParseFaultPlan(text, plan, error)) << text << ": " << error;
  ApplyProgramDefaults(plan);
  return plan;
}

}  // namespace morvak::testing
