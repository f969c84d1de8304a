// Inside the log reader: a log line's frame, and the careful reading of
// its event, which the quick reading (line_marks.h) falls back on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "log_reader.h"

namespace kelvalues {

// The words that make an event a kill or a suicide, wherever they stand.
inline constexpr std::string_view kKilled = "\" killed \"";
inline constexpr std::string_view kWith = "\" with \"";
inline constexpr std::string_view kCommittedSuicide = "\" committed suicide with \"";

// "L MM/DD/YYYY - HH:MM:SS: " and what it takes to be one.
inline constexpr std::size_t kFrameBytes = 25;

// The frame's time (seconds since 1970-01-01 as if UTC), or false when the
// line has no well-formed frame.  `memo`, when given, saves reading a date
// the line before had.
bool ReadFrame(std::string_view line, int64_t& time, FrameMemo* memo);

// `line` without a CR at its end.
inline std::string_view WithoutCr(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

// What a well-framed line's event (what follows the frame) is, searched
// for its words and taken apart from its ends; `kill` as for ReadLogLine.
LineKind ReadEventCarefully(std::string_view event, KillLine& kill);

}  // namespace kelvalues
