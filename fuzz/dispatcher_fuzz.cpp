// The command dispatcher, through the simulated server and the real plugin
// library.  Each input is decoded into a short session: the console
// variables (mp_serverops among them), a player values file, a map start,
// up to 16 players with names, ids, teams and life, then up to 48 steps of
// chat lines, client commands, console commands, frames, team changes,
// deaths, renames, id changes, arrivals and departures.
//
// One server serves every input; a session ends by sending everyone away
// and the next starts with a new map, the random generator reseeded from
// the input, so an input replays the same way on its own.
//
// Checks: the host sees no fault (every hook sets its result, every message
// is well formed and within its size, no unprovided engine entry is called),
// and a player's command is taken over exactly when it names one of the
// plugin's commands that he may use.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "dispatcher.h"
#include "fuzz_check.h"
#include "operators.h"
#include "sim_server.h"

namespace {

constexpr int kServerSlots = 64;  // above the 32 slots the plugin's tables keep
constexpr int kMaxPlayers = 16;
constexpr int kMaxSteps = 48;

kelsim::SimServer* g_server = nullptr;

struct CommandWord {
  const char* word;
  bool operatorOnly;
};
// The plugin's command words, from its command table.
const std::vector<CommandWord>& Commands() {
  static const std::vector<CommandWord> words = [] {
    std::vector<CommandWord> all;
    for (const CommandRow& row : CommandTable()) {
      for (const char* word : row.words) {
        if (word) all.push_back({word, row.operatorOnly});
      }
    }
    return all;
  }();
  return words;
}
const char* const kGameWords[] = {"say",         "say_team",   "readyroom", "jointeamone",
                                  "jointeamtwo", "autoassign", "SAY",       "Say_Team"};

// Names come from a fixed stock, plain and hostile, with an optional number:
// the simulated engine interns every name for good, so arbitrary names
// would fill its string pool within a long run.
const char* const kNames[] = {
    "Admin", "Alice", "Bob", "Carol", "Dave", "", " ", "%s%s%n%x", "%d", "a\nb", "\"quoted\"",
    "/stv", "say", "1234567890123456789012345678901",  // the engine's 31 bytes
    "\xC3\xA9l\xC3\xA8ve",
    // Ten three-byte characters: cut at 31 bytes in the middle of one.
    ("\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"
     "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"),
    "\xFF\xFE", "{24114F62-940A-4c20-A325-BB923197C0CE}", "player", "\\name\\x"};

const char* const kIds[] = {"STEAM_0:0:1",
                            "STEAM_0:1:2",
                            "STEAM_0:0:3",
                            "STEAM_0:1:12",
                            "STEAM_0:1:123456",
                            "BOT",
                            "",
                            "HLTV",
                            "VALVE_ID_LAN",
                            "STEAM_ID_PENDING",
                            "4294967295",
                            "-1"};

const char* const kValuesFileNames[] = {"player_values.txt", "", "missing.txt",
                                        "./player_values.txt"};

struct Player {
  bool setUp = false;  // has his game object
  std::string authId;
};

class Session {
 public:
  explicit Session(FuzzedDataProvider& in) : in_(in) {}

  void Run() {
    SetUpServer();
    const int count = in_.ConsumeIntegralInRange(0, kMaxPlayers);
    for (int k = 0; k < count; ++k) Arrive();
    for (int step = 0; step < kMaxSteps && in_.remaining_bytes() > 0; ++step) Step();
    for (int slot = 1; slot <= kServerSlots; ++slot) g_server->Disconnect(slot);
    g_server->Frame(0.1f);
  }

 private:
  void SetUpServer() {
    g_server->SetCvar("mp_serverops", Text(96));
    static const char* const kHandicaps[] = {"", "marines", "aliens", "Marines", " aliens"};
    g_server->SetCvar("kel_handicapteam", in_.PickValueInArray(kHandicaps));
    g_server->SetCvar("qvd_disable_notice", in_.ConsumeBool() ? "0" : "1");
    g_server->SetCvar("kel_playervaluesfile", in_.PickValueInArray(kValuesFileNames));
    const std::string values = in_.ConsumeRandomLengthString(512);
    std::ofstream(g_server->PluginDirectory() + "/player_values.txt", std::ios::binary) << values;
    g_server->ChangeMap();
    // After the map start, which seeds the generator from the clock when
    // the values load.
    g_server->SeedRandom(in_.ConsumeIntegral<unsigned>());
  }

  std::string Text(std::size_t maxLength) { return in_.ConsumeRandomLengthString(maxLength); }

  std::string Name() {
    std::string name = in_.PickValueInArray(kNames);
    const int number = in_.ConsumeIntegralInRange(-1, 15);
    if (number >= 0) name += std::to_string(number);
    return name;
  }

  std::string AuthId() {
    if (in_.ConsumeIntegralInRange(0, 3) == 0) return Text(40);
    return in_.PickValueInArray(kIds);
  }

  int Team() {
    static constexpr int kTeams[] = {0, 1, 2, 1, 2, -1, -2, 3, 7};
    return in_.PickValueInArray(kTeams);
  }

  int AnySlot() { return in_.ConsumeIntegralInRange(1, kServerSlots); }

  // A connected slot when there is one, now and then any slot at all.
  int SomeSlot() {
    std::vector<int> present;
    for (int slot = 1; slot <= kServerSlots; ++slot) {
      if (g_server->IsConnected(slot)) present.push_back(slot);
    }
    if (present.empty() || in_.ConsumeIntegralInRange(0, 15) == 0) return AnySlot();
    return present[in_.ConsumeIntegralInRange<std::size_t>(0, present.size() - 1)];
  }

  void Arrive() {
    const std::string name = Name();
    const std::string id = AuthId();
    int slot = 0;
    bool setUp = true;
    if (in_.ConsumeIntegralInRange(0, 7) == 0) {
      slot = g_server->ConnectWithoutGameObject(name, id);
      setUp = false;
    } else {
      const int wanted = AnySlot();
      if (g_server->IsConnected(wanted)) return;
      slot = g_server->Connect(name, id, wanted);
    }
    if (slot == 0) return;
    players_[slot] = Player{setUp, id};
    const int team = Team();
    if (team != 0) g_server->SetTeam(slot, team);
    if (in_.ConsumeIntegralInRange(0, 3) == 0) g_server->Kill(slot);
  }

  const CommandWord& PickCommand() {
    const std::vector<CommandWord>& all = Commands();
    return all[in_.ConsumeIntegralInRange<std::size_t>(0, all.size() - 1)];
  }

  // A command word: one of the plugin's or the game's in any letter case,
  // or any text.
  std::string Word() {
    std::string word;
    switch (in_.ConsumeIntegralInRange(0, 3)) {
      case 0:
      case 1:
        word = PickCommand().word;
        break;
      case 2:
        word = in_.PickValueInArray(kGameWords);
        break;
      default:
        return Text(24);
    }
    const uint32_t upper =
        in_.ConsumeIntegral<uint8_t>() == 0 ? 0 : in_.ConsumeIntegral<uint32_t>();
    for (std::size_t i = 0; i < word.size() && i < 32; ++i) {
      if (((upper >> i) & 1) && word[i] >= 'a' && word[i] <= 'z')
        word[i] = static_cast<char>(word[i] - 'a' + 'A');
    }
    return word;
  }

  std::string ChatLine() {
    if (in_.ConsumeBool()) return Text(200);
    std::string line = "/" + Word();
    if (in_.ConsumeBool()) line += " " + Text(40);
    return line;
  }

  // Whether the plugin must take the command over from the game.
  bool Expected(int slot, const std::vector<std::string>& words) const {
    const auto found = players_.find(slot);
    if (found == players_.end() || !found->second.setUp) return false;
    // The host hands the words over as C strings.
    CommandWords commandWords;
    commandWords.word0 = words.empty() ? "" : words[0].c_str();
    commandWords.word1 = words.size() < 2 ? "" : words[1].c_str();
    for (const CommandWord& command : Commands()) {
      if (!IsCommand(commandWords, command.word)) continue;
      return !command.operatorOnly || ServerOpsListHoldsId(g_server->Cvar("mp_serverops").c_str(),
                                                           found->second.authId.c_str());
    }
    return false;
  }

  void ClientCommand(int slot, const std::vector<std::string>& words) {
    const bool connected = g_server->IsConnected(slot);
    const bool expected = Expected(slot, words);
    const META_RES result = g_server->ClientCommand(slot, words);
    if (!connected) return;
    std::string shown;
    for (const std::string& word : words) shown += kel_fuzz::Shown(word) + " ";
    KEL_FUZZ_CHECK(
        result == (expected ? MRES_SUPERCEDE : MRES_IGNORED),
        "result " + std::to_string(result) + " for " + shown + "from slot " + std::to_string(slot));
  }

  void Step() {
    switch (in_.ConsumeIntegralInRange(0, 15)) {
      case 0:
      case 1:
      case 2: {
        const int slot = SomeSlot();
        ClientCommand(slot, {in_.ConsumeBool() ? "say" : "say_team", ChatLine()});
        break;
      }
      case 3:
      case 4: {
        const int slot = SomeSlot();
        std::vector<std::string> words{Word()};
        const int more = in_.ConsumeIntegralInRange(0, 2);
        for (int k = 0; k < more; ++k) words.push_back(in_.ConsumeBool() ? Word() : Text(40));
        ClientCommand(slot, words);
        break;
      }
      case 5: {
        std::vector<std::string> words{PickCommand().word};
        if (in_.ConsumeBool()) words.push_back(Text(40));
        KEL_FUZZ_CHECK(g_server->ServerCommand(words), "console command not registered");
        break;
      }
      case 6:
      case 7: {
        static constexpr float kSteps[] = {0.1f, 0.5f, 1.0f, 10.0f, 31.0f, 61.0f, 0.0f};
        const int frames = in_.ConsumeIntegralInRange(1, 3);
        const float dt = in_.PickValueInArray(kSteps);
        for (int k = 0; k < frames; ++k) g_server->Frame(dt);
        break;
      }
      case 8:
        if (const int slot = SomeSlot(); g_server->IsConnected(slot))
          g_server->SetTeam(slot, Team());
        break;
      case 9:
        if (const int slot = SomeSlot(); g_server->IsConnected(slot)) {
          if (in_.ConsumeBool()) {
            g_server->Kill(slot);
          } else {
            g_server->Respawn(slot);
          }
        }
        break;
      case 10:
        if (const int slot = SomeSlot(); g_server->IsConnected(slot))
          g_server->Rename(slot, Name());
        break;
      case 11:
        if (const int slot = SomeSlot(); g_server->IsConnected(slot)) {
          const std::string id = AuthId();
          g_server->SetAuthId(slot, id);
          players_[slot].authId = id;
        }
        break;
      case 12: {
        const int slot = SomeSlot();
        g_server->Disconnect(slot);
        players_.erase(slot);
        break;
      }
      case 13:
        Arrive();
        break;
      case 14:
        g_server->SetCvar("mp_serverops", Text(96));
        break;
      default:
        if (const int slot = SomeSlot(); g_server->IsConnected(slot) && !players_[slot].setUp) {
          g_server->PutInServer(slot);
          players_[slot].setUp = true;
        } else {
          g_server->SetCvar("qvd_disable_notice", in_.ConsumeBool() ? "0" : "1");
        }
        break;
    }
  }

  FuzzedDataProvider& in_;
  std::map<int, Player> players_;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* path = std::getenv("KEL_PLUGIN_PATH");
  // The simulated server keeps its private directory, and with it the
  // values file written for every input, under TMPDIR.
  setenv("TMPDIR", kel_fuzz::ScratchDirectory().c_str(), 1);
  g_server = new kelsim::SimServer(kServerSlots);
  if (!g_server->Load(path && *path ? path : KEL_PLUGIN_PATH)) {
    std::fprintf(stderr, "cannot load the plugin: %s\n", g_server->LoadError().c_str());
    std::abort();
  }
  g_server->ChangeMap();
  // Every slot once used and left: from now on a connection without a slot
  // of its own takes the lowest free one, whatever earlier inputs did.
  for (int slot = 1; slot <= kServerSlots; ++slot) g_server->Connect("Warm-up", "", slot);
  for (int slot = 1; slot <= kServerSlots; ++slot) g_server->Disconnect(slot);
  std::atexit([] { delete g_server; });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  g_server->ClearObservations();
  const std::size_t errorsBefore = g_server->HostErrors().size();
  Session(in).Run();
  const std::vector<std::string>& errors = g_server->HostErrors();
  KEL_FUZZ_CHECK(errors.size() == errorsBefore, "host error: " + errors.back());
  KEL_FUZZ_CHECK(!g_server->Fatal(), "server stopped: " + g_server->FatalReason());
  return 0;
}
