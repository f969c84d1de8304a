// Stories of the roster: who joined which team when, told through the
// simulated server with the real plugin loaded and read back through
// showlast on the server console.
#include <string>

#include "balance_watch.h"
#include "roster_story.h"

namespace {

class Roster : public roster_story::Story {};

using roster_story::Strings;

TEST_F(Roster, TeamChangesAreRecordedWithNameAndTime) {
  server.SetTime(100.0f);
  Join("First", 1);
  server.SetTime(130.0f);
  Join("Second", 1);
  server.SetTime(160.0f);
  Join("Alien", 2);
  server.SetTime(250.0f);
  EXPECT_EQ(ShowLast(),
            (Strings{"last marine: Second (on for 2:00)", "last alien: Alien (on for 1:30)"}));
}

TEST_F(Roster, LastJoinerPassesOverOneWhoLeft) {
  server.SetTime(100.0f);
  Join("First", 1);
  server.SetTime(130.0f);
  const int second = Join("Second", 1);
  server.Disconnect(second);  // his entry still says marines
  server.SetTime(200.0f);
  EXPECT_EQ(ShowLast()[0], "last marine: First (on for 1:40)");
}

TEST_F(Roster, LastJoinerPassesOverOneRenamedSince) {
  server.SetTime(100.0f);
  Join("First", 1);
  server.SetTime(130.0f);
  const int second = Join("Second", 1);
  server.Rename(second, "Renamed");  // same team: the entry keeps "Second"
  EXPECT_EQ(LastJoinerName(1), "First");
  server.Rename(second, "Second");  // under the recorded name he counts again
  EXPECT_EQ(ShowLast()[0], "last marine: Second (on for 0:00)");
}

TEST_F(Roster, RenameAtTheTeamChangeKeepsTheOldName) {
  // The pre hook still sees the old name in netname.
  const int player = Join("Old", 0);
  server.SetTeamSilently(player, 1);
  server.Rename(player, "New");
  EXPECT_EQ(LastJoinerName(1), "");  // recorded as "Old", and nobody is called that
}

TEST_F(Roster, OneMovedToTheReadyRoomIsNoLongerLastMarine) {
  server.SetTime(100.0f);
  Join("First", 1);
  server.SetTime(130.0f);
  const int second = Join("Second", 1);
  server.SetTime(140.0f);
  server.SetTeam(second, 0);
  EXPECT_EQ(LastJoinerName(1), "First");
  server.SetTime(150.0f);
  server.SetTeam(second, 1);  // back on: a new join time
  server.SetTime(155.0f);
  EXPECT_EQ(ShowLast()[0], "last marine: Second (on for 0:05)");
}

TEST_F(Roster, EqualJoinTimesResolveToTheHigherSlot) {
  server.SetTime(50.0f);
  Join("Low", 1, 3);
  Join("High", 1, 7);
  EXPECT_EQ(LastJoinerName(1), "High");

  // The order of joining does not matter, only the slot.
  Join("HighAlien", 2, 9);
  Join("LowAlien", 2, 4);
  EXPECT_EQ(LastJoinerName(2), "HighAlien");
}

TEST_F(Roster, UserInfoChangeOnTheSameTeamChangesNothing) {
  server.SetTime(100.0f);
  const int first = Join("First", 1);
  server.SetTime(130.0f);
  Join("Second", 1);
  server.SetTime(160.0f);
  server.SetTeam(first, 1);  // reported again, team as recorded
  EXPECT_EQ(LastJoinerName(1), "Second");
}

TEST_F(Roster, MapStartEmptiesTheRosterUntilTheNextUserInfoChange) {
  server.SetTime(100.0f);
  const int marine = Join("Marine", 1);
  const int alien = Join("Alien", 2);
  server.ChangeMap();  // both stay on their teams
  EXPECT_EQ(ShowLast(), (Strings{"last marine:  (on for 0:00)", "last alien:  (on for 0:00)"}));

  // Their next report, whatever the team, records them on the new map's clock.
  server.SetTime(20.0f);
  server.SetTeam(marine, 1);
  server.SetTeam(alien, 2);
  server.SetTime(35.0f);
  EXPECT_EQ(ShowLast(),
            (Strings{"last marine: Marine (on for 0:15)", "last alien: Alien (on for 0:15)"}));
}

TEST_F(Roster, TeamOutsideMinusTwoToTwoIsNoTeam) {
  server.SetTime(100.0f);
  Join("First", 1);
  server.SetTime(130.0f);
  const int odd = Join("Odd", 1);
  server.SetTime(140.0f);
  server.SetTeam(odd, 7);  // recorded as no team: no longer a marine
  EXPECT_EQ(LastJoinerName(1), "First");

  // Team 7 counts neither as marines nor as aliens for the balance: 2 + 1
  // marines against 1 alien would be uneven, 2 against 1 is not.
  Join("Second", 1);
  Join("Alien", 2);
  server.ClearObservations();
  EXPECT_TRUE(server.ServerCommand({"kel"}));
  EXPECT_EQ(server.ConsoleLines(), Strings{kTeamsBalanced});
  server.SetTeam(odd, 1);
  server.ClearObservations();
  EXPECT_TRUE(server.ServerCommand({"kel"}));
  EXPECT_EQ(server.ConsoleLines(), Strings{"Marine team is unbalanced"});
}

TEST_F(Roster, ClientWithoutGameObjectIsNotRecorded) {
  server.SetTime(10.0f);
  Join("Marine", 1);
  server.SetTime(20.0f);
  const int early = server.ConnectWithoutGameObject("Early", "STEAM_0:0:900");
  ASSERT_NE(early, 0);
  server.SetTeam(early, 1);  // reported before the game set him up: passed over
  server.SetTime(30.0f);
  server.PutInServer(early);  // no user-information report with it
  EXPECT_EQ(LastJoinerName(1), "Marine");
  server.SetTeam(early, 1);  // his first report as a set-up player counts
  EXPECT_EQ(LastJoinerName(1), "Early");
}

// ---- a host configured with more clients than the roster has slots -------

class WideServer : public roster_story::Story {
 protected:
  WideServer() : Story(40) {}
};

TEST_F(WideServer, SlotsAboveThirtyTwoAreNotRecordedButLiveQueriesReachThem) {
  server.SetTime(10.0f);
  const int low = Join("Low", 1, 5);
  server.SetTime(20.0f);
  const int high = Join("High", 1, 38);  // not recorded: no roster slot
  server.SetTime(30.0f);
  EXPECT_EQ(ShowLast()[0], "last marine: Low (on for 0:20)");

  // The entry of slot 5 is confirmed by name against every live slot: once
  // "Low" is the player in slot 38, the entry counts through him.
  server.Disconnect(low);
  EXPECT_EQ(LastJoinerName(1), "");
  server.Rename(high, "Low");
  EXPECT_EQ(LastJoinerName(1), "Low");

  // Headcounts and notices run over all 40 slots.
  const int alien = Join("Alien", 2, 40);
  Join("Marine39", 1, 39);  // two marines (slots 38, 39) against one alien
  server.ClearObservations();
  EXPECT_TRUE(server.ServerCommand({"kel"}));
  EXPECT_EQ(server.ConsoleLines(), Strings{kTeamsBalanced});
  server.SetTeamSilently(alien, 0);
  server.ClearObservations();
  EXPECT_TRUE(server.ServerCommand({"kel"}));
  EXPECT_EQ(server.ConsoleLines(), Strings{"Marine team is unbalanced"});
  EXPECT_EQ(ChatTexts(40),
            Strings{"Teams unbalanced - next Marine to die goes to the ReadyRoom\n"});
}

}  // namespace
