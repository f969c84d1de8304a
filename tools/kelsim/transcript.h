// Where kelsim's transcript goes: text lines for people (each starting with
// the server time), or with --json one JSON object a line for programs.
// Either way every transcript line is one call here, so a text transcript
// and a JSON one of the same run hold the same lines in the same order.
//
// JSON fields (the names are stable; README.md documents them):
//   time      the server time, seconds (every line)
//   kind      "step", "output", "note", "host-error", "fatal",
//             "expect-failed", "refused" or "summary"
//   channel   for "output": "console", "log", "error log", "chat", "screen",
//             "sees", "client runs", "client console", "center print",
//             "chat print"
//   who       the players it concerns, by name; slots beside it
//   everyone  true when an output reached every connected player
//   text      the line's text, without the trailing line end
//   team      for a note of the game moving a player: his team after it
//   line      the script line of a step, a failed expect or a refused line
//   steps, failed, hostErrors, refused   in the summary
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "sim_server.h"

namespace kelsim {

class Transcript {
 public:
  explicit Transcript(bool json) : json_(json) {}
  bool Json() const { return json_; }

  // ">> the step as written".
  void Step(float time, int line, const std::string& source) const;
  // What the server showed someone: `shown` as rendered, to `slots` (its
  // own slot alone, or several at once), `everyone` when that was every
  // connected player.
  void Output(const Event& shown, const std::vector<int>& slots,
              const std::vector<std::string>& names, bool everyone) const;
  // kelsim's own narration ("-- Alice is in slot 2").
  void Note(float time, const std::string& text) const;
  void ExpectFailed(float time, int line, bool wanted, const std::string& text) const;
  // A line of an interactive session that was not run.
  void Refused(float time, int line, const std::string& why) const;
  // The last line; `refused` is shown only when some line was (a session).
  void Summary(float time, std::size_t steps, int failed, std::size_t hostErrors,
               std::size_t refused) const;

 private:
  bool json_;
};

}  // namespace kelsim
