// kelsim: runs a scenario script against the real plugin library inside the
// simulated server and prints what the players, the console and the log see.
//
//   kelsim [--plugin PATH] [--values FILE] SCENARIO
//
// The scenario language is described in scenario.h and README.md.  Exit
// status: 0 all went well; 1 an expect step failed; 2 the script or the
// plugin could not be run, or the server stopped (a fatal host error);
// 3 the host saw a fault of the plugin (a hook left mres unset, a malformed
// message, a call with a bad edict).
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "scenario.h"
#include "sim_server.h"

namespace {

constexpr float kFrame = 0.1f;

void Usage() {
  (void)std::fprintf(stderr,
                     "usage: kelsim [--plugin PATH] [--values FILE] SCENARIO\n"
                     "  --plugin PATH   the plugin library (default: $KEL_PLUGIN_PATH, else the "
                     "build's)\n"
                     "  --values FILE   copy FILE beside the plugin as player_values.txt first\n");
}

bool ReadFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  text = buffer.str();
  return true;
}

bool ParseInt(const std::string& text, long& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtol(text.c_str(), &end, 10);
  return end != nullptr && *end == '\0';
}

bool ParseSeconds(const std::string& text, float& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtof(text.c_str(), &end);
  return end != nullptr && *end == '\0' && value >= 0.0f && value < 1e6f;
}

bool ParseTeam(const std::string& text, int& team) {
  if (text == "marines" || text == "marine") {
    team = 1;
  } else if (text == "aliens" || text == "alien") {
    team = 2;
  } else if (text == "readyroom" || text == "rr") {
    team = 0;
  } else {
    long value = 0;
    if (!ParseInt(text, value) || value < -1000 || value > 1000) return false;
    team = static_cast<int>(value);
  }
  return true;
}

std::string Join(const std::vector<std::string>& words, std::size_t from) {
  std::string text;
  for (std::size_t i = from; i < words.size(); ++i) text += (i > from ? " " : "") + words[i];
  return text;
}

class Runner {
 public:
  Runner(kelsim::SimServer& server, int maxPlayers, std::string scriptDirectory)
      : server_(server), maxPlayers_(maxPlayers), scriptDirectory_(std::move(scriptDirectory)) {}

  // Runs one step; false with `error` set when the script cannot go on.
  bool Run(const kelsim::Step& step, std::string& error);

  // Prints the events recorded since the last call, prefixed with their time.
  void PrintNewEvents();
  void Narrate(const std::string& text) { Print(server_.Time(), ">> " + text); }
  int FailedExpectations() const { return failedExpectations_; }

 private:
  static void Print(float time, const std::string& text);
  // A narration line that `expect` steps see, as they see events.
  void Tell(const std::string& text);
  bool Slot(const std::string& name, int& slot, std::string& error) const;
  bool Expect(const kelsim::Step& step, bool wanted);

  std::string GroupLabel(const std::vector<int>& slots) const;

  kelsim::SimServer& server_;
  int maxPlayers_;
  std::string scriptDirectory_;
  std::map<std::string, int> slots_;  // script names of connected players
  std::size_t printed_ = 0;
  std::vector<std::string> window_;  // transcript lines since the last expect
  int failedExpectations_ = 0;
};

void Runner::Print(float time, const std::string& text) {
  std::istringstream lines(text);
  std::string line;
  bool first = true;
  while (std::getline(lines, line)) {
    while (!line.empty() && line.back() == ' ') line.pop_back();
    if (first) {
      std::printf("[%8.2f] %s\n", static_cast<double>(time), line.c_str());
    } else {
      std::printf("           %s\n", line.c_str());
    }
    first = false;
  }
}

void Runner::Tell(const std::string& text) {
  Print(server_.Time(), "   -- " + text);
  window_.push_back("-- " + text);
}

bool PerPlayer(kelsim::Event::Kind kind) {
  using Kind = kelsim::Event::Kind;
  return kind == Kind::Chat || kind == Kind::Hud || kind == Kind::PlayerChat ||
         kind == Kind::ClientCommand || kind == Kind::PrintConsole || kind == Kind::PrintCenter ||
         kind == Kind::PrintChat;
}

// "everyone" when the slots are every connected player, else their names.
std::string Runner::GroupLabel(const std::vector<int>& slots) const {
  int connected = 0;
  for (int slot = 1; slot <= maxPlayers_; ++slot) connected += server_.IsConnected(slot) ? 1 : 0;
  if (slots.size() > 1 && static_cast<int>(slots.size()) == connected) return "everyone";
  std::string label;
  for (int slot : slots) {
    const std::string name = server_.Name(slot);
    label += (label.empty() ? "" : ", ") + (name.empty() ? "slot " + std::to_string(slot) : name);
  }
  return label;
}

void Runner::PrintNewEvents() {
  const auto& events = server_.Events();
  while (printed_ < events.size()) {
    const kelsim::Event& first = events[printed_];
    // The same text to several players at once reads as one line.
    std::size_t end = printed_ + 1;
    std::vector<int> slots = {first.slot};
    if (PerPlayer(first.kind)) {
      for (; end < events.size(); ++end) {
        const kelsim::Event& next = events[end];
        if (next.kind != first.kind || next.text != first.text || next.time != first.time) break;
        slots.push_back(next.slot);
      }
    }
    kelsim::Event shown = first;
    if (slots.size() > 1) shown.who = GroupLabel(slots);
    Print(first.time, "   " + kelsim::Describe(shown));
    window_.push_back(kelsim::Describe(shown));
    for (std::size_t i = printed_; i < end; ++i) window_.push_back(kelsim::Describe(events[i]));
    printed_ = end;
  }
  (void)std::fflush(stdout);
}

bool Runner::Slot(const std::string& name, int& slot, std::string& error) const {
  auto found = slots_.find(name);
  if (found == slots_.end()) {
    error = "no connected player called \"" + name + "\"";
    return false;
  }
  slot = found->second;
  return true;
}

bool Runner::Expect(const kelsim::Step& step, bool wanted) {
  const std::string text = Join(step.args, 0);
  bool seen = false;
  for (const std::string& line : window_) seen = seen || line.find(text) != std::string::npos;
  window_.clear();
  if (seen == wanted) return true;
  ++failedExpectations_;
  std::printf("!! line %d: expectation failed: %s \"%s\"\n", step.line,
              wanted ? "no transcript line since the last expect holds"
                     : "a transcript line since the last expect holds",
              text.c_str());
  return false;
}

// One branch per script verb, each short; the count is the number of verbs.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
bool Runner::Run(const kelsim::Step& step, std::string& error) {
  const std::string& verb = step.verb;
  const std::vector<std::string>& a = step.args;
  if (verb == "expect" || verb == "expect-not") {
    PrintNewEvents();
    Expect(step, verb == "expect");
    return true;
  }
  Narrate(step.source.substr(step.source.find_first_not_of(" \t")));
  int slot = 0;
  long number = 0;
  float seconds = 0.0f;
  int team = 0;
  if (verb == "maxplayers") {
    // Taken before the server was made.
  } else if (verb == "map") {
    server_.ChangeMap(a[0]);
  } else if (verb == "cvar") {
    if (a.size() == 2) {
      server_.SetCvar(a[0], a[1]);
    } else {
      Print(server_.Time(), "   -- " + a[0] + " is \"" + server_.Cvar(a[0]) + "\"");
    }
  } else if (verb == "values") {
    namespace fs = std::filesystem;
    fs::path from = a[0];
    if (from.is_relative()) from = fs::path(scriptDirectory_) / from;
    const std::string as = a.size() == 2 ? a[1] : "player_values.txt";
    std::error_code failed;
    fs::copy_file(from, fs::path(server_.PluginDirectory()) / as,
                  fs::copy_options::overwrite_existing, failed);
    if (failed) {
      error = "cannot copy " + from.string() + ": " + failed.message();
      return false;
    }
  } else if (verb == "connect" || verb == "connect-bot") {
    const bool bot = verb == "connect-bot";
    const std::size_t teamWord = bot ? 1 : 2;
    if (slots_.contains(a[0])) {
      error = "\"" + a[0] + "\" is already connected";
      return false;
    }
    if (a.size() == teamWord + 1 && !ParseTeam(a[teamWord], team)) {
      error = "bad team \"" + a[teamWord] + "\"";
      return false;
    }
    slot = bot ? server_.ConnectBot(a[0]) : server_.Connect(a[0], a[1]);
    if (slot == 0) {
      error = "the server is full";
      return false;
    }
    slots_[a[0]] = slot;
    Print(server_.Time(),
          "   -- " + a[0] + " is in slot " + std::to_string(slot) + (bot ? ", a bot" : ""));
    if (team != 0) server_.SetTeam(slot, team);
  } else if (verb == "userid") {
    if (!Slot(a[0], slot, error)) return false;
    Tell(a[0] + " has user id " + std::to_string(server_.UserId(slot)));
  } else if (verb == "info") {
    if (!Slot(a[0], slot, error)) return false;
    Tell(a[0] + "'s info key " + a[1] + " is \"" + server_.InfoKey(slot, a[1]) + "\"");
  } else if (verb == "team") {
    if (!Slot(a[0], slot, error)) return false;
    if (!ParseTeam(a[1], team)) {
      error = "bad team \"" + a[1] + "\"";
      return false;
    }
    server_.SetTeam(slot, team);
  } else if (verb == "kill" || verb == "respawn") {
    if (!Slot(a[0], slot, error)) return false;
    verb == "kill" ? server_.Kill(slot) : server_.Respawn(slot);
  } else if (verb == "say" || verb == "say_team") {
    if (!Slot(a[0], slot, error)) return false;
    verb == "say" ? server_.Say(slot, Join(a, 1)) : server_.SayTeam(slot, Join(a, 1));
  } else if (verb == "cmd") {
    if (!Slot(a[0], slot, error)) return false;
    server_.ClientCommand(slot, std::vector<std::string>(a.begin() + 1, a.end()));
  } else if (verb == "console") {
    if (!server_.ServerCommand(a)) Print(server_.Time(), "   -- unknown command \"" + a[0] + "\"");
  } else if (verb == "wait") {
    if (!ParseSeconds(a[0], seconds)) {
      error = "bad number of seconds \"" + a[0] + "\"";
      return false;
    }
    if (seconds > 0.0f) server_.RunUntil(server_.Time() + seconds, kFrame);
  } else if (verb == "frames") {
    if (!ParseInt(a[0], number) || number < 0 || number > 1000000) {
      error = "bad number of frames \"" + a[0] + "\"";
      return false;
    }
    for (long i = 0; i < number; ++i) server_.Frame(kFrame);
  } else if (verb == "rename") {
    if (!Slot(a[0], slot, error)) return false;
    if (slots_.contains(a[1])) {
      error = "\"" + a[1] + "\" is already connected";
      return false;
    }
    server_.Rename(slot, a[1]);
    slots_.erase(a[0]);
    slots_[a[1]] = slot;
  } else if (verb == "leave") {
    if (!Slot(a[0], slot, error)) return false;
    server_.Disconnect(slot);
    slots_.erase(a[0]);
  } else if (verb == "calendar") {
    const bool forward = !a[0].empty() && a[0][0] == '+';
    if (forward ? !ParseSeconds(a[0].substr(1), seconds) : !ParseInt(a[0], number) || number < 0) {
      error = "bad calendar time \"" + a[0] + "\"";
      return false;
    }
    forward ? server_.AdvanceCalendarTime(seconds) : server_.SetCalendarTime(number);
    Tell("the calendar reads " + std::to_string(server_.CalendarTime()));
  } else if (verb == "seed") {
    if (!ParseInt(a[0], number) || number < 0) {
      error = "bad seed \"" + a[0] + "\"";
      return false;
    }
    server_.SeedRandom(static_cast<unsigned>(number));
  }
  PrintNewEvents();
  return true;
}

}  // namespace

// The program's steps in order, each failing with its own message.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
int main(int argc, char** argv) {
  std::string plugin;
  std::string values;
  std::string script;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--plugin" || arg == "--values") && i + 1 < argc) {
      (arg == "--plugin" ? plugin : values) = argv[++i];
    } else if (arg == "-h" || arg == "--help") {
      Usage();
      return 0;
    } else if (!arg.empty() && arg[0] != '-' && script.empty()) {
      script = arg;
    } else {
      Usage();
      return 2;
    }
  }
  if (script.empty()) {
    Usage();
    return 2;
  }
  if (plugin.empty()) {
    const char* fromEnvironment = std::getenv("KEL_PLUGIN_PATH");
    plugin = fromEnvironment && *fromEnvironment != '\0' ? fromEnvironment : KEL_DEFAULT_PLUGIN;
  }

  std::string text;
  if (!ReadFile(script, text)) {
    (void)std::fprintf(stderr, "kelsim: cannot read %s\n", script.c_str());
    return 2;
  }
  std::vector<std::string> errors;
  const std::vector<kelsim::Step> steps = kelsim::ParseScenario(text, errors);
  for (const std::string& error : errors)
    (void)std::fprintf(stderr, "%s:%s\n", script.c_str(), error.c_str());
  if (!errors.empty()) return 2;

  long maxPlayers = 32;
  if (!steps.empty() && steps[0].verb == "maxplayers" &&
      (!ParseInt(steps[0].args[0], maxPlayers) || maxPlayers < 1 || maxPlayers > 64)) {
    (void)std::fprintf(stderr, "%s:%d: maxplayers must be 1 to 64\n", script.c_str(),
                       steps[0].line);
    return 2;
  }

  kelsim::SimServer server(static_cast<int>(maxPlayers));
  if (!values.empty()) {
    std::error_code failed;
    std::filesystem::copy_file(values, server.PluginDirectory() + "/player_values.txt",
                               std::filesystem::copy_options::overwrite_existing, failed);
    if (failed) {
      (void)std::fprintf(stderr, "kelsim: cannot copy %s: %s\n", values.c_str(),
                         failed.message().c_str());
      return 2;
    }
  }

  const std::string directory = std::filesystem::path(script).parent_path().string();
  Runner runner(server, static_cast<int>(maxPlayers), directory.empty() ? "." : directory);
  runner.Narrate("load " + std::filesystem::path(plugin).filename().string() + " (" +
                 std::to_string(maxPlayers) + " player slots)");
  if (!server.Load(plugin)) {
    runner.PrintNewEvents();
    (void)std::fprintf(stderr, "kelsim: cannot load %s: %s\n", plugin.c_str(),
                       server.LoadError().c_str());
    return 2;
  }
  runner.PrintNewEvents();

  for (const kelsim::Step& step : steps) {
    std::string error;
    if (!runner.Run(step, error)) {
      runner.PrintNewEvents();
      (void)std::fprintf(stderr, "%s:%d: %s\n", script.c_str(), step.line, error.c_str());
      return 2;
    }
    if (server.Fatal()) {
      (void)std::fprintf(stderr, "%s:%d: the server stopped: %s\n", script.c_str(), step.line,
                         server.FatalReason().c_str());
      return 2;
    }
  }

  const std::size_t hostErrors = server.HostErrors().size();
  std::printf("== %zu steps, %d failed expectations, %zu host errors\n", steps.size(),
              runner.FailedExpectations(), hostErrors);
  if (runner.FailedExpectations() > 0) return 1;
  if (hostErrors > 0) return 3;
  return 0;
}
