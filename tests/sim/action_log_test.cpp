// Stories of the standard log lines of the plugin's moves and operator
// commands, through the simulated server with the real plugin loaded.
#include <string>
#include <vector>

#include "balance_story.h"

namespace {

using balance_story::Strings;

class ActionLog : public balance_story::BalanceStory {
 protected:
  Strings TakeLogLines() {
    Strings lines = server.LogLines();
    server.ClearObservations();
    return lines;
  }
};

TEST_F(ActionLog, OperatorCommandsAndTheirMovesInTheGamesForm) {
  const std::vector<int> marines = JoinMany("Marine", 1, 4);  // user ids 2..5
  JoinMany("Alien", 2, 2);                                    // 4/2
  const int player = Join("Player", 0);
  server.ClearObservations();

  server.Say(player, "/kel");  // refused at the gate: no line
  server.Say(op, "/KEL");
  server.Kill(marines[1]);
  server.Frame();
  EXPECT_EQ(TakeLogLines(),
            (Strings{"\"Admin<1><STEAM_0:0:1000><>\" triggered \"kel_command\" (command \"KEL\")\n",
                     "\"Marine2<3><STEAM_0:1:2><team_one>\" triggered \"kel_deathmove\"\n"}));
  server.Frame();  // he is moved: 3/2, even

  Join("Marine\"5%s", 1);  // 4/2 again; user id 9
  server.ClearObservations();
  server.ClientCommand(op, {"ml"});
  EXPECT_EQ(TakeLogLines(),
            (Strings{"\"Admin<1><STEAM_0:0:1000><>\" triggered \"kel_command\" (command \"ml\")\n",
                     "\"Marine'5%s<9><STEAM_0:1:8><team_one>\" triggered \"kel_movelast\"\n"}));
  server.Frame();

  EXPECT_TRUE(server.ServerCommand({"rrr"}));
  EXPECT_EQ(TakeLogLines(), (Strings{"World triggered \"kel_command\" (command \"rrr\")\n",
                                     "\"Admin<1><STEAM_0:0:1000><>\" triggered \"kel_rrr\"\n",
                                     "\"Marine2<3><STEAM_0:1:2><>\" triggered \"kel_rrr\"\n",
                                     "\"Player<8><STEAM_0:1:7><>\" triggered \"kel_rrr\"\n",
                                     "\"Marine'5%s<9><STEAM_0:1:8><>\" triggered \"kel_rrr\"\n"}));

  // Commands anyone may use are not logged.
  server.Say(op, "/sl");
  server.Say(player, "/kel_help");
  EXPECT_EQ(TakeLogLines(), Strings{});
}

// eventeams sends the players already on a team their own team's command
// again; they stay where they are, so only the players it places get a line.
TEST_F(ActionLog, EvenTeamsLogsThePlayersItPlacesAndNobodyElse) {
  StartMapWithValues("STEAM_0:1:1,100\nSTEAM_0:1:2,90\nSTEAM_0:1:3,60\nSTEAM_0:1:4,50\n");
  server.SetTeam(op, 2);
  const int marine = Join("OnTeam", 1);
  JoinMany("Waiting", 0, 3);
  server.ClearObservations();
  server.SeedRandom(3);
  EXPECT_TRUE(server.ServerCommand({"eventeams"}));

  Strings expected = {"World triggered \"kel_command\" (command \"eventeams\")\n"};
  int placed = 0;
  for (const kelsim::Event& event : server.Events()) {
    if (event.kind != kelsim::Event::Kind::ClientCommand) continue;
    if (event.slot == marine || event.slot == op) continue;
    const char* team = event.text == "jointeamone\n" ? "1" : "2";
    expected.push_back("\"" + server.Name(event.slot) + "<" +
                       std::to_string(server.UserId(event.slot)) +
                       "><STEAM_0:1:" + std::to_string(event.slot - 1) +
                       "><>\" triggered \"kel_eventeams\" (team \"" + team + "\")\n");
    ++placed;
  }
  EXPECT_EQ(placed, 3);
  EXPECT_EQ(ClientCommands(marine), Strings{"jointeamone\n"}) << "re-sent, not logged";
  EXPECT_EQ(ClientCommands(op), Strings{"jointeamtwo\n"}) << "re-sent, not logged";
  EXPECT_EQ(server.LogLines(), expected);
}

}  // namespace
