// The figures a front end shows of a transfer: the rate counts from the first
// payload byte, never from the run's start.
#include <gtest/gtest.h>

#include <vector>

#include "TransferMeter.h"

namespace morvak {
namespace {

using Clock = TransferMeter::Clock;

struct Note {
  int ms;  // after an arbitrary start
  uint64_t sent;
};

struct MeterRow {
  const char* name;
  uint64_t total;
  std::vector<Note> notes;
  const char* summary;
  const char* details;
};

class TransferMeterTest : public ::testing::TestWithParam<MeterRow> {};

TEST_P(TransferMeterTest, ShowsShareRateAndTimeLeft) {
  const MeterRow& row = GetParam();
  const Clock::time_point start{};
  TransferMeter meter;
  for (const Note& n : row.notes) meter.Note(n.sent, row.total, start + std::chrono::milliseconds(n.ms));
  EXPECT_EQ(meter.Summary(), row.summary);
  EXPECT_EQ(meter.Details(), row.details);
}

constexpr uint64_t kMiB = 1024 * 1024;

INSTANTIATE_TEST_SUITE_P(
    Rows, TransferMeterTest,
    ::testing::Values(
        // One note: no rate yet, whatever the wait before it was.
        MeterRow{"FirstChunk", 10'000'000, {{60'000, 65'536}}, "0%", "0.1 MiB of 9.5 MiB sent"},
        // 2 MB in the second after the first chunk: 2.0 MB/s; the hour spent
        // waiting for the handset before it does not count.
        MeterRow{"RateFromFirstByte",
                 10'000'000,
                 {{3'600'000, 1'000'000}, {3'601'000, 3'000'000}},
                 "30% \u00b7 2.0 MB/s \u00b7 0:04 left",
                 "2.9 MiB of 9.5 MiB sent \u00b7 2.0 MB/s \u00b7 0:04 left"},
        MeterRow{"Done", 4 * kMiB, {{0, kMiB}, {2000, 4 * kMiB}}, "100% \u00b7 1.6 MB/s",
                 "4.0 MiB of 4.0 MiB sent \u00b7 1.6 MB/s"},
        MeterRow{"MinutesLeft", 1'000'000'000, {{0, 0}, {10'000, 10'000'000}}, "1% \u00b7 1.0 MB/s \u00b7 16:30 left",
                 "9.5 MiB of 953.7 MiB sent \u00b7 1.0 MB/s \u00b7 16:30 left"},
        // Notes at the same instant give no rate rather than a division by zero.
        MeterRow{"NoTimePassed", 100, {{5, 10}, {5, 50}}, "50%", "0.0 MiB of 0.0 MiB sent"},
        MeterRow{"NoPayload", 0, {{0, 0}}, "0%", "0.0 MiB of 0.0 MiB sent"}),
    [](const ::testing::TestParamInfo<MeterRow>& row) { return std::string(row.param.name); });

TEST(TransferMeter, ResetStartsTheRateAfresh) {
  TransferMeter meter;
  const Clock::time_point start{};
  meter.Note(0, 1000, start);
  meter.Note(1000, 1000, start + std::chrono::seconds(1));
  meter.Reset();
  EXPECT_FALSE(meter.Started());
  meter.Note(500, 1000, start + std::chrono::seconds(100));
  EXPECT_EQ(meter.Summary(), "50%");
}

}  // namespace
}  // namespace morvak
