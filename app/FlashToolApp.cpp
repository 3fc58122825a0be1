#include "FlashToolApp.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "AppOptions.h"
#include "FlashToolDlg.h"
#include "FlashToolDlgTemplate.h"
#include "ModuleDirectory.h"
#include "RunConfig.h"
#include "TransportChoice.h"
#include "WindowPicture.h"

namespace morvak {

CFlashToolApp::CFlashToolApp(int& argc, char** argv) : m_argc(argc), m_argv(argv) {}

CFlashToolApp::~CFlashToolApp() = default;

int CFlashToolApp::Run() {
  InitInstance();
  return ExitInstance();
}

bool CFlashToolApp::InitInstance() {
  std::string error;
  std::vector<std::string> raw(m_argv + 1, m_argv + m_argc);
  const std::optional<AppOptions> early = ParseAppOptions(raw, error, true);
  if (early && early->help) {
    std::fputs(AppUsageText().c_str(), stdout);
    return false;
  }
  if (early) {
    m_app = std::make_unique<QApplication>(m_argc, m_argv);
    QApplication::setApplicationName(QStringLiteral("Morvak"));
    QApplication::setApplicationDisplayName(QStringLiteral("Morvak"));
  }
  std::optional<AppOptions> options;
  if (m_app) {
    std::vector<std::string> args;
    const QStringList arguments = QApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) args.push_back(arguments[i].toStdString());
    options = ParseAppOptions(args, error);
  }
  if (!options) {
    std::fprintf(stderr, "morvak: %s\n\n%s", error.c_str(), AppUsageText().c_str());
    m_exitCode = 2;
    return false;
  }

  CFlashToolDlg dialog;
  TransportChoice choice;
  choice.virtualHandset = options->virtualHandset;
  choice.faults = options->faults;
  choice.configPath = ModuleRelativePath(dialog.m_strModuleDirectory, kConfigFileName);
  std::unique_ptr<ITransport> transport = MakeTransport(choice, error);
  if (!transport) {
    std::fprintf(stderr, "morvak: %s\n", error.c_str());
    m_exitCode = 2;
    return false;
  }
  dialog.m_link.m_device.SetTransport(std::move(transport));
  if (options->virtualHandset) dialog.SetCaption(std::string(kMainCaption) + kVirtualHandsetCaption);
  ArrangeWindowPicture(dialog);
  // The dialog's result does not matter: every way of closing ends the program.
  dialog.DoModal();
  return false;
}

int CFlashToolApp::ExitInstance() { return m_exitCode; }

}  // namespace morvak
