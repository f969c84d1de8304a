// Stories of the stv report: who is listed, the verdict, the columns and the
// ranking, on a player's screen and on the server console.
#include <string>
#include <vector>

#include "sim_fixture.h"

namespace {

using kelsim_test::kAliens;
using kelsim_test::kMarines;
using kelsim_test::kReadyRoom;

class TeamValues : public kelsim_test::SimFixture {
 protected:
  explicit TeamValues(int maxClients = 32) : SimFixture(maxClients) {}
  struct Seat {
    std::string name;
    int value;
    int team;
  };
  // Writes a values file with one id per seat, starts a map that loads it,
  // and seats everybody in slot order.  Returns the slots.
  std::vector<int> SeatPlayers(const std::vector<Seat>& seats) {
    std::string file;
    for (std::size_t k = 0; k < seats.size(); ++k)
      file += "STEAM_0:0:" + std::to_string(k + 1) + "," + std::to_string(seats[k].value) + "\n";
    StartMapWithValues(file);
    std::vector<int> slots;
    for (std::size_t k = 0; k < seats.size(); ++k)
      slots.push_back(Join(seats[k].name, "STEAM_0:0:" + std::to_string(k + 1), seats[k].team));
    return slots;
  }

  // The report as the server console printed it, line ends restored.
  std::string ConsoleReport() {
    server.ClearObservations();
    EXPECT_TRUE(server.ServerCommand({"stv"}));
    std::string text;
    for (const std::string& line : server.ConsoleLines()) text += line + "\n";
    return text;
  }
  // The report as one player saw it.
  std::string HudReport(int slot) {
    server.ClearObservations();
    server.Say(slot, "/stv");
    const std::vector<std::string> texts = HudTexts(slot);
    EXPECT_EQ(texts.size(), 1u);
    return texts.empty() ? std::string() : texts.front();
  }
  static std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n') + 1);
  }
};

constexpr const char* kWorkedExample =
    "Marines have 1.09x skill as aliens\n"
    "\n"
    "+-- Marines\n"
    "| 1500 - Ann\n"
    "|  900 - Bo\n"
    "|\n"
    "+-- total: 2400\n"
    "\n"
    "+-- Aliens\n"
    "| 1100 - Cy\n"
    "| 1100 - Di\n"
    "|\n"
    "+-- total: 2200\n"
    "\n"
    "+-- Top 3 Players\n"
    "| #1 Ann (marines,1500)\n"
    "| #2 Cy (aliens,1100)\n"
    "| #3 Di (aliens,1100)\n"
    "+--\n"
    "\n"
    "Worst player: Bo (marines,900)\n";

TEST_F(TeamValues, WorkedExampleOnScreenAndConsole) {
  const std::vector<int> slots = SeatPlayers({{"Ann", 1500, kMarines},
                                              {"Cy", 1100, kAliens},
                                              {"Bo", 900, kMarines},
                                              {"Di", 1100, kAliens},
                                              {"Waiting", 5000, kReadyRoom}});
  EXPECT_EQ(HudReport(slots[4]), kWorkedExample);
  const kelsim::HudMessage& shown = server.Client(slots[4]).hud.front();
  EXPECT_EQ(shown.channel, 2);  // the info style, not the alert style
  EXPECT_EQ(shown.hold, 2048);
  EXPECT_EQ(server.LastResult(), MRES_SUPERCEDE);
  EXPECT_TRUE(PlayerChat(slots[0]).empty());  // the chat line was hidden

  EXPECT_EQ(ConsoleReport(), kWorkedExample);
  for (int slot : slots) EXPECT_TRUE(HudTexts(slot).empty());
}

TEST_F(TeamValues, NobodyOnEitherTeam) {
  const std::vector<int> slots =
      SeatPlayers({{"Waiting", 100, kReadyRoom}, {"Also", 200, kReadyRoom}});
  EXPECT_EQ(HudReport(slots[0]), "No players on either team\n");
  EXPECT_EQ(ConsoleReport(), "No players on either team\n");
}

TEST_F(TeamValues, OneMarineAlone) {
  const std::vector<int> slots = SeatPlayers({{"Ann", 1500, kMarines}});
  EXPECT_EQ(HudReport(slots[0]),
            "Teams are a little one sided, eh?\n"
            "\n"
            "+-- Marines\n"
            "| 1500 - Ann\n"
            "|\n"
            "+-- total: 1500\n"
            "\n"
            "+-- Aliens\n"
            "|\n"
            "+-- total: 0\n"
            "\n"
            "+-- Top 1 Players\n"
            "| #1 Ann (marines,1500)\n"
            "+--\n"
            "\n");
}

TEST_F(TeamValues, VerdictLines) {
  struct Case {
    int marines, aliens;
    const char* verdict;
  };
  const Case cases[] = {
      {21, 20, "Teams are balanced\n"},
      {22, 20, "Marines have 1.10x skill as aliens\n"},
      {10, 40, "Aliens have 4.00x skill as marines\n"},
      {9, 8, "Marines have 1.13x skill as aliens\n"},
  };
  for (const Case& c : cases) {
    // Each team's total split over two players, to go through the sums.
    SeatPlayers({{"m1", c.marines - 1, kMarines},
                 {"a1", c.aliens - 3, kAliens},
                 {"m2", 1, kMarines},
                 {"a2", 3, kAliens}});
    EXPECT_EQ(FirstLine(ConsoleReport()), c.verdict) << c.marines << " against " << c.aliens;
    for (int slot = 1; slot <= 4; ++slot) server.Disconnect(slot);
  }
}

TEST_F(TeamValues, ZeroTotalTeamIsOneSided) {
  SeatPlayers({{"Up", 10, kMarines}, {"Down", -10, kMarines}, {"Cy", 5, kAliens}});
  const std::string report = ConsoleReport();
  EXPECT_EQ(FirstLine(report), "Teams are a little one sided, eh?\n");
  EXPECT_NE(report.find("|  10 - Up\n| -10 - Down\n|\n+-- total: 0\n"), std::string::npos)
      << report;
}

TEST_F(TeamValues, ColumnsAreAsWideAsTheTeamsWidestValue) {
  SeatPlayers(
      {{"Small", 5, kMarines}, {"Big", 12345, kMarines}, {"Cy", 7, kAliens}, {"Di", 30, kAliens}});
  const std::string report = ConsoleReport();
  EXPECT_NE(report.find("+-- Marines\n| 12345 - Big\n|     5 - Small\n|\n"), std::string::npos)
      << report;
  EXPECT_NE(report.find("+-- Aliens\n| 30 - Di\n|  7 - Cy\n|\n"), std::string::npos) << report;
}

TEST_F(TeamValues, EqualValuesInSlotOrderMarineFirst) {
  SeatPlayers(
      {{"A1", 50, kAliens}, {"M1", 50, kMarines}, {"A2", 50, kAliens}, {"M2", 50, kMarines}});
  const std::string report = ConsoleReport();
  EXPECT_NE(report.find("+-- Marines\n| 50 - M1\n| 50 - M2\n"), std::string::npos) << report;
  EXPECT_NE(report.find("+-- Aliens\n| 50 - A1\n| 50 - A2\n"), std::string::npos) << report;
  EXPECT_NE(report.find("| #1 M1 (marines,50)\n| #2 M2 (marines,50)\n| #3 A1 (aliens,50)\n"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("Worst player: A2 (aliens,50)\n"), std::string::npos) << report;
}

TEST_F(TeamValues, PercentNamePrintsUnchangedOnTheConsole) {
  SeatPlayers({{"100%s", 70, kMarines}, {"%n%x", 60, kAliens}});
  const std::string report = ConsoleReport();
  EXPECT_NE(report.find("| 70 - 100%s\n"), std::string::npos) << report;
  EXPECT_NE(report.find("| #2 %n%x (aliens,60)\n"), std::string::npos) << report;
}

TEST_F(TeamValues, LongReportIsCutOnScreenOnly) {
  std::vector<Seat> seats;
  for (int k = 0; k < 20; ++k)
    seats.push_back({"Player number " + std::to_string(k), 1000 + k, k % 2 ? kAliens : kMarines});
  const std::vector<int> slots = SeatPlayers(seats);
  const std::string whole = ConsoleReport();
  ASSERT_GT(whole.size(), 487u);
  EXPECT_EQ(HudReport(slots[0]), whole.substr(0, 487));
  const std::string worst = "Worst player: Player number 0 (marines,1000)\n";
  ASSERT_GT(whole.size(), worst.size());
  EXPECT_EQ(whole.substr(whole.size() - worst.size()), worst);
}

// What the player's client console was sent, each pfnClientPrintf text in
// order.
std::vector<std::string> Printed(const kelsim::SimServer& server, int slot) {
  std::vector<std::string> texts;
  for (const auto& print : server.Client(slot).printed) {
    EXPECT_EQ(print.type, print_console);
    texts.push_back(print.text);
  }
  return texts;
}

// The screen cuts a long report; the player's console gets it whole, a line
// per print, as long as it stays within the console copy's 2,000 bytes:
// here a full server of 16 against 16 with names of the engine's longest.
TEST_F(TeamValues, PlayersConsoleGetsTheWholeReport) {
  std::vector<Seat> seats;
  for (int k = 0; k < 32; ++k) {
    std::string name = "[clan] player with a long nam" + std::to_string(k % 10);
    name.resize(31, '_');
    seats.push_back({name, 100000 + 37 * k, k % 2 ? kAliens : kMarines});
  }
  const std::vector<int> slots = SeatPlayers(seats);
  const std::string whole = ConsoleReport();
  server.ClearObservations();
  server.Say(slots[5], "/stv");
  ASSERT_EQ(HudTexts(slots[5]).size(), 1u);
  EXPECT_EQ(HudTexts(slots[5]).front(), whole.substr(0, 487)) << "the screen is as before";

  const std::vector<std::string> printed = Printed(server, slots[5]);
  std::string joined;
  for (const std::string& line : printed) {
    EXPECT_EQ(line.find('\n'), line.size() - 1) << "one line per print: " << line;
    joined += line;
  }
  EXPECT_EQ(joined, whole);
  EXPECT_LE(joined.size(), 2000u);
  EXPECT_TRUE(Printed(server, slots[4]).empty()) << "only the asker";
  EXPECT_EQ(ConsoleReport(), whole) << "the server console's report is unchanged";

  // Asked again within the same frame (a client may send many commands in
  // one), the screen shows the report but the console gets no second copy,
  // which would crowd his connection; in the next frame it does.
  server.ClearObservations();
  server.Say(slots[5], "/stv");
  EXPECT_EQ(HudTexts(slots[5]).size(), 1u);
  EXPECT_TRUE(Printed(server, slots[5]).empty());
  server.Frame();
  server.Say(slots[5], "/stv");
  EXPECT_EQ(Printed(server, slots[5]), printed);
}

class TeamValuesOnABigServer : public TeamValues {
 protected:
  TeamValuesOnABigServer() : TeamValues(64) {}
};

// 32 against 32 on a simulated server of 64 slots, names and values of the
// longest: the copy stops at a line end with a line that says so, within
// 2,000 bytes in all, and the client's reliable channel (checked by the
// fixture) does not overflow.
TEST_F(TeamValuesOnABigServer, ConsoleCopyIsCutAtALineEndWithinItsBound) {
  std::vector<Seat> seats;
  for (int k = 0; k < 64; ++k)
    seats.push_back({std::string(30, static_cast<char>('A' + k % 26)) + std::to_string(k % 10),
                     -2000000000 + k, k % 2 ? kAliens : kMarines});
  const std::vector<int> slots = SeatPlayers(seats);
  const std::string whole = ConsoleReport();
  server.ClearObservations();
  server.Say(slots[0], "/stv");
  const std::vector<std::string> printed = Printed(server, slots[0]);
  ASSERT_GE(printed.size(), 2u);
  EXPECT_EQ(printed.back(), "(the rest is cut: too long for the console)\n");
  std::string joined;
  for (std::size_t k = 0; k + 1 < printed.size(); ++k) joined += printed[k];
  EXPECT_EQ(whole.substr(0, joined.size()), joined) << "a start of the report";
  EXPECT_EQ(joined.back(), '\n');
  EXPECT_LE(joined.size() + printed.back().size(), 2000u);
  EXPECT_GT(joined.size() + printed.back().size() + 50, 2000u) << "as much as fits";
  server.Frame();  // the reliable channel is checked as the frame ends
}

// A client can send many commands in one frame.  What his own commands send
// him in a frame stays within 3,000 bytes of his reliable channel (about
// 4,000 on older engines, whose overflow drops him): the first stv is
// answered whole on screen and console, the replies past the budget are
// dropped silently, and neither another player's reply nor the next frame's
// is touched.
TEST_F(TeamValues, OwnCommandsInOneFrameStayWithinTheReliableChannel) {
  std::vector<Seat> seats;
  for (int k = 0; k < 16; ++k)
    seats.push_back(
        {"[clan] player number " + std::to_string(k), 1000 + 37 * k, k % 2 ? kAliens : kMarines});
  const std::vector<int> slots = SeatPlayers(seats);
  const std::string report = ConsoleReport();
  const int flooder = slots[0];
  const int other = slots[1];
  server.Frame();
  server.ClearObservations();

  for (int k = 0; k < 16; ++k) server.Say(flooder, "/stv");
  server.Say(other, "/stv");
  server.Frame();
  const std::vector<std::string> shown = HudTexts(flooder);
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.front(), report.substr(0, 487));
  EXPECT_LT(shown.size(), 16u) << "the replies past the budget are dropped";
  EXPECT_EQ(Printed(server, flooder).size(), Printed(server, other).size())
      << "one whole console copy each";
  EXPECT_EQ(HudTexts(other), std::vector<std::string>{shown.front()});
  const std::size_t flood = server.Client(flooder).reliableBytesLastFrame;
  EXPECT_LE(flood, 3000u);
  EXPECT_GT(flood + 520, 3000u) << "as many replies as fit";
  // Each further answer is the same on-screen text: the message type, the
  // temp entity's 21 bytes of type and fields, the text and its terminator.
  const std::size_t answerBytes = 1 + 21 + shown.front().size() + 1;
  EXPECT_EQ(flood, server.Client(other).reliableBytesLastFrame + (shown.size() - 1) * answerBytes);

  // The next frame answers again.
  server.Say(flooder, "/stv");
  server.Frame();
  EXPECT_EQ(HudTexts(flooder).size(), shown.size() + 1);
}

TEST_F(TeamValues, ReadyRoomAndNamelessPlayersAreLeftOut) {
  const std::vector<int> slots = SeatPlayers({{"Ann", 100, kMarines},
                                              {"Waiting", 999, kReadyRoom},
                                              {"Nameless", 999, kAliens},
                                              {"Cy", 90, kAliens}});
  server.Rename(slots[2], "");
  const std::string report = ConsoleReport();
  EXPECT_EQ(FirstLine(report), "Marines have 1.11x skill as aliens\n");
  EXPECT_EQ(report.find("Waiting"), std::string::npos) << report;
  EXPECT_NE(report.find("+-- Aliens\n| 90 - Cy\n|\n+-- total: 90\n"), std::string::npos) << report;
}

// The file's average is 1000; an unknown player gets 91 to 100 % of it and
// keeps that value for the rest of the map.
TEST_F(TeamValues, UnknownPlayerKeepsHisDefault) {
  StartMapWithValues("STEAM_0:0:1,1000\n");
  Join("Known", "STEAM_0:0:1", kMarines);
  Join("Stranger", "STEAM_0:0:77", kAliens);
  const std::string first = ConsoleReport();
  const std::size_t at = first.find("+-- Aliens\n| ");
  ASSERT_NE(at, std::string::npos) << first;
  const int value = std::stoi(first.substr(at + 13));
  EXPECT_GE(value, 910);
  EXPECT_LE(value, 1000);
  EXPECT_EQ(ConsoleReport(), first);
}

}  // namespace
