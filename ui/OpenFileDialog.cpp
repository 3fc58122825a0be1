#include "OpenFileDialog.h"

#include <QFile>
#include <QFileDialog>

#include "BrowseFilter.h"

namespace morvak {

std::optional<std::string> ChooseFileToOpen(QWidget* parent, std::string_view filter) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  // The same dialog on every desktop, and one that tests can drive.
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  const QStringList filters = QtNameFilters(filter);
  dialog.setNameFilters(filters);
  if (!filters.isEmpty()) dialog.selectNameFilter(filters.front());
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  const QByteArray path = QFile::encodeName(chosen.front());
  return std::string(path.constData(), static_cast<size_t>(path.size()));
}

}  // namespace morvak
