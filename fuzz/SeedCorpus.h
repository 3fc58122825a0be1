#pragma once
// The seed corpora of the fuzz targets: sound inputs and a few near misses,
// made with the image writer and the COFF test writer so that the fuzzers
// start from inputs that reach deep into the code.
#include <string>

namespace morvak::fuzz {

// Writes <directory>/<target>/<seed> for every target, replacing earlier
// seeds. `profileSeed` is a profile file taken as one more seed (the shipped
// configuration). False with the reason in `problem` when a file cannot be written.
bool WriteSeedCorpus(const std::string& directory, const std::string& profileSeed, std::string& problem);

}  // namespace morvak::fuzz
