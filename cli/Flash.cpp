#include "Flash.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "ConsoleRun.h"
#include "CountingTransport.h"
#include "ImageBlocks.h"
#include "Interrupt.h"
#include "ModuleDirectory.h"
#include "RunConfig.h"
#include "TransportChoice.h"
#include "VirtualHandsetTransport.h"

namespace morvak::cli {
namespace {

uint64_t FileSize(const char* path) {
  struct stat st {};
  return stat(path, &st) == 0 && st.st_size > 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

bool WriteBlockRecord(const std::string& path, const std::vector<BlockRecord>& blocks, std::FILE* err) {
  std::ofstream out(path, std::ios::trunc);
  for (const BlockRecord& b : blocks) out << FormatBlockLine(ImageBlock{b.kind, b.address, b.length, b.crc}) << '\n';
  out.flush();
  if (!out) {
    std::fprintf(err, "morvak-cli: cannot write the block record %s\n", path.c_str());
    return false;
  }
  return true;
}

}  // namespace

int RunFlash(const FlashOptions& options, std::FILE* out, std::FILE* err) {
  CConsoleRun run(out, err, isatty(STDIN_FILENO) != 0);
  TransportChoice choice;
  choice.virtualHandset = options.virtualHandset;
  choice.faults = options.faults;
  choice.configPath = ModuleRelativePath(run.m_strModuleDirectory, kConfigFileName);
  std::string error;
  VirtualHandsetTransport* handset = nullptr;
  std::unique_ptr<ITransport> transport = MakeTransport(choice, error, &handset);
  if (!transport) {
    std::fprintf(err, "morvak-cli: %s\n", error.c_str());
    return 2;
  }
  auto counting = std::make_unique<CCountingTransport>(std::move(transport));
  run.SetByteCounter(&counting->BytesWritten());
  run.m_link.m_device.SetTransport(std::move(counting));

  run.m_strImagePath = options.image;
  run.m_nFlashType = options.oneNand ? FLASH_TYPE_ONENAND : FLASH_TYPE_NAND;
  std::string line;
  if (!run.ApplyStartSettings(options.eraseReserved, line)) {
    std::fprintf(out, "%s\n", line.c_str());
    return 1;
  }
  run.SetExpectedBytes(FileSize(options.image.c_str()) + FileSize(run.m_programFile.path));
  InstallInterruptHandler();
  if (!run.StartWorker()) return 1;
  const int succeeded = run.Pump();
  if (handset != nullptr && !options.recordBlocks.empty() &&
      !WriteBlockRecord(options.recordBlocks, handset->Blocks(), err))
    return 1;
  return succeeded != 0 ? 0 : 1;
}

}  // namespace morvak::cli
