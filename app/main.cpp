// morvak: the window program.
#include "FlashToolApp.h"

int main(int argc, char** argv) {
  morvak::CFlashToolApp app(argc, argv);
  return app.Run();
}
