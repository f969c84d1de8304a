// The quick reading of a log line held to the careful one, its reference:
// for the log line table test and the log line fuzz target.
#pragma once

#include <string>
#include <string_view>

#include "log_reader.h"

namespace kelvalues {

// What the quick reading of `line` finds otherwise than the careful one:
// empty when the two agree (the same kind and, for a kill, the same ids,
// teams and time) or the quick one declines.  `quick` says whether it read
// the line; `careful` and `carefulKind` are the careful reading, `fast`
// the quick one's kill.
inline std::string Disagreement(std::string_view line, bool& quick, KillLine& careful,
                                LineKind& carefulKind, KillLine& fast) {
  LineKind fastKind = LineKind::Malformed;
  carefulKind = ReadLogLineCarefully(line, careful);
  quick = ReadLogLineQuickly(line, fast, fastKind);
  if (!quick) return {};
  if (fastKind != carefulKind) {
    return "the quick way finds kind " + std::to_string(static_cast<int>(fastKind)) +
           ", the careful way " + std::to_string(static_cast<int>(carefulKind));
  }
  if (carefulKind != LineKind::Kill) return {};
  if (fast.time != careful.time) return "the kill's time differs";
  if (fast.killerId != careful.killerId || fast.victimId != careful.victimId) {
    return "the ids differ";
  }
  if (fast.killerTeam != careful.killerTeam || fast.victimTeam != careful.victimTeam) {
    return "the teams differ";
  }
  return {};
}

inline std::string Disagreement(std::string_view line, bool& quick) {
  KillLine careful;
  LineKind carefulKind = LineKind::Malformed;
  KillLine fast;
  return Disagreement(line, quick, careful, carefulKind, fast);
}

}  // namespace kelvalues
