#include "DroppedFile.h"

#include "Format.h"
#include "RegularFile.h"
#include "UiTexts.h"

namespace morvak {

DropChoice ChooseDroppedFile(const std::vector<std::string>& names) {
  DropChoice choice;
  if (names.empty()) return choice;
  const std::string& last = names.back();
  if (last.size() + 1 > DROP_NAME_BUFFER) {
    choice.line = Format(texts::kDroppedNameTooLong, static_cast<unsigned>(DROP_NAME_BUFFER - 1), ShownPath(last).c_str());
    return choice;
  }
  choice.taken = true;
  choice.path = last;
  return choice;
}

}  // namespace morvak
