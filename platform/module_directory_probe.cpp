// Prints GetModuleDirectory() of this program, for module_directory_test.
#include <cstdio>

#include "ModuleDirectory.h"

int main() {
  std::fputs(morvak::GetModuleDirectory().c_str(), stdout);
  return 0;
}
