#pragma once

#include <cstdint>
#include <string>

#include "roster.h"

// One player as the skill commands see him.
struct RatedPlayer {
  std::string name;
  int32_t value = 0;
  TeamId team = kNoTeam;
};
