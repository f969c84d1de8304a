#include "preview.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "cleanup.h"
#include "scenario.h"
#include "sim_server.h"

namespace kelsim {

namespace {

constexpr const char* kUsage =
    "usage: kelsim preview --values FILE PLAYERS [--seed N] [--search quick|best] "
    "[--plugin PATH]; exit status 0 done, 2 usage, 3 plugin fault, 4 values file refused";
constexpr int kValuesRefused = 4;
constexpr unsigned kDefaultSeed = 1;
// A PLAYERS text longer than this is no list of 64 players.
constexpr std::size_t kMaxPlayersText = std::size_t{64} * 1024;
// Frames for the game to carry out the moves eventeams sends.
constexpr int kMoveFrames = 2;

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  const std::size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

// A hostile text as an error message may show it: at most 40 bytes, control
// bytes as \xNN.
std::string Shown(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size() && i < 40; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7f) {
      char escaped[8];
      (void)std::snprintf(escaped, sizeof(escaped), "\\x%02x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return "\"" + out + (text.size() > 40 ? "...\"" : "\"");
}

bool ValidId(const std::string& id) {
  return !id.empty() && id.size() <= kMaxPreviewId &&
         std::ranges::all_of(id, [](char c) { return c > ' ' && c <= '~'; });
}

bool ValidName(const std::string& name) {
  return !name.empty() && name.size() <= kMaxPreviewName && std::ranges::all_of(name, [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x20 && byte != 0x7f && c != '"' && c != '\\';
  });
}

bool TeamOf(const std::string& word, int& team) {
  if (word == "marines") {
    team = 1;
  } else if (word == "aliens") {
    team = 2;
  } else if (word == "readyroom") {
    team = 0;
  } else {
    return false;
  }
  return true;
}

bool ParseOnePlayer(const std::string& line, PreviewPlayer& player, std::string& error) {
  std::vector<std::string> fields;
  std::string field;
  std::istringstream in(line);
  while (std::getline(in, field, ',')) fields.push_back(Trim(field));
  if (!line.empty() && line.back() == ',') fields.emplace_back();
  if (fields.size() != 3) {
    error = "expected id,name,team";
    return false;
  }
  if (!ValidId(fields[0])) {
    error = "bad id " + Shown(fields[0]) + " (1 to 63 characters, no blanks)";
    return false;
  }
  if (!ValidName(fields[1])) {
    error = "bad name " + Shown(fields[1]) + " (1 to 31 characters, no \" or \\)";
    return false;
  }
  if (!TeamOf(fields[2], player.team)) {
    error = "team must be marines, aliens or readyroom, not " + Shown(fields[2]);
    return false;
  }
  player.id = fields[0];
  player.name = fields[1];
  return true;
}

bool ReadAll(const std::string& path, std::string& text) {
  if (path == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    return true;
  }
  return ReadFile(path, text);
}

struct Options {
  std::string values;
  std::string players;
  std::string plugin;
  std::string search;
  unsigned seed = kDefaultSeed;
};

// Every option in one pass, each failing with its own message.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool takesValue =
        arg == "--values" || arg == "--seed" || arg == "--search" || arg == "--plugin";
    if (takesValue && i + 1 >= args.size()) {
      error = arg + " needs a value";
      return false;
    }
    if (arg == "--values") {
      options.values = args[++i];
    } else if (arg == "--plugin") {
      options.plugin = args[++i];
    } else if (arg == "--search") {
      options.search = args[++i];
      if (options.search != "quick" && options.search != "best") {
        error = "--search takes quick or best, not " + Shown(options.search);
        return false;
      }
    } else if (arg == "--seed") {
      const std::string& text = args[++i];
      const auto [end, failed] =
          std::from_chars(text.data(), text.data() + text.size(), options.seed);
      if (text.empty() || failed != std::errc() || end != text.data() + text.size()) {
        error = "--seed takes a whole number from 0 to 4294967295, not " + Shown(text);
        return false;
      }
    } else if (arg == "-" || (!arg.empty() && arg[0] != '-')) {
      if (!options.players.empty()) {
        error = "one PLAYERS file only (" + Shown(arg) + " is a second)";
        return false;
      }
      options.players = arg;
    } else {
      error = "unknown option " + Shown(arg);
      return false;
    }
  }
  if (options.values.empty()) {
    error = "--values FILE is required";
  } else if (options.players.empty()) {
    error = "a PLAYERS file (or - for standard input) is required";
  }
  return error.empty();
}

void PrintLines(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) std::printf("%s\n", line.c_str());
}

// stv as the server console runs it; its console lines.
std::vector<std::string> Report(SimServer& server) {
  server.ClearObservations();
  server.ServerCommand({"stv"});
  return server.ConsoleLines();
}

// Connects every player (slot 1 up, in the list's order) and puts him on
// his team; their slots.
std::vector<int> Seat(SimServer& server, const std::vector<PreviewPlayer>& players) {
  std::vector<int> slots;
  for (const PreviewPlayer& player : players) {
    const int slot = server.Connect(player.name, player.id);
    if (player.team != 0) server.SetTeam(slot, player.team);
    slots.push_back(slot);
  }
  return slots;
}

// eventeams from the server console, what the console showed, and each move
// it sent, in its order, once the game has carried them out.
void EvenTeamsAndPlacements(SimServer& server, const std::vector<PreviewPlayer>& players,
                            const std::vector<int>& slots) {
  server.ClearObservations();
  server.ServerCommand({"eventeams"});
  PrintLines(server.ConsoleLines());
  std::vector<int> sent;
  for (const Event& event : server.Events())
    if (event.kind == Event::Kind::ClientCommand) sent.push_back(event.slot);
  for (int i = 0; i < kMoveFrames; ++i) server.Frame();
  if (sent.empty()) std::printf("  nobody moves\n");
  for (int slot : sent) {
    const auto seat = std::ranges::find(slots, slot);
    const int before =
        seat == slots.end() ? 0 : players[static_cast<std::size_t>(seat - slots.begin())].team;
    const int after = server.Team(slot);
    if (after == before) {
      std::printf("  %s: stays with the %s\n", server.Name(slot).c_str(), TeamWord(after).c_str());
    } else {
      std::printf("  %s: %s -> %s\n", server.Name(slot).c_str(), TeamWord(before).c_str(),
                  TeamWord(after).c_str());
    }
  }
}

// The faults the host saw, on standard error; true when there were any.
bool ReportFaults(const SimServer& server) {
  for (const std::string& fault : server.HostErrors())
    (void)std::fprintf(stderr, "kelsim preview: host error: %s\n", fault.c_str());
  if (server.Fatal())
    (void)std::fprintf(stderr, "kelsim preview: the server stopped: %s\n",
                       server.FatalReason().c_str());
  return !server.HostErrors().empty() || server.Fatal();
}

// The reason the plugin's load line gives when it refused the values file
// at `path` ("no such file", "no values", ...); empty when it read it.
std::string RefusalReason(const SimServer& server, const std::string& path) {
  const std::string refused = "kel: could not read player values from \"" + path + "\": ";
  std::string reason;
  for (const std::string& line : server.LogLines()) {
    if (line.rfind(refused, 0) != 0) continue;
    reason = line.substr(refused.size());
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) reason.pop_back();
    if (reason.empty()) reason = "refused";
  }
  return reason;
}

int UsageError(const std::string& message) {
  (void)std::fprintf(stderr, "kelsim preview: %s\n", message.c_str());
  return 2;
}

}  // namespace

bool ParsePreviewPlayers(const std::string& text, std::vector<PreviewPlayer>& players,
                         std::string& error) {
  players.clear();
  if (text.size() > kMaxPlayersText) {
    error = "the list is longer than " + std::to_string(kMaxPlayersText) + " bytes";
    return false;
  }
  std::istringstream in(text);
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    const std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == '#') continue;
    PreviewPlayer player;
    player.line = number;
    std::string why;
    if (!ParseOnePlayer(trimmed, player, why)) {
      error = "line " + std::to_string(number) + ": " + why;
      return false;
    }
    for (const PreviewPlayer& earlier : players) {
      if (earlier.name != player.name) continue;
      error = "line " + std::to_string(number) + ": the name " + Shown(player.name) +
              " is taken on line " + std::to_string(earlier.line);
      return false;
    }
    if (static_cast<int>(players.size()) == kMaxPreviewPlayers) {
      error = "line " + std::to_string(number) + ": more than " +
              std::to_string(kMaxPreviewPlayers) + " players";
      return false;
    }
    players.push_back(std::move(player));
  }
  if (players.empty()) {
    error = "no players in the list";
    return false;
  }
  return true;
}

// The command's steps in order, each failing with its own message.
int RunPreview(const std::vector<std::string>& args, const std::string& defaultPlugin) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::printf("%s\n", kUsage);
    return 0;
  }
  Options options;
  std::string error;
  if (!ParseOptions(args, options, error)) return UsageError(error + " (" + kUsage + ")");
  std::string text;
  if (!ReadAll(options.players, text)) return UsageError("cannot read " + options.players);
  std::vector<PreviewPlayer> players;
  if (!ParsePreviewPlayers(text, players, error))
    return UsageError((options.players == "-" ? "standard input" : options.players) + ", " + error);
  std::ifstream valuesReadable(options.values, std::ios::binary);
  if (!valuesReadable) return UsageError("cannot read " + options.values);

  // Two slots at least: a server of one is no place to even teams.
  SimServer server(std::max(2, static_cast<int>(players.size())));
  RemoveOnSignal(server.PluginDirectory());
  if (!options.search.empty()) server.SetCvar("kel_eventeams_search", options.search);
  std::error_code failed;
  const std::string copy = server.PluginDirectory() + "/player_values.txt";
  std::filesystem::copy_file(options.values, copy,
                             std::filesystem::copy_options::overwrite_existing, failed);
  if (failed) return UsageError("cannot copy " + options.values + ": " + failed.message());
  const std::string plugin = options.plugin.empty() ? defaultPlugin : options.plugin;
  if (!server.Load(plugin)) return UsageError("cannot load " + plugin + ": " + server.LoadError());
  if (const std::string reason = RefusalReason(server, copy); !reason.empty()) {
    (void)std::fprintf(stderr, "kelsim preview: the plugin did not load %s: %s\n",
                       options.values.c_str(), reason.c_str());
    return kValuesRefused;
  }
  // The load's map start read the values and seeded from the calendar; the
  // seed given here decides from now on.
  server.SeedRandom(options.seed);

  const std::vector<int> slots = Seat(server, players);
  std::printf("stv before eventeams:\n");
  PrintLines(Report(server));
  std::printf("\neventeams (seed %u, search %s):\n", options.seed,
              server.Cvar("kel_eventeams_search").c_str());
  EvenTeamsAndPlacements(server, players, slots);
  std::printf("\nstv after eventeams:\n");
  PrintLines(Report(server));
  return ReportFaults(server) ? 3 : 0;
}

}  // namespace kelsim
