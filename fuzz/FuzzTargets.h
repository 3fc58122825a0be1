#pragma once
// The bodies of the fuzz targets. Each runs one input through the code under
// test and checks what must hold whatever the input; the libFuzzer programs
// and the regression test (every kept crash and every seed) call the same
// bodies. An input may be any bytes, of any length.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace morvak::fuzz {

// Empty when every check held; otherwise what did not.
using FuzzBody = std::string (*)(const uint8_t* data, size_t size);

// Image scans and the Start checks. The input's first bytes say how the run is
// set up (see ImageScanInput); the rest is the image file.
std::string FuzzImageScan(const uint8_t* data, size_t size);
// CCoffFile::Parse and the loader's COFF and plain modes on the input as a file.
std::string FuzzCoffParse(const uint8_t* data, size_t size);
// The input is what the target sends while CTargetLink waits for reports.
std::string FuzzWaitReport(const uint8_t* data, size_t size);
// The input is a profile file, read from text and from disk.
std::string FuzzProfileFile(const uint8_t* data, size_t size);
// The input is a fault plan and the bytes a host writes to a virtual handset.
std::string FuzzHandsetParser(const uint8_t* data, size_t size);

struct FuzzTarget {
  const char* name;  // the fuzz program's name, also its folder of seeds and regressions
  FuzzBody body;
};
const std::vector<FuzzTarget>& FuzzTargets();
// Null for a name that is no target.
FuzzBody FindFuzzBody(const std::string& name);

}  // namespace morvak::fuzz
