// morvak-mkimg: writes .img and .raw files for trying and testing runs.
#include <cstdio>
#include <string>
#include <vector>

#include "MkimgCommand.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  morvak::MkimgCommand command;
  std::string error;
  if (!morvak::ParseMkimgArgs(args, command, error)) {
    std::fprintf(stderr, "morvak-mkimg: %s (see morvak-mkimg --help)\n", error.c_str());
    return morvak::MKIMG_EXIT_USAGE;
  }
  if (command.action == morvak::MkimgAction::Version) {
    std::fputs(morvak::MkimgVersion().c_str(), stdout);
    return morvak::MKIMG_EXIT_OK;
  }
  if (command.action == morvak::MkimgAction::Help) {
    std::fputs(morvak::MkimgUsage(), stdout);
    return morvak::MKIMG_EXIT_OK;
  }
  std::string report;
  const int status = morvak::RunMkimg(command, report, error);
  if (status != morvak::MKIMG_EXIT_OK) {
    std::fprintf(stderr, "morvak-mkimg: %s\n", error.c_str());
    return status;
  }
  std::fputs(report.c_str(), stdout);
  return status;
}
