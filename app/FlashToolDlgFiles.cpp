// The choice of the image: "browser..." and files dropped on the window.
#include <filesystem>
#include <system_error>

#include "BrowseFilter.h"
#include "DroppedFile.h"
#include "FlashToolDlg.h"
#include "OpenFileDialog.h"

namespace morvak {

void CFlashToolDlg::OnBrowse() {
  UpdateData(true);
  const uint32_t downloadRaw = ReadDownloadRaw(m_strModuleDirectory);
  if (const auto path = ChooseFileToOpen(this, BrowseFilter(downloadRaw))) {
    m_strImagePath = *path;
    UpdateData(false);
  }
}

void CFlashToolDlg::OnDropFiles(const std::vector<std::string>& names) {
  const DropChoice choice = ChooseDroppedFile(names);
  if (choice.taken) {
    m_strImagePath = choice.path;
    UpdateData(false);
  } else if (!choice.line.empty()) {
    AppendStatusLine(choice.line);
  }
}

void CFlashToolDlg::ChooseImageFromCommandLine(const std::string& image) {
  std::error_code error;
  const std::filesystem::path full = std::filesystem::absolute(image, error);
  OnDropFiles({error ? image : full.string()});
}

}  // namespace morvak
