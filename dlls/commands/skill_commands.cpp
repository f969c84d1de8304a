#include "skill_commands.h"

#include <cstring>
#include <string>
#include <utility>

#include "chat.h"
#include "even_teams.h"
#include "host_api.h"
#include "player_values.h"
#include "roster.h"
#include "server_output.h"
#include "standard_log.h"
#include "team_values.h"

namespace {

bool OnATeam(TeamId team) { return team == kMarines || team == kAliens; }
bool Anywhere(TeamId /*team*/) { return true; }

// ---- eventeams' standard log lines (kel_logactions) -----------------------
// A player sent the join command of a team he is not on is placed there;
// one re-sent his own team's command stays where he is, so no line says he
// was moved.
void LogPlacement(edict_t* player, const char* joinCommand) {
  const bool marines = std::strcmp(joinCommand, "jointeamone\n") == 0;
  if (PlayerTeam(player) == (marines ? kMarines : kAliens)) return;
  LogPlayerAction(player, "kel_eventeams", "team", marines ? "marines" : "aliens");
}
// ---------------------------------------------------------------------------

void SendJoinCommand(const std::string& name, const char* command) {
  edict_t* player = FindPlayerByName(name);
  if (!player) return;  // left or renamed since
  HostApi::SendClientCommand(player, command);
  LogPlacement(player, command);
}

void ShowTeamValues(const CommandCaller& caller) {
  std::vector<RatedPlayer> marines;
  std::vector<RatedPlayer> aliens;
  for (RatedPlayer& player : GatherRatedPlayers(OnATeam)) {
    (player.team == kMarines ? marines : aliens).push_back(std::move(player));
  }
  ReplyInfo(caller, TeamValuesReport(std::move(marines), std::move(aliens)));
}

void AssignEvenTeams(const CommandCaller& /*caller*/) {
  const std::vector<RatedPlayer> players = GatherRatedPlayers(Anywhere);
  // Players of teams -2 and -1 join the pool, but only the ready room starts
  // a run.
  bool anyoneWaiting = false;
  for (const RatedPlayer& player : players) anyoneWaiting |= player.team == kReadyRoom;
  if (!anyoneWaiting) return;

  EvenTeamsAssigner assigner(players);
  std::vector<std::string> teamOne;
  std::vector<std::string> teamTwo;
  assigner.SplitTeams(teamOne, teamTwo);

  for (std::size_t k = 0; k < teamOne.size() || k < teamTwo.size(); ++k) {
    if (k < teamOne.size()) SendJoinCommand(teamOne[k], "jointeamone\n");
    if (k < teamTwo.size()) SendJoinCommand(teamTwo[k], "jointeamtwo\n");
  }
  NoticeAll("New teams assigned.  Say /stv for more info\n", kChatArea);
}

}  // namespace

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
  if (!PlayerValues::Instance().IsLoaded()) {
    LogToServer("kel warning: player values file not loaded\n");
    ReplyAlert(caller, "Sorry, player values not loaded\n");
    return;
  }
  ShowTeamValues(caller);
}

void AssignEvenTeamsCommand(const CommandCaller& caller) {
  if (!PlayerValues::Instance().IsLoaded()) {
    // This wording whatever file kel_playervaluesfile names.
    LogToServer("kel warning: player_values.txt file not loaded\n");
    ReplyAlert(caller, "Sorry, player values not loaded\n");
    return;
  }
  AssignEvenTeams(caller);
}
