// Stories of eventeams: who is placed where, the join commands the clients
// are made to send and in what order, and the announcement.
//
// The split depends on the shuffle, which draws from the C generator that
// this process shares with the plugin.  A map start that loads the values
// file reseeds it from the clock, so every story seeds it after that, and
// works out the shuffle the same way the plugin does to know the result.
#include "even_teams.h"

#include <string>
#include <utility>
#include <vector>

#include "reference/shuffle_order.h"
#include "sim_fixture.h"

namespace {

using Strings = std::vector<std::string>;

constexpr const char* kAnnouncement = "New teams assigned.  Say /stv for more info\n";

class EvenTeams : public kelsim_test::SimFixture {
 protected:
  struct Seat {
    std::string name;
    int value;
    int team;  // 0, 1, 2, or -1/-2 set behind the game's back
  };
  // Writes one id and value per seat, starts a map that loads them, seats
  // everybody in slot order (slot k+1 for seat k) and makes the operator.
  void SeatPlayers(const std::vector<Seat>& seats) {
    std::string file;
    for (std::size_t k = 0; k < seats.size(); ++k)
      file += Id(k) + "," + std::to_string(seats[k].value) + "\n";
    server.SetCvar("mp_serverops", "STEAM_0:1:999");
    StartMapWithValues(file);
    for (std::size_t k = 0; k < seats.size(); ++k) {
      const int team = seats[k].team;
      const int slot = Join(seats[k].name, Id(k), team >= 0 ? team : kReadyRoom);
      if (team < 0) server.SetTeamSilently(slot, team);
    }
  }
  static std::string Id(std::size_t k) { return "STEAM_0:0:" + std::to_string(k + 1); }

  // Runs eventeams from the server console with the generator at `seed`.
  void RunFromConsole(unsigned seed, const char* word = "eventeams") {
    server.ClearObservations();
    server.SeedRandom(seed);
    EXPECT_TRUE(server.ServerCommand({word}));
  }

  // The join commands in the order they were sent: "name one" / "name two".
  Strings JoinCommands() const {
    Strings sent;
    for (const kelsim::Event& event : server.Events()) {
      if (event.kind != kelsim::Event::Kind::ClientCommand) continue;
      const std::string team = event.text == "jointeamone\n"   ? "one"
                               : event.text == "jointeamtwo\n" ? "two"
                                                               : "other: " + event.text;
      sent.push_back(server.Name(event.slot) + " " + team);
    }
    return sent;
  }
  // The commands for two name lists, alternating as the plugin sends them.
  static Strings Alternating(const Strings& one, const Strings& two) {
    Strings sent;
    for (std::size_t k = 0; k < one.size() || k < two.size(); ++k) {
      if (k < one.size()) sent.push_back(one[k] + " one");
      if (k < two.size()) sent.push_back(two[k] + " two");
    }
    return sent;
  }
  bool Announced(int slot) const { return ChatTexts(slot) == Strings{kAnnouncement}; }
};

TEST_F(EvenTeams, NothingHappensWhileValuesAreNotLoaded) {
  server.SetCvar("kel_playervaluesfile", "missing.txt");
  server.ChangeMap();
  const int a = Join("A", "STEAM_0:0:1");
  Join("B", "STEAM_0:0:2");
  RunFromConsole(1);
  EXPECT_TRUE(JoinCommands().empty());
  EXPECT_TRUE(ChatTexts(a).empty());
  EXPECT_EQ(server.ConsoleLines(), Strings{"Sorry, player values not loaded"});
}

// 100, 90, 60, 50 in the ready room: halfValue 150.  With the shuffled pool
// [a, b, c, d] the candidates come as {d,c}, {c,d}, {b,d}, {a,d}, and the
// first that sums to 150 is kept: d with its complement.
TEST_F(EvenTeams, FourWaitingPlayersSplitIntoEqualHalves) {
  const Strings names = {"p100", "p90", "p60", "p50"};
  SeatPlayers({{"p100", 100, kReadyRoom},
               {"p90", 90, kReadyRoom},
               {"p60", 60, kReadyRoom},
               {"p50", 50, kReadyRoom}});
  for (unsigned seed = 1; seed <= 6; ++seed) {
    const std::vector<std::size_t> order = ShuffleOrder(seed, 4);
    Strings shuffled;
    for (std::size_t k : order) shuffled.push_back(names[k]);
    const auto partner = [](const std::string& name) -> std::string {
      return name == "p100" ? "p50" : name == "p50" ? "p100" : name == "p90" ? "p60" : "p90";
    };
    const std::string last = shuffled[3];
    Strings one, two;
    if (shuffled[2] == partner(last)) {
      one = {last, shuffled[2]};
      two = {shuffled[0], shuffled[1]};
    } else {
      one = {partner(last), last};
      for (std::size_t k = 0; k < 3; ++k)
        if (shuffled[k] != partner(last)) two.push_back(shuffled[k]);
    }

    RunFromConsole(seed);
    EXPECT_EQ(JoinCommands(), Alternating(one, two)) << "seed " << seed;
    for (int slot = 1; slot <= 4; ++slot) EXPECT_TRUE(Announced(slot)) << "slot " << slot;

    server.Frame();  // the clients' commands reach the game
    int marineValue = 0, alienCount = 0;
    for (int slot = 1; slot <= 4; ++slot) {
      if (server.Team(slot) == kMarines) marineValue += std::stoi(server.Name(slot).substr(1));
      if (server.Team(slot) == kAliens) ++alienCount;
    }
    EXPECT_EQ(marineValue, 150) << "seed " << seed;
    EXPECT_EQ(alienCount, 2) << "seed " << seed;
    for (int slot = 1; slot <= 4; ++slot) server.SetTeam(slot, kReadyRoom);
  }
}

// Five waiting players of equal value: the filler makes six entries, team
// one takes three, and the first candidate (the last three of the shuffled
// pool, from the end) is never beaten.  The filler gets no command.
TEST_F(EvenTeams, FiveWaitingPlayersAndTheFiller) {
  const Strings names = {"a", "b", "c", "d", "e", kFillerName};
  bool fillerWithTeamOne = false, fillerWithTeamTwo = false;
  SeatPlayers({{"a", 10, kReadyRoom},
               {"b", 10, kReadyRoom},
               {"c", 10, kReadyRoom},
               {"d", 10, kReadyRoom},
               {"e", 10, kReadyRoom}});
  for (unsigned seed = 1; seed <= 8; ++seed) {
    const std::vector<std::size_t> order = ShuffleOrder(seed, 6);
    Strings one, two;
    for (std::size_t k : {5, 4, 3})
      if (names[order[k]] != kFillerName) one.push_back(names[order[k]]);
    for (std::size_t k : {0, 1, 2})
      if (names[order[k]] != kFillerName) two.push_back(names[order[k]]);
    (one.size() == 2 ? fillerWithTeamOne : fillerWithTeamTwo) = true;

    RunFromConsole(seed);
    EXPECT_EQ(JoinCommands(), Alternating(one, two)) << "seed " << seed;
    EXPECT_TRUE(Announced(1));
  }
  EXPECT_TRUE(fillerWithTeamOne);
  EXPECT_TRUE(fillerWithTeamTwo);
}

TEST_F(EvenTeams, ThreeMarinesAndOneWaitingPlayer) {
  SeatPlayers(
      {{"m1", 10, kMarines}, {"w", 99, kReadyRoom}, {"m2", 20, kMarines}, {"m3", 30, kMarines}});
  RunFromConsole(1);
  EXPECT_EQ(JoinCommands(), (Strings{"m1 one", "m2 one", "m3 one", "w one"}));
  server.Frame();
  for (int slot = 1; slot <= 4; ++slot) EXPECT_EQ(server.Team(slot), kMarines);
  EXPECT_TRUE(Announced(2));
}

TEST_F(EvenTeams, NobodyWaitingChangesNothing) {
  SeatPlayers(
      {{"m1", 10, kMarines}, {"m2", 10, kMarines}, {"m3", 10, kMarines}, {"a1", 10, kAliens}});
  RunFromConsole(1);
  EXPECT_TRUE(JoinCommands().empty());
  for (int slot = 1; slot <= 4; ++slot) EXPECT_TRUE(ChatTexts(slot).empty());
  EXPECT_TRUE(server.ConsoleLines().empty());
}

// One marine, one alien, two waiting: team one needs one more, the last of
// the shuffled pair.  The players on a team get their own team's command.
TEST_F(EvenTeams, PlayersOnATeamAreSentTheirOwnTeamAgain) {
  SeatPlayers(
      {{"a", 10, kAliens}, {"w1", 10, kReadyRoom}, {"m", 10, kMarines}, {"w2", 10, kReadyRoom}});
  const unsigned seed = 3;
  const std::vector<std::size_t> order = ShuffleOrder(seed, 2);
  const Strings waiting = {"w1", "w2"};
  RunFromConsole(seed);
  EXPECT_EQ(JoinCommands(), Alternating({"m", waiting[order[1]]}, {"a", waiting[order[0]]}));
}

TEST_F(EvenTeams, OddTeamsJoinThePoolButDoNotStartIt) {
  SeatPlayers(
      {{"m", 10, kMarines}, {"s", 10, -2}, {"n", 10, -1}, {"a", 10, kAliens}, {"w", 10, kAliens}});
  ASSERT_EQ(server.Team(2), -2);
  RunFromConsole(1);
  EXPECT_TRUE(JoinCommands().empty());
  EXPECT_TRUE(ChatTexts(1).empty());

  // Once w waits in the ready room they are placed like him: five entries
  // and the filler, and team one takes two more, the last two of the
  // shuffled pool [s, n, w, filler].
  server.SetTeam(5, kReadyRoom);
  const Strings names = {"s", "n", "w", kFillerName};
  const unsigned seed = 5;
  const std::vector<std::size_t> order = ShuffleOrder(seed, 4);
  Strings one = {"m"}, two = {"a"};
  for (std::size_t k : {3, 2})
    if (names[order[k]] != kFillerName) one.push_back(names[order[k]]);
  for (std::size_t k : {0, 1})
    if (names[order[k]] != kFillerName) two.push_back(names[order[k]]);
  RunFromConsole(seed);
  EXPECT_EQ(JoinCommands(), Alternating(one, two));
}

// Shuffled [10, 40, 20, 10]: halfValue 40.  {d,c} is 10 short and comes
// first; {b,d} is 10 over and ties; {a,d} is 20 short.  The first stays.
TEST_F(EvenTeams, EqualCandidatesKeepTheFirst) {
  const unsigned seed = 9;
  const std::vector<std::size_t> order = ShuffleOrder(seed, 4);
  const Seat shuffled[] = {{"a", 10, 0}, {"b", 40, 0}, {"c", 20, 0}, {"d", 10, 0}};
  std::vector<Seat> seats(4);
  for (std::size_t k = 0; k < 4; ++k) seats[order[k]] = shuffled[k];
  SeatPlayers(seats);
  RunFromConsole(seed);
  EXPECT_EQ(JoinCommands(), Alternating({"d", "c"}, {"a", "b"}));
}

// The aliens hold more than half: team one cannot be completed.  Team one
// gets nobody, the aliens are sent their own team, the waiting players
// nothing, and the announcement is still made.  With 17 aliens and 15
// waiting a search through every ordering would never end.
TEST_F(EvenTeams, AliensHoldingMoreThanHalfEndAtOnce) {
  std::vector<Seat> seats;
  for (int k = 0; k < 17; ++k) seats.push_back({"alien" + std::to_string(k), 100 + k, kAliens});
  for (int k = 0; k < 15; ++k) seats.push_back({"wait" + std::to_string(k), 50 + k, kReadyRoom});
  SeatPlayers(seats);
  RunFromConsole(1);
  Strings expected;
  for (int k = 0; k < 17; ++k) expected.push_back("alien" + std::to_string(k) + " two");
  EXPECT_EQ(JoinCommands(), expected);
  EXPECT_TRUE(Announced(18));
}

// An operator in chat and the server console behave alike, under both words.
TEST_F(EvenTeams, ServerConsoleAndOperatorChatAgree) {
  SeatPlayers({{"w1", 100, 0}, {"w2", 90, 0}, {"w3", 60, 0}, {"Boss", 50, 0}});
  server.SetCvar("mp_serverops", Id(3));
  RunFromConsole(4, "eventeam");
  const Strings fromConsole = JoinCommands();
  EXPECT_EQ(fromConsole.size(), 4u);
  EXPECT_TRUE(server.ConsoleLines().empty());  // no answer of its own
  EXPECT_TRUE(Announced(1));

  server.ClearObservations();
  server.SeedRandom(4);
  EXPECT_EQ(server.Say(4, "/eventeams"), MRES_SUPERCEDE);
  EXPECT_EQ(JoinCommands(), fromConsole);
  EXPECT_TRUE(PlayerChat(1).empty());  // the chat line was hidden
  EXPECT_TRUE(Announced(1));
  EXPECT_TRUE(HudTexts(4).empty());
}

}  // namespace

// kel_eventeams_search "best": the exact placement, whatever the generator
// draws.  The rooms that the bounded search gets wrong: with 900s against
// 1100s and 1500 and 500 waiting, the 1500 goes to the marines (4200
// against 3800, 1.11x instead of 1.50x); with 5 marines, 2 aliens and two
// waiting, both waiting players go to the aliens (5 against 4).
TEST_F(EvenTeams, BestPlacesForTheCountsThenTheSmallestDifference) {
  const struct {
    const char* room;
    std::vector<Seat> seats;
    Strings commands;  // the same for every seed
    std::string verdict;
  } rooms[] = {
      {"900s against 1100s",
       {{"m1", 900, kMarines},
        {"a1", 1100, kAliens},
        {"m2", 900, kMarines},
        {"a2", 1100, kAliens},
        {"m3", 900, kMarines},
        {"a3", 1100, kAliens},
        {"w500", 500, kReadyRoom},
        {"w1500", 1500, kReadyRoom}},
       {"m1 one", "a1 two", "m2 one", "a2 two", "m3 one", "a3 two", "w1500 one", "w500 two"},
       "Marines have 1.11x skill as aliens"},
      {"5 against 2 and two waiting",
       {{"m1", 100, kMarines},
        {"m2", 100, kMarines},
        {"m3", 100, kMarines},
        {"m4", 100, kMarines},
        {"m5", 100, kMarines},
        {"a1", 100, kAliens},
        {"a2", 100, kAliens},
        {"w1", 300, kReadyRoom},
        {"w2", 200, kReadyRoom}},
       {"m1 one", "a1 two", "m2 one", "a2 two", "m3 one", "w1 two", "m4 one", "w2 two", "m5 one"},
       "Aliens have 1.40x skill as marines"},
  };
  server.SetCvar("kel_eventeams_search", "best");
  for (const auto& room : rooms) {
    SeatPlayers(room.seats);
    for (unsigned seed : {1u, 7u, 12345u}) {
      RunFromConsole(seed);
      EXPECT_EQ(JoinCommands(), room.commands) << room.room << ", seed " << seed;
      bool announced = false;
      for (const kelsim::Event& event : server.Events())
        announced |= event.kind == kelsim::Event::Kind::Chat && event.text == kAnnouncement;
      EXPECT_TRUE(announced) << room.room;
    }
    server.Frame();  // the clients' commands reach the game
    server.ClearObservations();
    EXPECT_TRUE(server.ServerCommand({"stv"}));
    ASSERT_FALSE(server.ConsoleLines().empty());
    EXPECT_EQ(server.ConsoleLines().front(), room.verdict) << room.room;
    for (int slot = 1; slot <= 32; ++slot)
      if (server.IsConnected(slot)) server.Disconnect(slot);
  }
}

// Any other text acts as "quick"; the server console hears once a map which
// texts there are.
TEST_F(EvenTeams, UnknownSearchIsQuickAndTheConsoleIsToldOnceAMap) {
  const std::vector<Seat> seats = {{"A", 100, kReadyRoom}, {"B", 90, kReadyRoom}};
  SeatPlayers(seats);
  const std::string told =
      "kel: kel_eventeams_search \"Best\" names no search; it takes \"quick\" (the default) or "
      "\"best\", and \"quick\" is used";
  const auto consoleLinesAfterRun = [&](unsigned seed) {
    RunFromConsole(seed);
    Strings quick = JoinCommands();
    return std::make_pair(server.ConsoleLines(), quick);
  };
  const auto [quickLines, quickCommands] = consoleLinesAfterRun(3);
  EXPECT_EQ(quickLines, Strings{});
  server.SetCvar("kel_eventeams_search", "Best");
  const auto [firstLines, firstCommands] = consoleLinesAfterRun(3);
  EXPECT_EQ(firstLines, Strings{told});
  EXPECT_EQ(firstCommands, quickCommands) << "the quick search, same draws";
  EXPECT_EQ(consoleLinesAfterRun(3).first, Strings{}) << "once a map";
  server.ChangeMap();
  EXPECT_EQ(consoleLinesAfterRun(3).first, Strings{told}) << "again in the next map";
}
