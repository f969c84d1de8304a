#include "skill_commands.h"

#include <cstring>
#include <string>
#include <utility>

#include "best_split.h"
#include "bounded_text.h"
#include "chat.h"
#include "cvar_reading.h"
#include "even_teams.h"
#include "host_api.h"
#include "player_values.h"
#include "roster.h"
#include "server_output.h"
#include "standard_log.h"
#include "team_orders.h"
#include "team_values.h"

namespace {

// The last load's log line, and when it was made.
std::string g_lastLoadLine;
float g_lastLoadTime = 0.0f;

bool OnATeam(TeamId team) { return team == kMarines || team == kAliens; }
bool Anywhere(TeamId /*team*/) { return true; }

// ---- eventeams' standard log lines ----------------------------------------
// A player sent the join command of a team he is not on is placed there;
// one re-sent his own team's command stays where he is, so no line says he
// was moved.
void LogPlacement(edict_t* player, TeamId team) {
  if (PlayerTeam(player) == team) return;
  LogPlayerAction(player, "kel_eventeams", "team", team == kMarines ? "1" : "2");
}
// ---------------------------------------------------------------------------

// The join command of `team` (kMarines or kAliens), recorded as the
// plugin's own order.
void SendJoinCommand(const std::string& name, TeamId team) {
  edict_t* player = FindPlayerByName(name);
  if (!player) return;  // left or renamed since
  SendTeamOrder(player, team == kMarines ? TeamOrder::JoinMarines : TeamOrder::JoinAliens);
  LogPlacement(player, team);  // the game moves him later: his team is still the old one
}

// True while the player values are loaded; otherwise the command's warning
// goes to the server log, the caller is told, and the command does nothing.
bool ValuesLoadedElseRefuse(const CommandCaller& caller, const char* warning) {
  if (PlayerValues::Instance().IsLoaded()) return true;
  LogToServer("%s", warning);
  ReplyAlert(caller, "Sorry, player values not loaded\n");
  return false;
}

void ShowTeamValues(const CommandCaller& caller) {
  std::vector<RatedPlayer> marines;
  std::vector<RatedPlayer> aliens;
  for (RatedPlayer& player : GatherRatedPlayers(OnATeam)) {
    (player.team == kMarines ? marines : aliens).push_back(std::move(player));
  }
  const std::string report = TeamValuesReport(std::move(marines), std::move(aliens));
  ReplyInfo(caller, report);
  CopyToPlayerConsole(caller, report);
}

// The search kel_eventeams_search names now; the console hears once a map
// of a text that names none.
EvenTeamsSearch CurrentSearch() {
  const char* text = HostApi::CvarString(Cvar::EvenTeamsSearch);
  const EvenTeamsSearch search = EvenTeamsSearchFromText(text);
  if (search == EvenTeamsSearch::Quick && std::strcmp(text, "quick") != 0 &&
      FirstCvarNoticeThisMap(Cvar::EvenTeamsSearch)) {
    ConsoleReply(FormatBounded(256,
                               "kel: %s \"%.64s\" names no search; it takes \"quick\" (the "
                               "default) or \"best\", and \"quick\" is used",
                               ConsoleVariableOf(Cvar::EvenTeamsSearch).name, text));
  }
  return search;
}

void AssignEvenTeams(const CommandCaller& /*caller*/) {
  const std::vector<RatedPlayer> players = GatherRatedPlayers(Anywhere);
  // Players of teams -2 and -1 join the pool, but only the ready room starts
  // a run.
  bool anyoneWaiting = false;
  for (const RatedPlayer& player : players) anyoneWaiting |= player.team == kReadyRoom;
  if (!anyoneWaiting) return;

  std::vector<std::string> teamOne;
  std::vector<std::string> teamTwo;
  if (CurrentSearch() == EvenTeamsSearch::Best) {
    PlaceBest(players, teamOne, teamTwo);
  } else {
    EvenTeamsAssigner assigner(players);
    assigner.SplitTeams(teamOne, teamTwo);
  }

  for (std::size_t k = 0; k < teamOne.size() || k < teamTwo.size(); ++k) {
    if (k < teamOne.size()) SendJoinCommand(teamOne[k], kMarines);
    if (k < teamTwo.size()) SendJoinCommand(teamTwo[k], kAliens);
  }
  NoticeAll("New teams assigned.  Say /stv for more info\n", kChatArea);
}

}  // namespace

EvenTeamsSearch EvenTeamsSearchFromText(const char* text) {
  return text != nullptr && std::strcmp(text, "best") == 0 ? EvenTeamsSearch::Best
                                                           : EvenTeamsSearch::Quick;
}

void PlaceBest(const std::vector<RatedPlayer>& players, std::vector<std::string>& teamOneNames,
               std::vector<std::string>& teamTwoNames) {
  teamOneNames.clear();
  teamTwoNames.clear();
  TeamStanding marines;
  TeamStanding aliens;
  std::vector<const RatedPlayer*> waiting;
  std::vector<int32_t> waitingValues;
  for (const RatedPlayer& player : players) {
    if (player.team == kMarines || player.team == kAliens) {
      TeamStanding& side = player.team == kMarines ? marines : aliens;
      ++side.players;
      side.total += player.value;
      (player.team == kMarines ? teamOneNames : teamTwoNames).push_back(player.name);
    } else {
      waiting.push_back(&player);
      waitingValues.push_back(player.value);
    }
  }
  const uint64_t toTeamOne = BestSplit(marines, aliens, waitingValues);
  for (std::size_t i = 0; i < waiting.size(); ++i) {
    const bool one = i < kBestSplitMaxPool && ((toTeamOne >> i) & 1U) != 0;
    (one ? teamOneNames : teamTwoNames).push_back(waiting[i]->name);
  }
}

std::vector<RatedPlayer> GatherRatedPlayers(bool (*keep)(TeamId team)) {
  std::vector<RatedPlayer> players;
  HostApi::ForEachClientSlot([&](int /*slot*/, edict_t* entity) {
    std::string name = PlayerName(entity);
    if (name.empty()) return;
    const TeamId team = PlayerTeam(entity);
    if (!keep(team)) return;
    const int32_t value = PlayerValues::Instance().ValueOf(HostApi::PlayerAuthId(entity));
    players.push_back(RatedPlayer{std::move(name), value, team});
  });
  return players;
}

void ShowTeamValuesCommand(const CommandCaller& caller) {
  if (ValuesLoadedElseRefuse(caller, "kel warning: player values file not loaded\n")) {
    ShowTeamValues(caller);
  }
}

std::string LoadPlayerValues() {
  const std::string path = PlayerValuesPath();
  const ValuesLoad outcome = PlayerValues::Instance().Reload(path);
  std::string line = ValuesLoadLogLine(path, outcome, PlayerValues::Instance());
  LogToServer("%s", line.c_str());
  g_lastLoadLine = line;
  g_lastLoadTime = HostApi::Time();
  return line;
}

const std::string& LastValuesLoadLine() { return g_lastLoadLine; }
float LastValuesLoadTime() { return g_lastLoadTime; }

void ReloadPlayerValuesCommand(const CommandCaller& caller) {
  std::string line = LoadPlayerValues();
  if (!line.empty() && line.back() == '\n') line.pop_back();
  ReplyAlert(caller, line);
}

void AssignEvenTeamsCommand(const CommandCaller& caller) {
  // This wording whatever file kel_playervaluesfile names.
  if (ValuesLoadedElseRefuse(caller, "kel warning: player_values.txt file not loaded\n")) {
    AssignEvenTeams(caller);
  }
}
