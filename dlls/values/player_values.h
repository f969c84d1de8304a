// The store of per-player skill values, loaded from the player values file.
#pragma once

#include <cstdint>
#include <string>

// Path of the player values file: the directory of the plugin library (up to
// and including its last '/') followed by kel_playervaluesfile.
std::string PlayerValuesPath();

class PlayerValues {
 public:
  static PlayerValues& Instance();

  // Reads the file into the store; true on success.  Leaves `loaded` alone.
  bool Load(const std::string& path);
  // loaded = Load(path); seeds the C generator with the calendar time only
  // when that succeeded.
  void Reload(const std::string& path);
  bool IsLoaded() const;
  // The key's value; an unknown key gets 91..100 % of the average, kept.
  int32_t ValueOf(const std::string& key);
};
