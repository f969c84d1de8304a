// A simulated server with the real plugin loaded and a map started, and the
// observations the roster, message and dispatcher stories read.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim_server.h"

namespace roster_story {

using Strings = std::vector<std::string>;

inline constexpr const char* kOperatorId = "STEAM_0:1:123456";

class Story : public ::testing::Test {
 protected:
  explicit Story(int maxClients = 32) : server(maxClients) {}

  void SetUp() override {
    ASSERT_TRUE(server.Load(KEL_PLUGIN_PATH)) << server.LoadError();
    // No values file: the store reports "not loaded" until a test writes one.
    server.SetCvar("kel_playervaluesfile", "no_such_values_file.txt");
    server.SetCvar("mp_serverops", kOperatorId);
    server.ChangeMap();
  }

  void TearDown() override {
    EXPECT_FALSE(server.Fatal()) << server.FatalReason();
    EXPECT_EQ(server.HostErrors(), Strings{});
  }

  // Connects a player with his own id and puts him on `team` (the game's
  // side of a team change, so the plugin hears of it).
  int Join(const std::string& name, int team, int slot = 0) {
    const int s = server.Connect(name, "STEAM_0:0:" + std::to_string(++players_), slot);
    EXPECT_NE(s, 0) << name;
    if (s != 0 && team != 0) server.SetTeam(s, team);
    return s;
  }

  Strings HudTexts(int slot) const {
    Strings texts;
    for (const auto& message : server.Client(slot).hud) texts.push_back(message.text);
    return texts;
  }
  Strings ChatTexts(int slot) const {
    Strings texts;
    for (const auto& message : server.Client(slot).chat) texts.push_back(message.text);
    return texts;
  }
  const Strings& PlayerChat(int slot) const { return server.Client(slot).playerChat; }

  // The two lines of "sl" typed on the server console, observations cleared
  // first: {"last marine: NAME (on for M:SS)", "last alien: ..."}.
  Strings ShowLast() {
    server.ClearObservations();
    EXPECT_TRUE(server.ServerCommand({"sl"}));
    return server.ConsoleLines();
  }
  // Just the name shown for the last marine (1) or alien (2).
  std::string LastJoinerName(int team) {
    const Strings lines = ShowLast();
    if (lines.size() != 2) {
      ADD_FAILURE() << "sl printed " << lines.size() << " lines";
      return "<no answer>";
    }
    const std::string& line = lines[team == 1 ? 0 : 1];
    const std::string head = team == 1 ? "last marine: " : "last alien: ";
    const std::size_t open = line.rfind(" (on for ");
    if (line.compare(0, head.size(), head) != 0 || open == std::string::npos ||
        open < head.size()) {
      ADD_FAILURE() << "unexpected line: " << line;
      return "<bad line>";
    }
    return line.substr(head.size(), open - head.size());
  }

  kelsim::SimServer server;

 private:
  int players_ = 0;
};

}  // namespace roster_story
