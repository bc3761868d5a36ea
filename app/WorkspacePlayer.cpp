#include <stdexcept>

#include "app/Workspace.h"

namespace barvik {

void Workspace::ShowSelectedPlayer(const std::string&) {
  throw std::logic_error("player detail not built yet");
}
void Workspace::SelectPlayerWeaponRow(int) {
  throw std::logic_error("player detail not built yet");
}
void Workspace::ListViewPlayerWeaponSelectItem() {}

}  // namespace barvik
