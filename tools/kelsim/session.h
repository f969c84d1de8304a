// kelsim's prompt: scenario steps typed one at a time on a running server,
// the transcript printed as they run.  Besides the steps, the prompt knows
// "help" (the list of steps, or "help STEP" for one) and "quit".  A line
// that is no valid step, or a step that cannot run (an unknown player), is
// refused with one line, "!! line N: why", and the prompt stays open.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "line_reader.h"
#include "runner.h"

namespace kelsim {

struct SessionResult {
  std::size_t steps = 0;    // steps run
  std::size_t refused = 0;  // lines refused
  bool stopped = false;     // the server stopped on a fatal host error
};

// Reads lines until the end of input or "quit".  With a terminal the prompt
// is shown ("kelsim> "); without one nothing but the transcript is printed.
SessionResult RunSession(const SimServer& server, Runner& runner, const Transcript& transcript,
                         LineReader& reader);

// The list of steps (all of them, or the one named), as "help" prints it.
void PrintHelp(std::FILE* out, const std::string& verb);

}  // namespace kelsim
