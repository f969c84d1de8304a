#include "player_values.h"

// Filled by the values work.
std::string PlayerValuesPath() { return {}; }
PlayerValues& PlayerValues::Instance() {
  static PlayerValues store;
  return store;
}
bool PlayerValues::Load(const std::string&) { return false; }
void PlayerValues::Reload(const std::string&) {}
bool PlayerValues::IsLoaded() const { return false; }
int32_t PlayerValues::ValueOf(const std::string&) { return 0; }
