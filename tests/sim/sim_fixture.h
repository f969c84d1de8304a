// The common start of every story told through the simulated server: the real
// plugin library loaded into a fresh server, a map started, and helpers to
// bring players in and to read what they saw.
//
//   class StvTest : public kelsim_test::SimFixture {};
//   TEST_F(StvTest, ReportsBothTeams) {
//     StartMapWithValues("STEAM_0:0:1,120\nSTEAM_0:0:2,80\n");
//     const int op = JoinAsOperator("Admin", "STEAM_0:0:1");
//     Join("Bob", "STEAM_0:0:2", kMarines);
//     server.Say(op, "/stv");
//     EXPECT_THAT(...HudTexts(op)...);
//   }
//
// After each test the fixture checks that the host saw no fault (no hook left
// mres unset, no malformed message, no fatal error); a test that provokes one
// on purpose sets `allowHostErrors`.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "sim_server.h"

namespace kelsim_test {

inline constexpr int kReadyRoom = 0;
inline constexpr int kMarines = 1;
inline constexpr int kAliens = 2;

// The plugin library under test: $KEL_PLUGIN_PATH, else the one the build
// made.
inline std::string PluginLibraryPath() {
  const char* fromEnvironment = std::getenv("KEL_PLUGIN_PATH");
  if (fromEnvironment && *fromEnvironment) return fromEnvironment;
  return KEL_PLUGIN_PATH;
}

// The source tree: $KEL_SOURCE_DIR, else the one the build came from.
inline std::string SourceDirectory() {
  const char* fromEnvironment = std::getenv("KEL_SOURCE_DIR");
  if (fromEnvironment && *fromEnvironment) return fromEnvironment;
  return KEL_SOURCE_DIR;
}

class SimFixture : public ::testing::Test {
 protected:
  explicit SimFixture(int maxClients = 32) : server(maxClients) {}

  void SetUp() override {
    ASSERT_TRUE(server.Load(PluginLibraryPath())) << server.LoadError();
    server.ChangeMap();
  }

  void TearDown() override {
    if (!allowHostErrors) {
      for (const std::string& error : server.HostErrors()) ADD_FAILURE() << "host error: " << error;
      EXPECT_FALSE(server.Fatal()) << server.FatalReason();
    }
  }

  // Writes a file beside the plugin library (where the plugin looks for its
  // player values file).
  void WriteBesidePlugin(const std::string& contents,
                         const std::string& fileName = "player_values.txt") {
    std::ofstream out(server.PluginDirectory() + "/" + fileName, std::ios::binary);
    out << contents;
    ASSERT_TRUE(out.good()) << fileName;
  }
  // Writes the values file and starts a new map, which loads it.
  void StartMapWithValues(const std::string& contents) {
    WriteBesidePlugin(contents);
    server.ChangeMap();
  }

  // Connects a player and, unless `team` is the ready room, puts him on it
  // the way the game does (the plugin hears of both).  Returns his slot.
  int Join(const std::string& name, const std::string& authId, int team = kReadyRoom) {
    const int slot = server.Connect(name, authId);
    EXPECT_NE(slot, 0) << "no free slot for " << name;
    if (slot != 0 && team != kReadyRoom) server.SetTeam(slot, team);
    return slot;
  }
  // Adds `authId` to mp_serverops and connects him.
  int JoinAsOperator(const std::string& name, const std::string& authId, int team = kReadyRoom) {
    const std::string operators = server.Cvar("mp_serverops");
    server.SetCvar("mp_serverops", operators.empty() ? authId : operators + " " + authId);
    return Join(name, authId, team);
  }

  // What one slot has been shown.
  std::vector<std::string> HudTexts(int slot) const {
    std::vector<std::string> texts;
    for (const auto& message : server.Client(slot).hud) texts.push_back(message.text);
    return texts;
  }
  std::vector<std::string> ChatTexts(int slot) const {
    std::vector<std::string> texts;
    for (const auto& message : server.Client(slot).chat) texts.push_back(message.text);
    return texts;
  }
  const std::vector<std::string>& PlayerChat(int slot) const {
    return server.Client(slot).playerChat;
  }
  const std::vector<std::string>& ClientCommands(int slot) const {
    return server.Client(slot).commands;
  }

  kelsim::SimServer server;
  bool allowHostErrors = false;
};

}  // namespace kelsim_test
