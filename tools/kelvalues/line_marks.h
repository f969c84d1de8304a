// Inside the log reader: the quick reading of the lines servers commonly
// write, from where the marks of their event stand, which are found in the
// same pass as the line's end (16 bytes at a time with SSE2).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "log_reader.h"

namespace kelvalues {

// Where '"', '<' and '>' stand in a line's event, the first kMaxMarks of
// them, and where the bytes beyond ASCII begin and end, counted from the
// event's start.  Positions fit a byte: longer events, which servers never
// write for a kill (a name has at most 31 bytes), are never read the quick
// way.
struct Marks {
  static constexpr int kMaxMarks = 19;  // a kill has 18; one more says it is none
  // A block's marks are written whatever its mask holds: up to 64 places
  // past the count.
  static constexpr int kBlindWrites = 64;
  uint8_t at[kMaxMarks + kBlindWrites];
  int count = 0;
  std::size_t firstHigh = SIZE_MAX;  // the first byte beyond ASCII, if any
  std::size_t lastHigh = 0;          // the last one
};

// Lines are looked at in blocks of this many bytes.
inline constexpr std::size_t kBlock = 64;

// Finds the line that begins at `at`: returns its LF, the first before
// `stop`, or null when there is none; and finds the marks and the bytes
// beyond ASCII of its event (all of [at, stop) when it has no LF there).
// The frame is only looked at for an LF, which ends a line too short to
// hold an event; the event is then looked at from its first byte, so that
// a line of up to 153 bytes takes two blocks.  Whole blocks are loaded: up
// to 63 bytes beyond `stop` must be readable; they are never used.  Where
// SSE2 is missing (an i686 build without it), only the LF is found and no
// mark, so that every line is read the careful way.
const char* FindLine(const char* at, const char* stop, Marks& marks);

// ReadLogLine for a line whose marks FindLine found (without its LF): the
// quick way, or the careful one where the quick one declines.
LineKind ReadMarkedLine(std::string_view line, const Marks& marks, KillLine& kill, FrameMemo* memo);

}  // namespace kelvalues
