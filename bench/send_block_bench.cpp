// CUsbDevice::SendBlock of one 64 MiB block to the virtual handset, with no
// link speed limit: what the host side and the handset cost per byte. The
// handset is first brought, by the run's own exchanges, to where a run sends
// the image (programmer started, configured); every iteration then sends the
// same raw block at 0, which the programmer takes as a resend.
// BM_SendBlockNoCrc leaves the checksum query out, to show its share.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "BenchData.h"
#include "Frame.h"
#include "RecordingTarget.h"
#include "TargetLink.h"
#include "VirtualHandsetTransport.h"

namespace morvak::bench {
namespace {

// A handset ready for image blocks. Returns false when any step failed.
bool ReadyHandset(CTargetLink& link) {
  const std::vector<uint8_t> loader(300, 0x5A);
  const std::vector<uint8_t> programmer(2000, 0xC3);
  uint8_t asicId[ASIC_ID_SIZE];
  return link.BootTarget(loader.data(), static_cast<uint32_t>(loader.size()), asicId) == 1 &&
         link.SetRamType() == 1 &&
         link.Download(programmer.data(), VIRTUAL_PROGRAMMER_ADDRESS, static_cast<uint32_t>(programmer.size()),
                       DATA_PROGRAM, 1) == 1 &&
         link.RunProgram() == 1 && link.WaitReport() == 1 && link.SendConfig(5000, 7, 64, 1) == 1;
}

void RunSendBlock(benchmark::State& state, int checksumFlag) {
  const std::vector<uint8_t>& block = RandomBlock();
  testing::RecordingTarget owner;
  CTargetLink link;
  link.m_pOwner = &owner;
  link.m_device.SetTransport(std::make_unique<VirtualHandsetTransport>());
  if (!ReadyHandset(link)) {
    state.SkipWithError("the virtual handset could not be brought up");
    return;
  }
  for (auto _ : state) {
    if (link.m_device.SendBlock(0, static_cast<uint32_t>(block.size()), block.data(), DATA_RAW, checksumFlag) != 1) {
      state.SkipWithError(link.m_device.m_szLastError);
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(block.size()));
  link.EndTransfer();
  link.m_device.Close();
}

void BM_SendBlock(benchmark::State& state) { RunSendBlock(state, 1); }
void BM_SendBlockNoCrc(benchmark::State& state) { RunSendBlock(state, 0); }

BENCHMARK(BM_SendBlock)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SendBlockNoCrc)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace morvak::bench
