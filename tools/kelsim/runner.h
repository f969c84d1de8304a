// Runs scenario steps against a simulated server and writes what they cause
// to the transcript.  Used by a scenario file and by the prompt alike.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "scenario.h"
#include "sim_server.h"
#include "transcript.h"

namespace kelsim {

class Runner {
 public:
  // `scriptDirectory`: where relative `values` files are found.
  // `pluginPath`: the library a `load` step loads.
  Runner(SimServer& server, const Transcript& transcript, int maxPlayers,
         std::string scriptDirectory, std::string pluginPath);

  // Runs one step; false with `error` set when the step cannot run (an
  // unknown player, a bad number): a script stops there, the prompt goes on.
  bool Run(const Step& step, std::string& error);

  // Writes the events recorded since the last call.
  void PrintNewEvents();
  // Writes a step line ("load ..." for the start, which is no script step).
  void Narrate(int line, const std::string& text);
  int FailedExpectations() const { return failedExpectations_; }
  // Where relative `values` files are found from now on.
  void SetScriptDirectory(std::string directory) { scriptDirectory_ = std::move(directory); }

 private:
  // A narration line that `expect` steps see, as they see events.
  void Tell(const std::string& text);
  bool Slot(const std::string& name, int& slot, std::string& error) const;
  void Expect(const Step& step, bool wanted);
  bool Connect(const Step& step, std::string& error);
  bool CopyValues(const Step& step, std::string& error);
  bool Reload(const std::string& verb, std::string& error);
  // Script names of players the server no longer has (bots a map change
  // dropped) are forgotten.
  void ForgetDeparted();
  std::string GroupLabel(const std::vector<int>& slots) const;

  SimServer& server_;
  const Transcript& transcript_;
  int maxPlayers_;
  std::string scriptDirectory_;
  std::string pluginPath_;
  std::map<std::string, int> slots_;  // script names of connected players
  std::size_t printed_ = 0;
  // Transcript lines since the previous run of expect steps; the next
  // step that is no expect starts a new window.
  std::vector<std::string> window_;
  bool windowChecked_ = false;
  int failedExpectations_ = 0;
};

}  // namespace kelsim
