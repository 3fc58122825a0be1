// Entry point of the emulated-USB tests. Every emulated ioctl ends in a short
// sleep; a timer slack of 1 ns makes those sleeps, and so the tests, several
// times faster.
#include <gtest/gtest.h>
#include <sys/prctl.h>

int main(int argc, char** argv) {
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
