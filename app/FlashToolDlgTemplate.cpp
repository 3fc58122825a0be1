#include "FlashToolDlgTemplate.h"

namespace morvak {

DialogTemplate MainDialogTemplate(const QFont& font) {
  using namespace ControlStyle;
  DialogTemplate t;
  t.caption = kMainCaption;
  t.width = 390;
  t.height = 250;
  t.font = font;
  t.style = DialogStyle::SystemMenu | DialogStyle::MinimizeBox | DialogStyle::AcceptFiles | DialogStyle::AppWindow;
  // Template order is the tab order. No push button is a default button.
  t.controls = {
      {IDC_STATIC, ControlKind::GroupBox, "select file", {14, 48, 362, 85}, 0},
      {IDC_STATIC, ControlKind::Text, "Flashing file:", {20, 65, 57, 8}, Group},
      {IDC_IMAGE_PATH, ControlKind::Edit, "", {81, 63, 206, 14}, ReadOnly | AutoHScroll | Border | TabStop | ShowsEnd},
      {IDC_BROWSE, ControlKind::PushButton, "browser...", {295, 63, 71, 14}, TabStop},
      {IDC_START_FLASHING, ControlKind::PushButton, "Start flashing", {22, 82, 258, 45}, TabStop},
      {IDC_STOP_FLASHING, ControlKind::PushButton, "Stop flashing", {293, 83, 74, 20}, TabStop},
      {IDC_CLOSE_WINDOWS, ControlKind::PushButton, "Close Windows", {293, 107, 74, 20}, TabStop},
      {IDC_PROGRESS, ControlKind::ProgressBar, "", {14, 139, 362, 14}, Border},
      {IDC_STATIC, ControlKind::GroupBox, "Status Infomation", {15, 155, 361, 83}, 0},
      {IDC_STATUS_LOG, ControlKind::Edit, "", {20, 169, 317, 63},
       MultiLine | ReadOnly | VScroll | WantReturn | Border | TabStop},
      {IDC_STATUS_PICTURE, ControlKind::Picture, "", {341, 169, 28, 59}, CenterImage},
      {IDC_STATIC, ControlKind::GroupBox, "Download Type Select", {14, 10, 362, 32}, 0},
      {IDC_NAND, ControlKind::RadioButton, "NAND", {65, 25, 32, 10}, Group},
      {IDC_ONENAND, ControlKind::RadioButton, "OneNAND", {169, 25, 44, 10}, 0},
      {IDC_ERASE_RESERVED, ControlKind::CheckBox, "Erase Reserved region", {269, 24, 100, 10}, TabStop},
  };
  return t;
}

DialogTemplate AboutDialogTemplate(const QFont& font) {
  using namespace ControlStyle;
  DialogTemplate t;
  t.caption = "关于 Morvak";
  t.width = 235;
  t.height = 55;
  t.font = font;
  t.style = DialogStyle::SystemMenu;
  t.controls = {
      {IDC_STATIC, ControlKind::Icon, "", {11, 17, 20, 20}, 0},
      {IDC_STATIC, ControlKind::Text, "Morvak 1.0 版", {40, 10, 119, 8}, NoPrefix},
      {IDC_STATIC, ControlKind::Text, "版权所有 (C) Morvak 项目组", {40, 25, 119, 8}, 0},
      {IDOK, ControlKind::PushButton, "确定", {178, 7, 50, 14}, DefaultButton | Group | TabStop},
  };
  return t;
}

}  // namespace morvak
