#include "FlashToolApp.h"

#include <QDialog>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "AppExitStatus.h"
#include "AppOptions.h"
#include "AppResources.h"
#include "ApplicationLook.h"
#include "EndingSignals.h"
#include "FlashToolDlg.h"
#include "FlashToolDlgTemplate.h"
#include "ModuleDirectory.h"
#include "RunConfig.h"
#include "StationWindow.h"
#include "TransportChoice.h"
#include "WindowPicture.h"

namespace morvak {

CFlashToolApp::CFlashToolApp(int& argc, char** argv) : m_argc(argc), m_argv(argv) {}

CFlashToolApp::~CFlashToolApp() = default;

int CFlashToolApp::Run() {
  InitInstance();
  return ExitInstance();
}

namespace {

bool UsageError(const std::string& error, int& exitCode) {
  std::fprintf(stderr, "morvak: %s (see morvak --help)\n", error.c_str());
  exitCode = kAppExitUsage;
  return false;
}

// A box open over `window` (a question, a file choice) is answered as Esc
// answers it, so that the window can close.
void DismissBoxesOver(const QWidget& window) {
  for (int depth = 0; depth < 8; ++depth) {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == &window) return;
    if (auto* box = qobject_cast<QDialog*>(modal))
      box->reject();
    else
      modal->close();
  }
}

int SignalExitStatus(const EndingSignals& endings, int otherwise) {
  return endings.Received() != 0 ? kAppExitOnSignal + endings.Received() : otherwise;
}

}  // namespace

bool CFlashToolApp::InitInstance() {
  std::string error;
  // Before the toolkit starts, its options cannot be told from faults of
  // usage: only help, the version and faults the virtual handset cannot read
  // are answered here, and so without a display.
  const std::optional<AppOptions> early = ParseAppOptions({m_argv + 1, m_argv + m_argc}, error, true);
  if (!early) return UsageError(error, m_exitCode);
  if (early->help) {
    std::fputs(AppUsageText().c_str(), stdout);
    return false;
  }
  if (early->version) {
    std::fputs(AppVersionText().c_str(), stdout);
    return false;
  }
  m_app = std::make_unique<QApplication>(m_argc, m_argv);
  SetUpApplicationLook();
  // The toolkit has taken its own options out of argv: the rest is ours.
  const std::optional<AppOptions> options = ParseAppOptions({m_argv + 1, m_argv + m_argc}, error);
  if (!options) return UsageError(error, m_exitCode);

  if (options->station) return RunStationWindow(*options);

  CFlashToolDlg dialog;
  TransportChoice choice;
  choice.virtualHandset = options->virtualHandset;
  choice.faults = options->faults;
  choice.configPath = ModuleRelativePath(dialog.m_strModuleDirectory, kConfigFileName);
  std::unique_ptr<ITransport> transport = MakeTransport(choice, error);
  if (!transport) {
    std::fprintf(stderr, "morvak: %s\n", error.c_str());
    m_exitCode = kAppExitUsage;
    return false;
  }
  dialog.m_link.m_device.SetTransport(std::move(transport));
  if (options->virtualHandset) dialog.SetCaption(std::string(kMainCaption) + kVirtualHandsetCaption);
  ArrangeWindowPicture(dialog);
  if (options->image) {
    // After the window has opened with the remembered path, as a drop comes.
    dialog.Create();
    dialog.ChooseImageFromCommandLine(*options->image);
  }
  // A signal stops the run and ends its pending read, as closing does, and
  // closes without asking; the run is recorded as the window closes.
  const EndingSignals endings([&dialog](int) {
    DismissBoxesOver(dialog);
    dialog.EndDialog(IDCANCEL);
  });
  // The dialog's result does not matter: every way of closing ends the program.
  dialog.DoModal();
  m_exitCode = SignalExitStatus(endings, m_exitCode);
  return false;
}

bool CFlashToolApp::RunStationWindow(const AppOptions& options) {
  StationWindowOptions station;
  station.virtualHandsets = options.virtualHandset;
  station.faults = options.faults;
  station.moduleDirectory = GetModuleDirectory();
  StationWindow window(station);
  window.setWindowIcon(LoadAppIcon());
  if (options.image) window.ChooseImage(*options.image);
  const EndingSignals endings([&window](int) {
    DismissBoxesOver(window);
    window.EndStationAndClose();
  });
  window.show();
  m_exitCode = SignalExitStatus(endings, m_app->exec());
  return false;
}

int CFlashToolApp::ExitInstance() { return m_exitCode; }

}  // namespace morvak
