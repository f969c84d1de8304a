// Stories of showlast, movelast and rrr, told through the simulated server
// with the real plugin loaded.
#include <string>
#include <vector>

#include "balance_story.h"
#include "balance_watch.h"

namespace {

using balance_story::BalanceStory;

class ManualMovesStory : public BalanceStory {};
using balance_story::Strings;

std::string MovedNotice(const std::string& name) {
  return "Teams unbalanced - last player that joined (" + name + ") is now in the ready room\n";
}

// ---- showlast -------------------------------------------------------------

TEST_F(ManualMovesStory, ShowLastGivesMinutesAndSecondsSinceEachTeamsLastJoin) {
  const int viewer = Join("Viewer", 0);  // anyone may ask
  server.SetTime(10.0f);
  Join("Eve", 2);
  server.SetTime(3609.4f);
  Join("Bob", 1);
  server.SetTime(3735.0f);
  server.ClearObservations();
  EXPECT_EQ(server.Say(viewer, "/sl"), MRES_SUPERCEDE);
  EXPECT_EQ(HudTexts(viewer),
            Strings{"last marine: Bob (on for 2:05)\nlast alien: Eve (on for 62:05)"});
}

TEST_F(ManualMovesStory, ShowLastWithNobodyOnEitherTeam) {
  server.ClearObservations();
  server.ClientCommand(op, {"showlast"});
  EXPECT_EQ(HudTexts(op), Strings{"last marine:  (on for 0:00)\nlast alien:  (on for 0:00)"});
}

TEST_F(ManualMovesStory, ShowLastReadsAJoinAtClockZeroAsJustNow) {
  server.SetTime(0.0f);
  Join("Early", 1);
  server.SetTime(50.0f);
  Join("Later", 2);
  server.SetTime(170.0f);
  server.ClearObservations();
  server.Say(op, "/showlast");
  EXPECT_EQ(HudTexts(op),
            Strings{"last marine: Early (on for 0:00)\nlast alien: Later (on for 2:00)"});
}

TEST_F(ManualMovesStory, ShowLastOnTheConsolePrintsAPercentNameUnchanged) {
  server.SetTime(20.0f);
  Join("100%s%n%x", 1);
  server.SetTime(81.0f);
  server.ClearObservations();
  EXPECT_TRUE(server.ServerCommand({"showlast"}));
  EXPECT_EQ(server.ConsoleLines(),
            (Strings{"last marine: 100%s%n%x (on for 1:01)", "last alien:  (on for 0:00)"}));
  EXPECT_TRUE(HudTexts(op).empty());
}

// ---- movelast ---------------------------------------------------------------

TEST_F(ManualMovesStory, MoveLastWithEvenTeamsMovesNobody) {
  JoinMany("Marine", 1, 4);
  JoinMany("Alien", 2, 3);
  server.ClearObservations();
  EXPECT_EQ(server.Say(op, "/ml"), MRES_SUPERCEDE);
  EXPECT_EQ(HudTexts(op), Strings{kTeamsBalanced});
  EXPECT_EQ(CountEvents(kelsim::Event::Kind::ClientCommand), 0);
  EXPECT_EQ(CountEvents(kelsim::Event::Kind::Chat), 0);
}

TEST_F(ManualMovesStory, MoveLastSendsTheLastMarineAndPassesOverOneWhoLeft) {
  std::vector<int> marines;
  for (int i = 1; i <= 6; ++i) {
    server.SetTime(10.0f * i);
    marines.push_back(Join("Marine" + std::to_string(i), 1));
  }
  const std::vector<int> aliens = JoinMany("Alien", 2, 3);
  server.Disconnect(marines[5]);  // 5/3, and the last marine is gone
  server.ClearObservations();

  server.Say(op, "/movelast");
  EXPECT_TRUE(HudTexts(op).empty());
  EXPECT_EQ(ChatTexts(aliens[0]), Strings{MovedNotice("Marine5")});
  EXPECT_EQ(ClientCommands(marines[4]), Strings{"readyroom\n"});
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(ClientCommands(marines[i]).empty()) << i;

  server.Frame();  // the game moves him: 4/3
  server.Say(op, "/movelast");
  EXPECT_EQ(HudTexts(op), Strings{kTeamsBalanced});
}

TEST_F(ManualMovesStory, MoveLastSendsTheLastAlienFromTheConsole) {
  JoinMany("Marine", 1, 2);
  const int first = Join("Alien%s", 2);
  JoinMany("Alien", 2, 3);
  server.SetTime(30.0f);
  const int last = Join("Last%dAlien", 2);
  server.ClearObservations();

  EXPECT_TRUE(server.ServerCommand({"ml"}));
  EXPECT_TRUE(server.ConsoleLines().empty());
  EXPECT_EQ(ChatTexts(op), Strings{MovedNotice("Last%dAlien")});
  EXPECT_EQ(ClientCommands(last), Strings{"readyroom\n"});
  EXPECT_TRUE(ClientCommands(first).empty());
}

// Typed again before the game has moved the first player: the next one
// counts him as gone, names the one who joined before him, and stops once
// the count is even.
TEST_F(ManualMovesStory, MoveLastTypedThriceInOneFrameMovesOnlyWhomTheCountNeeds) {
  const std::vector<int> marines = JoinMany("Marine", 1, 7);
  const std::vector<int> aliens = JoinMany("Alien", 2, 4);  // 7/4
  server.ClearObservations();
  for (int i = 0; i < 3; ++i) server.Say(op, "/ml");
  EXPECT_EQ(ChatTexts(aliens[0]), (Strings{MovedNotice("Marine7"), MovedNotice("Marine6")}));
  EXPECT_EQ(HudTexts(op), Strings{kTeamsBalanced});
  EXPECT_EQ(ClientCommands(marines[6]), Strings{"readyroom\n"});
  EXPECT_EQ(ClientCommands(marines[5]), Strings{"readyroom\n"});
  EXPECT_EQ(CountEvents(kelsim::Event::Kind::ClientCommand), 2);
  server.Frame();
  EXPECT_EQ(server.Team(marines[5]), 0);
  EXPECT_EQ(server.Team(marines[6]), 0);
}

// The plugin loaded mid-map hears of nobody's join (the manager replays no
// connection), while the teams stay as they are.
TEST_F(ManualMovesStory, MoveLastWithoutAKnownLastJoinerAfterAReload) {
  const auto reload = [this] {
    server.Unload();
    ASSERT_TRUE(server.Load(kelsim_test::PluginLibraryPath(), PT_ANYTIME)) << server.LoadError();
  };
  const std::vector<int> marines = JoinMany("Marine", 1, 5);
  JoinMany("Alien", 2, 3);
  reload();
  server.ClearObservations();
  EXPECT_TRUE(server.ServerCommand({"movelast"}));
  EXPECT_EQ(server.ConsoleLines(), Strings{"Last marine player unknown - can't balance"});

  for (int i = 0; i < 4; ++i) server.SetTeamSilently(marines[i], 2);  // 1/7
  reload();
  server.ClearObservations();
  server.Say(op, "/ml");
  EXPECT_EQ(HudTexts(op), Strings{"Last alien player unknown - can't balance"});
  EXPECT_EQ(CountEvents(kelsim::Event::Kind::ClientCommand), 0);
  EXPECT_EQ(CountEvents(kelsim::Event::Kind::Chat), 0);
}

// ---- rrr ------------------------------------------------------------------------

TEST_F(ManualMovesStory, EmptyReadyRoomAutoassignsEveryNamedReadyRoomPlayer) {
  server.SetTeam(op, 1);
  const int alien = Join("Alien", 2);
  const int first = Join("Waiting%s", 0);
  const int nameless = Join("", 0);
  const int second = Join("AlsoWaiting", 0);
  server.ClearObservations();

  EXPECT_EQ(server.Say(op, "/rrr"), MRES_SUPERCEDE);
  // Each player's notice comes before his command, in slot order.
  Strings transcript;
  for (const auto& event : server.Events()) {
    if (event.kind == kelsim::Event::Kind::Chat && event.slot == alien)
      transcript.push_back("chat: " + event.text);
    if (event.kind == kelsim::Event::Kind::ClientCommand)
      transcript.push_back(std::to_string(event.slot) + ": " + event.text);
  }
  EXPECT_EQ(transcript, (Strings{
                            "chat: Ready Room is being cleaned out\n",
                            "chat: sending Waiting%s to a random team\n",
                            std::to_string(first) + ": autoassign\n",
                            "chat: sending AlsoWaiting to a random team\n",
                            std::to_string(second) + ": autoassign\n",
                        }));
  EXPECT_TRUE(ClientCommands(nameless).empty());
  EXPECT_TRUE(HudTexts(op).empty()) << "no reply of its own";
}

// rrr in the same frame as deaths under an armed move: the players it sends
// will join the side with fewer players, and the move counts them there
// rather than send marines the autoassigned players make unnecessary.  A
// second rrr in that frame sends nobody again.
TEST_F(ManualMovesStory, EmptyReadyRoomRacingTheDeathMoveSendsNobodyTheCountDoesNotNeed) {
  server.SetTeam(op, 2);
  const std::vector<int> marines = JoinMany("Marine", 1, 6);
  JoinMany("Alien", 2, 2);
  const std::vector<int> waiting = JoinMany("Waiting", 0, 2);
  server.ServerCommand({"kel"});  // 6/3
  server.ClearObservations();
  server.ServerCommand({"rrr"});
  server.ServerCommand({"rrr"});
  server.Kill(marines[1]);
  server.Kill(marines[4]);
  server.Frame();
  EXPECT_EQ(ClientCommands(waiting[0]), Strings{"autoassign\n"});
  EXPECT_EQ(ClientCommands(waiting[1]), Strings{"autoassign\n"});
  EXPECT_TRUE(ClientCommands(marines[1]).empty());
  EXPECT_TRUE(ClientCommands(marines[4]).empty());
  server.Frame();  // the game places both on the aliens: 6/5
  EXPECT_EQ(server.Team(waiting[0]), 2);
  EXPECT_EQ(server.Team(waiting[1]), 2);
  EXPECT_EQ(CountEvents(kelsim::Event::Kind::ClientCommand), 2);
}

TEST_F(ManualMovesStory, EmptyReadyRoomWithNobodyWaitingOnlyAnnounces) {
  server.SetTeam(op, 1);
  const int alien = Join("Alien", 2);
  server.ClearObservations();
  EXPECT_TRUE(server.ServerCommand({"rrr"}));
  EXPECT_EQ(ChatTexts(alien), Strings{"Ready Room is being cleaned out\n"});
  EXPECT_EQ(CountEvents(kelsim::Event::Kind::ClientCommand), 0);
  EXPECT_TRUE(server.ConsoleLines().empty());
}

}  // namespace
