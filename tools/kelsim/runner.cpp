#include "runner.h"

#include <cstdlib>
#include <filesystem>
#include <utility>

namespace kelsim {

namespace {

constexpr float kFrame = 0.1f;

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

bool PerPlayer(Event::Kind kind) {
  using Kind = Event::Kind;
  return kind == Kind::Chat || kind == Kind::Hud || kind == Kind::PlayerChat ||
         kind == Kind::ClientCommand || kind == Kind::PrintConsole || kind == Kind::PrintCenter ||
         kind == Kind::PrintChat;
}

}  // namespace

Runner::Runner(SimServer& server, const Transcript& transcript, int maxPlayers,
               std::string scriptDirectory, std::string pluginPath)
    : server_(server),
      transcript_(transcript),
      maxPlayers_(maxPlayers),
      scriptDirectory_(std::move(scriptDirectory)),
      pluginPath_(std::move(pluginPath)) {}

void Runner::Narrate(int line, const std::string& text) {
  transcript_.Step(server_.Time(), line, text);
}

void Runner::Tell(const std::string& text) {
  transcript_.Note(server_.Time(), text);
  window_.push_back("-- " + text);
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
    const Event& first = events[printed_];
    // The same text to several players at once reads as one line.
    std::size_t end = printed_ + 1;
    if (PerPlayer(first.kind)) {
      for (; end < events.size(); ++end) {
        const Event& next = events[end];
        if (next.kind != first.kind || next.text != first.text || next.time != first.time) break;
      }
    }
    std::vector<int> slots;
    std::vector<std::string> names;
    for (std::size_t i = printed_; i < end; ++i) {
      if (events[i].slot == 0) continue;
      slots.push_back(events[i].slot);
      names.push_back(events[i].who);
    }
    Event shown = first;
    if (slots.size() > 1) shown.who = GroupLabel(slots);
    transcript_.Output(shown, slots, names, shown.who == "everyone" && slots.size() > 1);
    window_.push_back(Describe(shown));
    for (std::size_t i = printed_; i < end; ++i) window_.push_back(Describe(events[i]));
    printed_ = end;
  }
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

void Runner::Expect(const Step& step, bool wanted) {
  const std::string text = Join(step.args, 0);
  bool seen = false;
  for (const std::string& line : window_) seen = seen || line.find(text) != std::string::npos;
  windowChecked_ = true;
  if (seen == wanted) return;
  ++failedExpectations_;
  transcript_.ExpectFailed(server_.Time(), step.line, wanted, text);
}

bool Runner::CopyValues(const Step& step, std::string& error) {
  namespace fs = std::filesystem;
  const std::vector<std::string>& a = step.args;
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
  return true;
}

bool Runner::Connect(const Step& step, std::string& error) {
  const std::vector<std::string>& a = step.args;
  const bool bot = step.verb == "connect-bot";
  const std::size_t teamWord = bot ? 1 : 2;
  if (slots_.contains(a[0])) {
    error = "\"" + a[0] + "\" is already connected";
    return false;
  }
  int team = 0;
  if (a.size() == teamWord + 1 && !ParseTeam(a[teamWord], team)) {
    error = "bad team \"" + a[teamWord] + "\"";
    return false;
  }
  const int slot = bot ? server_.ConnectBot(a[0]) : server_.Connect(a[0], a[1]);
  if (slot == 0) {
    error = "the server is full";
    return false;
  }
  slots_[a[0]] = slot;
  transcript_.Note(server_.Time(),
                   a[0] + " is in slot " + std::to_string(slot) + (bot ? ", a bot" : ""));
  if (team != 0) server_.SetTeam(slot, team);
  return true;
}

bool Runner::Reload(const std::string& verb, std::string& error) {
  if (verb == "unload") {
    if (!server_.Loaded()) {
      error = "the plugin is not loaded";
      return false;
    }
    server_.Unload();
    return true;
  }
  if (server_.Loaded()) {
    error = "the plugin is already loaded";
    return false;
  }
  // The manager's load from the server console, mid-map.
  if (!server_.Load(pluginPath_, PT_ANYTIME)) {
    error = "cannot load " + pluginPath_ + ": " + server_.LoadError();
    return false;
  }
  return true;
}

void Runner::ForgetDeparted() {
  std::erase_if(slots_, [this](const auto& entry) { return !server_.IsConnected(entry.second); });
}

// One branch per script verb, each short; the count is the number of verbs.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
bool Runner::Run(const Step& step, std::string& error) {
  const std::string& verb = step.verb;
  const std::vector<std::string>& a = step.args;
  if (verb == "expect" || verb == "expect-not") {
    PrintNewEvents();
    Expect(step, verb == "expect");
    return true;
  }
  if (windowChecked_) {
    window_.clear();
    windowChecked_ = false;
  }
  Narrate(step.line, step.source);
  int slot = 0;
  long number = 0;
  float seconds = 0.0f;
  int team = 0;
  bool ok = true;
  if (verb == "maxplayers") {
    // Taken before the server was made.
  } else if (verb == "map") {
    if (a.size() == 2 && a[1] != "keep-teams") {
      error = "map takes keep-teams after the name, not \"" + a[1] + "\"";
      return false;
    }
    server_.ChangeMap(a[0], a.size() == 2 ? MapChange::KeepTeams : MapChange::ReadyRoom);
    ForgetDeparted();
  } else if (verb == "cvar") {
    if (a.size() == 2) {
      server_.SetCvar(a[0], a[1]);
    } else {
      Tell(a[0] + " is \"" + server_.Cvar(a[0]) + "\"");
    }
  } else if (verb == "values") {
    ok = CopyValues(step, error);
  } else if (verb == "connect" || verb == "connect-bot") {
    ok = Connect(step, error);
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
    if (!server_.ConsoleLine(a)) Tell("unknown command \"" + a[0] + "\"");
  } else if (verb == "status") {
    server_.PrintStatus();
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
  } else if (verb == "ignore-moves" || verb == "obey-moves") {
    if (!Slot(a[0], slot, error)) return false;
    server_.SetIgnoresClientCommands(slot, verb == "ignore-moves");
  } else if (verb == "unload" || verb == "load") {
    ok = Reload(verb, error);
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
  return ok;
}

}  // namespace kelsim
