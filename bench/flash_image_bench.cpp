// Whole runs and image scans: BM_FlashImage sends a 256 MiB .img of 64
// records through the whole run into the virtual handset (no link limit, CRC
// on); BM_ScanImage counts and scans an image of 100,000 records.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "FaultPlan.h"
#include "FlashRun.h"
#include "ImageFormat.h"
#include "ImageWriter.h"
#include "VirtualHandsetTransport.h"

namespace morvak {
namespace {

class QuietRun : public IRunEvents, public FlashRun {
 public:
  QuietRun() : FlashRun(static_cast<IRunEvents&>(*this)) {}
  ~QuietRun() override { Shutdown(); }
  void OnStatusLine(std::string text) override { lastLine = std::move(text); }
  void OnRunOutcome(bool ok) override { succeeded = ok; }
  bool succeeded = false;
  std::string lastLine;
};

std::filesystem::path BenchDir() {
  const std::filesystem::path shm = "/dev/shm";
  std::filesystem::path dir = (std::filesystem::exists(shm) ? shm : std::filesystem::temp_directory_path()) /
                              ("morvak-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir / "file");
  return dir;
}

void BM_FlashImage(benchmark::State& state) {
  const std::filesystem::path dir = BenchDir();
  std::ofstream(dir / "file/2ND.nb0", std::ios::binary) << std::string(6000, 'b');
  std::ofstream(dir / "file/NANDOUT.nb0", std::ios::binary) << std::string(40000, 'p');
  ImageDesc desc;
  // Just under 256 MiB in all: the run refuses images of 0x10000000 bytes or more.
  const uint32_t recordLength = (4u << 20) - 16384;
  for (uint32_t i = 0; i < 64; ++i) {
    RecordDesc r;
    r.address = 0x100000u + i * recordLength;
    r.length = recordLength;
    r.data.seed = i + 1;
    desc.records.push_back(r);
  }
  LayoutDesc layout;
  layout.blockCounts = {2, 3};
  desc.layout = layout;
  const std::string image = (dir / "big.img").string();
  std::string problem;
  if (WriteImage(image, desc, nullptr, problem) != IMAGE_WRITE_OK) {
    state.SkipWithError(problem.c_str());
    return;
  }
  const uint64_t bytes = std::filesystem::file_size(image);
  for (auto _ : state) {
    QuietRun run;
    RunSettings settings;
    settings.moduleDirectory = dir.string() + "/";
    settings.imagePath = image;
    run.m_link.m_device.SetTransport(std::make_unique<VirtualHandsetTransport>(FaultPlan{}));
    std::string line;
    if (!run.ApplyStartSettings(settings, line) || !run.StartWorker()) {
      state.SkipWithError(line.c_str());
      break;
    }
    run.JoinWorker();
    if (!run.succeeded) state.SkipWithError(run.lastLine.c_str());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_FlashImage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_ScanImage(benchmark::State& state) {
  const std::filesystem::path dir = BenchDir();
  ImageDesc desc;
  for (uint32_t i = 0; i < 100000; ++i) {
    RecordDesc r;
    r.address = 0x100000u + i * 64;
    r.length = 64;
    desc.records.push_back(r);
  }
  LayoutDesc layout;
  layout.position = 99999;  // the scan for the layout walks every record before it
  layout.blockCounts = {1};
  desc.layout = layout;
  const std::string image = (dir / "many.img").string();
  std::string problem;
  if (WriteImage(image, desc, nullptr, problem) != IMAGE_WRITE_OK) {
    state.SkipWithError(problem.c_str());
    return;
  }
  for (auto _ : state) {
    uint32_t count = 0;
    uint32_t reserved = 0;
    const int32_t offset = static_cast<int32_t>(desc.rawSize);
    if (CountImageRecordsIn(image, offset, count) == 0 || FindReservedSizeIn(image, offset, reserved) == 0)
      state.SkipWithError("scan failed");
    benchmark::DoNotOptimize(count + reserved);
  }
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_ScanImage)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace morvak
