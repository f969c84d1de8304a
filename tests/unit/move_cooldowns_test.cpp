// The table behind kel_move_cooldown: which recorded moves still hold a
// player back, and what a full table gives up first.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "balance_protection.h"

namespace {

constexpr long long kMovedAt = 1'700'000'000;

TEST(MoveCooldowns, AMoveHoldsBackForLessThanTheCooldown) {
  MoveCooldowns table;
  table.Record("STEAM_0:1:7", kMovedAt);
  const struct {
    const char* id;
    long long now;
    double cooldown;
    bool coolingDown;
  } cases[] = {
      {"STEAM_0:1:7", kMovedAt, 60.0, true},
      {"STEAM_0:1:7", kMovedAt + 59, 60.0, true},
      {"STEAM_0:1:7", kMovedAt + 60, 60.0, false},  // the cooldown's length has passed
      {"STEAM_0:1:7", kMovedAt + 30, 30.5, true},
      {"STEAM_0:1:7", kMovedAt - 59, 60.0, true},    // the calendar was set back a little
      {"STEAM_0:1:7", kMovedAt - 600, 60.0, false},  // or far: the record does not outlast it
      {"STEAM_0:1:7", kMovedAt, 0.0, false},         // switched off
      {"STEAM_0:1:7", kMovedAt, -5.0, false},
      {"STEAM_0:1:7", kMovedAt, std::nan(""), false},
      {"STEAM_0:1:70", kMovedAt, 60.0, false},  // ids compare whole
      {"STEAM_0:1:", kMovedAt, 60.0, false},
      {"", kMovedAt, 60.0, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(table.CoolingDown(c.id, c.now, c.cooldown), c.coolingDown)
        << c.id << " at +" << c.now - kMovedAt << " with " << c.cooldown;
  }

  // A later move restarts his cooldown.
  table.Record("STEAM_0:1:7", kMovedAt + 100);
  EXPECT_TRUE(table.CoolingDown("STEAM_0:1:7", kMovedAt + 150, 60.0));
}

// Ids many players share (LAN, not yet validated, the spectator proxy,
// bots, unknown): one move must not hold back everyone who carries them.
TEST(MoveCooldowns, SharedEmptyAndOverlongIdsAreNeverRecorded) {
  MoveCooldowns table;
  const std::string longest(MoveCooldowns::kMaxIdBytes, 'x');
  const std::string tooLong(MoveCooldowns::kMaxIdBytes + 1, 'x');
  const struct {
    std::string id;
    bool recorded;
  } cases[] = {
      {"", false},
      {"STEAM_ID_LAN", false},
      {"STEAM_ID_PENDING", false},
      {"VALVE_ID_LAN", false},
      {"VALVE_ID_PENDING", false},
      {"HLTV", false},
      {"UNKNOWN", false},
      {"BOT", false},
      {tooLong, false},
      {longest, true},
      {"STEAM_ID_LAN ", true},  // ids compare whole: not the shared one
      {"steam_id_lan", true},
      {"STEAM_0:0:7", true},
  };
  for (const auto& c : cases) {
    table.Record(c.id, kMovedAt);
    EXPECT_EQ(table.CoolingDown(c.id, kMovedAt, 60.0), c.recorded) << '"' << c.id << '"';
  }
}

TEST(MoveCooldowns, AFullTableGivesUpTheOldestMove) {
  MoveCooldowns table;
  const auto id = [](std::size_t k) { return "STEAM_0:0:" + std::to_string(k); };
  // Moves in a shuffled order of time, so the oldest is not the first entry.
  for (std::size_t k = 0; k < MoveCooldowns::kCapacity; ++k)
    table.Record(id(k), kMovedAt + static_cast<long long>((k * 37) % MoveCooldowns::kCapacity));
  table.Record(id(1000), kMovedAt + 500);
  EXPECT_TRUE(table.CoolingDown(id(1000), kMovedAt + 500, 1000.0));
  EXPECT_FALSE(table.CoolingDown(id(0), kMovedAt + 500, 1000.0)) << "the oldest move gave way";
  for (std::size_t k = 1; k < MoveCooldowns::kCapacity; ++k)
    EXPECT_TRUE(table.CoolingDown(id(k), kMovedAt + 500, 1000.0)) << id(k);
}

}  // namespace
