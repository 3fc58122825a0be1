// morvak-fuzz-seeds OUTDIR [PROFILE]: writes the fuzz targets' seed corpora.
#include <cstdio>
#include <string>

#include "SeedCorpus.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: morvak-fuzz-seeds OUTDIR [PROFILE]\n");
    return 2;
  }
  std::string problem;
  if (!morvak::fuzz::WriteSeedCorpus(argv[1], argc == 3 ? argv[2] : "", problem)) {
    std::fprintf(stderr, "morvak-fuzz-seeds: %s\n", problem.c_str());
    return 1;
  }
  return 0;
}
