// The record of team changes the plugin ordered: which orders are still in
// force, and how they change the headcounts the balance rule reads.
#include "team_orders.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

// The teams the players of slots 1..32 are on now, read by the record.
std::array<TeamId, kSlotTableSize> g_teams{};
TeamId TeamOf(int slot) { return g_teams[static_cast<std::size_t>(slot)]; }

struct Sent {
  int slot;
  TeamOrder order;
  TeamId from;
  float at;
  TeamId now;  // his team when counted
};

TEST(TeamOrders, CountWhereTheOrdersSendThemWhileInForce) {
  constexpr TeamOrder kReady = TeamOrder::ReadyRoom;
  constexpr TeamOrder kAuto = TeamOrder::AutoAssign;
  const struct {
    const char* story;
    std::vector<Sent> sent;
    float now;
    int marines, aliens;  // headcounts as the game has them
    int countedMarines, countedAliens;
    bool counted;
  } cases[] = {
      {"nothing ordered", {}, 10.0f, 6, 4, 6, 4, false},
      {"two marines sent to the ready room",
       {{3, kReady, kMarines, 10.0f, kMarines}, {5, kReady, kMarines, 10.0f, kMarines}},
       10.0f,
       6,
       4,
       4,
       4,
       true},
      {"one of them already moved by the game",
       {{3, kReady, kMarines, 10.0f, kReadyRoom}, {5, kReady, kMarines, 10.0f, kMarines}},
       10.1f,
       5,
       4,
       4,
       4,
       true},
      {"just inside the time", {{3, kReady, kAliens, 10.0f, kAliens}}, 14.9f, 3, 5, 3, 4, true},
      {"run out: he counts where he is",
       {{3, kReady, kAliens, 10.0f, kAliens}},
       15.0f,
       3,
       5,
       3,
       5,
       false},
      {"the clock restarted below the sending time",
       {{3, kReady, kAliens, 10.0f, kAliens}},
       1.0f,
       3,
       5,
       3,
       5,
       false},
      {"eventeams: ready room to the marines, aliens to the marines",
       {{2, TeamOrder::JoinMarines, kReadyRoom, 10.0f, kReadyRoom},
        {4, TeamOrder::JoinMarines, kAliens, 10.0f, kAliens}},
       10.0f,
       3,
       5,
       5,
       4,
       true},
      {"a join to his own team changes nothing",
       {{2, TeamOrder::JoinAliens, kAliens, 10.0f, kAliens}},
       10.0f,
       3,
       5,
       3,
       5,
       true},
      {"autoassign: each to the side with fewer, marines on a tie",
       {{7, kAuto, kReadyRoom, 10.0f, kReadyRoom},
        {8, kAuto, kReadyRoom, 10.0f, kReadyRoom},
        {9, kAuto, kReadyRoom, 10.0f, kReadyRoom}},
       10.0f,
       6,
       3,
       6,
       6,
       true},
      {"autoassign after the ready-room moves are counted",
       {{1, kReady, kMarines, 10.0f, kMarines}, {9, kAuto, kReadyRoom, 10.0f, kReadyRoom}},
       10.0f,
       5,
       4,
       5,
       4,
       true},
      {"slot 32, the last recorded",
       {{32, kReady, kMarines, 10.0f, kMarines}},
       10.0f,
       2,
       0,
       1,
       0,
       true},
  };
  for (const auto& c : cases) {
    TeamOrders orders;
    g_teams.fill(kNoTeam);
    for (const Sent& s : c.sent) {
      orders.Sent(s.slot, s.order, s.from, s.at);
      g_teams[static_cast<std::size_t>(s.slot)] = s.now;
    }
    int marines = c.marines;
    int aliens = c.aliens;
    EXPECT_EQ(orders.CountInForce(marines, aliens, TeamOf, c.now), c.counted) << c.story;
    EXPECT_EQ(marines, c.countedMarines) << c.story;
    EXPECT_EQ(aliens, c.countedAliens) << c.story;
  }
}

TEST(TeamOrders, EndWhenCarriedOutForgottenOrRunOut) {
  TeamOrders orders;
  g_teams.fill(kMarines);
  orders.Sent(0, TeamOrder::ReadyRoom, kMarines, 10.0f);   // no player slot
  orders.Sent(33, TeamOrder::ReadyRoom, kMarines, 10.0f);  // beyond the table
  EXPECT_TRUE(orders.Empty());

  orders.Sent(4, TeamOrder::ReadyRoom, kMarines, 10.0f);
  orders.Sent(6, TeamOrder::ReadyRoom, kMarines, 10.0f);
  orders.Sent(6, TeamOrder::ReadyRoom, kMarines, 12.0f);  // the latest replaces it
  EXPECT_EQ(orders.InForce(4, kMarines, 14.9f), TeamOrder::ReadyRoom);
  EXPECT_EQ(orders.InForce(4, kReadyRoom, 11.0f), TeamOrder::None) << "carried out";

  // The game moved him and he came straight back: the order is done with.
  orders.TeamSeen(4, kReadyRoom);
  orders.TeamSeen(4, kMarines);
  EXPECT_EQ(orders.InForce(4, kMarines, 11.0f), TeamOrder::None);
  orders.TeamSeen(6, kMarines);  // still where he was: still ordered
  EXPECT_EQ(orders.InForce(6, kMarines, 11.0f), TeamOrder::ReadyRoom);

  bool ranOut = orders.DropExpired(TeamOf, 16.0f);
  EXPECT_FALSE(ranOut);
  EXPECT_FALSE(orders.Empty());
  ranOut = orders.DropExpired(TeamOf, 17.0f);
  EXPECT_TRUE(ranOut) << "the game never moved him";
  EXPECT_TRUE(orders.Empty());

  orders.Sent(9, TeamOrder::AutoAssign, kReadyRoom, 20.0f);
  g_teams[9] = kAliens;  // placed by the game
  EXPECT_FALSE(orders.DropExpired(TeamOf, 30.0f)) << "carried out: nothing ran out";
  EXPECT_TRUE(orders.Empty());

  orders.Sent(9, TeamOrder::AutoAssign, kReadyRoom, 20.0f);
  orders.Forget(9);  // he left
  EXPECT_TRUE(orders.Empty());
  // A player's own join, let pass, counts like an order but is none of
  // the plugin's.
  orders.Sent(3, TeamOrder::JoinMarines, kReadyRoom, 20.0f, false);
  EXPECT_EQ(orders.InForce(3, kReadyRoom, 20.0f), TeamOrder::JoinMarines);
  EXPECT_EQ(orders.PluginOrderInForce(3, kReadyRoom, 20.0f), TeamOrder::None);
  EXPECT_TRUE(orders.Expects(3, kMarines, 20.0f));
  EXPECT_FALSE(orders.Expects(3, kAliens, 20.0f));
  orders.Sent(2, TeamOrder::JoinAliens, kReadyRoom, 20.0f);
  EXPECT_EQ(orders.PluginOrderInForce(2, kReadyRoom, 20.0f), TeamOrder::JoinAliens);
  orders.Clear();
  EXPECT_TRUE(orders.Empty());
  EXPECT_EQ(orders.InForce(2, kReadyRoom, 20.0f), TeamOrder::None);
}

}  // namespace
