#pragma once
// CFlashToolApp: the application object. It shows the main window modally
// and the program ends when the window closes. Qt allows one application per
// process, and so one CFlashToolApp; main() makes it.
#include <QApplication>
#include <memory>

#include "AppExitStatus.h"

namespace morvak {

struct AppOptions;

class CFlashToolApp {
 public:
  CFlashToolApp(int& argc, char** argv);
  ~CFlashToolApp();
  CFlashToolApp(const CFlashToolApp&) = delete;
  CFlashToolApp& operator=(const CFlashToolApp&) = delete;

  // InitInstance, then ExitInstance; the program's exit status.
  int Run();

 protected:
  // Shows the main window until it closes; false, so no loop of the
  // application's own follows. Help and the version are answered before the
  // toolkit starts, so that they need no display.
  bool InitInstance();
  int ExitInstance();
  // The station window instead of the main window, until it closes.
  bool RunStationWindow(const AppOptions& options);

 private:
  int& m_argc;
  char** m_argv;
  std::unique_ptr<QApplication> m_app;
  int m_exitCode = kAppExitSucceeded;
};

}  // namespace morvak
