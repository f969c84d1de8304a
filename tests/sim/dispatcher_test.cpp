// Stories of the command dispatcher: which words it takes from whom, where
// the answers go, and what the game still sees, told through the simulated
// server with the real plugin loaded.
#include <fstream>
#include <string>
#include <vector>

#include "balance_watch.h"
#include "command_table.h"
#include "roster_story.h"

namespace {

using roster_story::kOperatorId;
using roster_story::Strings;

constexpr const char* kNotLoaded = "Sorry, player values not loaded\n";
constexpr const char* kStvWarning = "kel warning: player values file not loaded\n";
constexpr const char* kEvenTeamsWarning = "kel warning: player_values.txt file not loaded\n";

// A text as the console shows it: a line for each line end, without it.
Strings LinesOf(const std::string& text) {
  Strings lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

class Dispatch : public roster_story::Story {
 protected:
  void SetUp() override {
    roster_story::Story::SetUp();
    ASSERT_FALSE(HasFatalFailure());
    op = server.Connect("Admin", kOperatorId);
    player = server.Connect("Player", "STEAM_0:0:42");
    ASSERT_NE(op, 0);
    ASSERT_NE(player, 0);
    server.ClearObservations();
  }
  // A line typed on the server console; gives the mres the plugin wrote (the
  // callback is no hook, so the simulator's LastResult does not cover it).
  META_RES Console(const std::string& word) {
    server.MetaGlobals().mres = MRES_UNSET;
    EXPECT_TRUE(server.ServerCommand({word})) << word;
    return server.MetaGlobals().mres;
  }
  // Everything anyone could have seen or been sent since the last clear.
  std::size_t Observed() const {
    return server.ConsoleLines().size() + server.LogLines().size() + server.Client(op).hud.size() +
           server.Client(op).chat.size() + server.Client(player).hud.size() +
           server.Client(player).chat.size() + server.Client(op).playerChat.size() +
           server.Client(player).playerChat.size();
  }

  int op = 0;
  int player = 0;
};

// ---- the operator gate ------------------------------------------------------

TEST_F(Dispatch, OrdinaryPlayersAdminWordsGoToTheGameUnanswered) {
  const std::vector<std::vector<std::string>> commands = {
      {"say", "/kel"}, {"say", "/movelast"},  {"say_team", "/ml"},
      {"say", "/rrr"}, {"say", "/eventeams"}, {"say", "/eventeam"},
      {"kel"},         {"movelast"},          {"ml"},
      {"rrr"},         {"eventeams"},         {"EvenTeam"},
  };
  for (const auto& words : commands) {
    server.ClearObservations();
    EXPECT_EQ(server.ClientCommand(player, words), MRES_IGNORED) << words[0];
    EXPECT_EQ(HudTexts(player), Strings{}) << words[0];
    EXPECT_EQ(server.LogLines(), Strings{}) << words[0];
    EXPECT_EQ(server.Client(player).commands, Strings{}) << words[0];
  }
  // A chat line the gate refuses is shown like any other.
  server.ClearObservations();
  server.Say(player, "/kel");
  EXPECT_EQ(PlayerChat(op), Strings{"Player: /kel"});
}

TEST_F(Dispatch, OperatorsAdminWordsAreHandledAndHidden) {
  EXPECT_EQ(server.Say(op, "/kel"), MRES_SUPERCEDE);
  EXPECT_EQ(HudTexts(op), Strings{kTeamsBalanced});
  EXPECT_EQ(PlayerChat(player), Strings{});

  server.ClearObservations();
  EXPECT_EQ(server.ClientCommand(op, {"MoveLast"}), MRES_SUPERCEDE);
  EXPECT_EQ(HudTexts(op), Strings{kTeamsBalanced});

  server.ClearObservations();
  EXPECT_EQ(server.SayTeam(op, "/RRR"), MRES_SUPERCEDE);
  EXPECT_EQ(ChatTexts(player).front(), "Ready Room is being cleaned out\n");
  EXPECT_EQ(PlayerChat(player), Strings{});
}

TEST_F(Dispatch, ServerConsolePassesEveryGate) {
  for (const char* word : {"kel", "movelast", "ml"}) {
    server.ClearObservations();
    EXPECT_EQ(Console(word), MRES_SUPERCEDE) << word;
    EXPECT_EQ(server.ConsoleLines(), Strings{kTeamsBalanced}) << word;
    EXPECT_EQ(HudTexts(op), Strings{}) << word;
  }
  server.ClearObservations();
  EXPECT_EQ(Console("rrr"), MRES_SUPERCEDE);
  EXPECT_EQ(ChatTexts(player).front(), "Ready Room is being cleaned out\n");
}

// ---- recognising the words --------------------------------------------------

struct WordCase {
  std::vector<std::string> words;
  bool handled;
};

TEST_F(Dispatch, WhichLinesAreCommands) {
  const WordCase cases[] = {
      {{"say", "/sl"}, true},
      {{"say_team", "/sl"}, true},
      {{"say", "/SL"}, true},
      {{"SAY", "/ShowLast"}, true},
      {{"showlast"}, true},
      {{"sl", "extra"}, true},
      {{"say", "/sl please"}, false},
      {{"say", " /sl"}, false},
      {{"say", "sl"}, false},
      {{"say", "/showlastx"}, false},
      {{"/sl"}, false},          // "/word" is chat only
      {{"echo", "/sl"}, false},  // and only "say"/"say_team" carry one
      {{"say_teamx", "/sl"}, false},
      {{"say", "/"}, false},
      {{"say"}, false},
      {{"weapon_knife"}, false},
  };
  for (const WordCase& c : cases) {
    server.ClearObservations();
    const META_RES result = server.ClientCommand(player, c.words);
    const std::string line = c.words[0] + (c.words.size() > 1 ? " \"" + c.words[1] + '"' : "");
    EXPECT_EQ(result, c.handled ? MRES_SUPERCEDE : MRES_IGNORED) << line;
    EXPECT_EQ(HudTexts(player).size(), c.handled ? 1u : 0u) << line;
  }
}

TEST_F(Dispatch, OrdinaryChatReachesEveryoneUntouched) {
  EXPECT_EQ(server.Say(player, "gg everyone"), MRES_IGNORED);
  EXPECT_EQ(PlayerChat(op), Strings{"Player: gg everyone"});
  EXPECT_EQ(HudTexts(player), Strings{});
  EXPECT_EQ(server.LogLines(), Strings{});
}

// ---- answer channels ----------------------------------------------------------

TEST_F(Dispatch, HelpOnAPlayersScreenAndOnTheConsoleByteForByte) {
  EXPECT_EQ(server.Say(player, "/kel_help"), MRES_SUPERCEDE);
  EXPECT_EQ(HudTexts(player), Strings{HelpText()});
  EXPECT_EQ(server.Client(player).hud.front().channel, 2);  // the info style
  EXPECT_EQ(PlayerChat(op), Strings{});

  server.ClearObservations();
  EXPECT_EQ(server.ClientCommand(player, {"KEL_HELP"}), MRES_SUPERCEDE);
  EXPECT_EQ(HudTexts(player), Strings{HelpText()});

  server.ClearObservations();
  EXPECT_EQ(Console("kel_help"), MRES_SUPERCEDE);
  EXPECT_EQ(server.ConsoleLines(), LinesOf(HelpText()));
  EXPECT_EQ(HudTexts(player), Strings{});
}

// ---- the values commands ----------------------------------------------------------

TEST_F(Dispatch, StvWithoutValuesAnswersAndLogsOnBothPaths) {
  EXPECT_EQ(server.Say(player, "/stv"), MRES_SUPERCEDE);
  EXPECT_EQ(HudTexts(player), Strings{kNotLoaded});
  EXPECT_EQ(server.LogLines(), Strings{kStvWarning});

  server.ClearObservations();
  EXPECT_EQ(server.SayTeam(player, "/STV"), MRES_SUPERCEDE);
  EXPECT_EQ(HudTexts(player), Strings{kNotLoaded});
  EXPECT_EQ(PlayerChat(op), Strings{});  // not shown in team chat either

  server.ClearObservations();
  EXPECT_EQ(Console("stv"), MRES_SUPERCEDE);
  EXPECT_EQ(server.ConsoleLines(), Strings{"Sorry, player values not loaded"});
  EXPECT_EQ(server.LogLines(), Strings{kStvWarning});
}

TEST_F(Dispatch, EvenTeamsWithoutValuesAfterTheGate) {
  for (const char* word : {"eventeams", "eventeam"}) {
    server.ClearObservations();
    EXPECT_EQ(server.Say(player, std::string("/") + word), MRES_IGNORED) << word;
    EXPECT_EQ(Observed(), 2u) << word;  // the chat line, shown to both players

    // The operator command's own log line comes first, whatever its answer.
    server.ClearObservations();
    EXPECT_EQ(server.Say(op, std::string("/") + word), MRES_SUPERCEDE) << word;
    EXPECT_EQ(HudTexts(op), Strings{kNotLoaded}) << word;
    EXPECT_EQ(server.LogLines(),
              (Strings{"\"Admin<1><" + std::string(kOperatorId) +
                           "><>\" triggered \"kel_command\" (command \"" + word + "\")\n",
                       kEvenTeamsWarning}))
        << word;

    server.ClearObservations();
    EXPECT_EQ(Console(word), MRES_SUPERCEDE) << word;
    EXPECT_EQ(server.ConsoleLines(), Strings{"Sorry, player values not loaded"}) << word;
    EXPECT_EQ(server.LogLines(),
              (Strings{"World triggered \"kel_command\" (command \"" + std::string(word) + "\")\n",
                       kEvenTeamsWarning}))
        << word;
  }
}

TEST_F(Dispatch, WithValuesLoadedTheValuesCommandsRunTheirActions) {
  {
    std::ofstream file(server.PluginDirectory() + "/values_for_dispatch.txt");
    file << kOperatorId << ",100\nSTEAM_0:0:42,50\n";
  }
  server.SetCvar("kel_playervaluesfile", "values_for_dispatch.txt");
  server.ChangeMap();
  server.ClearObservations();

  EXPECT_EQ(server.Say(player, "/stv"), MRES_SUPERCEDE);
  ASSERT_EQ(HudTexts(player).size(), 1u);
  EXPECT_NE(HudTexts(player).front(), kNotLoaded);
  EXPECT_EQ(server.LogLines(), Strings{});

  server.ClearObservations();
  EXPECT_EQ(Console("eventeam"), MRES_SUPERCEDE);  // both in the ready room
  EXPECT_EQ(server.ConsoleLines(), Strings{});
  // The command's line, then a line for each player it places.
  ASSERT_EQ(server.LogLines().size(), 3u);
  EXPECT_EQ(server.LogLines()[0], "World triggered \"kel_command\" (command \"eventeam\")\n");
  EXPECT_EQ(ChatTexts(player), Strings{"New teams assigned.  Say /stv for more info\n"});
}

}  // namespace
