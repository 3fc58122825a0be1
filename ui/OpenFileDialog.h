#pragma once
// The file-open dialog of "browser...": no default extension, no initial name,
// the given filters with the first selected; the named file need not exist.
#include <QWidget>
#include <optional>
#include <string>
#include <string_view>

namespace morvak {

// Runs the dialog modally over `parent`; the full path of the chosen file (as
// bytes) when the operator confirms, nothing when they cancel.
std::optional<std::string> ChooseFileToOpen(QWidget* parent, std::string_view filter);

}  // namespace morvak
