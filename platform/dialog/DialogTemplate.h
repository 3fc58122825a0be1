#pragma once
// A dialog described the way a dialog template describes it: a caption, a size
// in dialog units, a font, and its controls in template order (which is also
// the tab order and the order radio groups are walked in).
#include <QFont>
#include <QRect>
#include <string>
#include <vector>

namespace morvak {

inline constexpr int IDC_STATIC = -1;  // a control nobody looks up
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

enum class ControlKind {
  GroupBox,
  Text,         // static text
  Edit,         // single-line, or multi-line with ControlStyle::MultiLine
  PushButton,
  ProgressBar,
  Picture,      // a static control showing a bitmap
  Icon,         // a static control showing the dialog's icon at its own size
  RadioButton,  // automatic: checking one unchecks the others of its group
  CheckBox,     // automatic
};

// Control style bits.
namespace ControlStyle {
inline constexpr unsigned TabStop = 1u << 0;
inline constexpr unsigned Group = 1u << 1;  // starts a group (radio groups end at the next)
inline constexpr unsigned ReadOnly = 1u << 2;
inline constexpr unsigned MultiLine = 1u << 3;
inline constexpr unsigned AutoHScroll = 1u << 4;
inline constexpr unsigned VScroll = 1u << 5;
inline constexpr unsigned WantReturn = 1u << 6;  // Enter stays in the control
inline constexpr unsigned Border = 1u << 7;
inline constexpr unsigned NoPrefix = 1u << 8;  // '&' is shown, not an access key
inline constexpr unsigned CenterImage = 1u << 9;
inline constexpr unsigned DefaultButton = 1u << 10;
// A one-line edit shows the end of a text too long for it (a path's file
// name) instead of its start, and the whole text as its tooltip.
inline constexpr unsigned ShowsEnd = 1u << 11;
}  // namespace ControlStyle

// Dialog style bits.
namespace DialogStyle {
inline constexpr unsigned SystemMenu = 1u << 0;   // the context menu stands in for it
inline constexpr unsigned MinimizeBox = 1u << 1;
inline constexpr unsigned AcceptFiles = 1u << 2;  // files may be dropped on the dialog
inline constexpr unsigned AppWindow = 1u << 3;    // shown on the task bar
}  // namespace DialogStyle

struct ControlSpec {
  int id = IDC_STATIC;
  ControlKind kind = ControlKind::Text;
  std::string text;
  QRect position;  // dialog units
  unsigned style = 0;
};

struct DialogTemplate {
  std::string caption;
  int width = 0;  // dialog units
  int height = 0;
  QFont font;
  unsigned style = 0;
  std::vector<ControlSpec> controls;
};

}  // namespace morvak
