#include "CliMain.h"

int main(int argc, char** argv) { return morvak::cli::Main(argc, argv); }
