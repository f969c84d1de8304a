// The balance and manual-move stories start the same way: the real plugin in
// a fresh server, a map started and an operator in the ready room.  The
// helpers add whole teams at once and read the times and kinds of events.
#pragma once

#include <string>
#include <vector>

#include "sim_fixture.h"

namespace balance_story {

using Strings = std::vector<std::string>;

class BalanceStory : public kelsim_test::SimFixture {
 protected:
  explicit BalanceStory(int maxClients = 32) : SimFixture(maxClients) {}

  void SetUp() override {
    SimFixture::SetUp();
    ASSERT_FALSE(HasFatalFailure());
    op = JoinAsOperator("Admin", "STEAM_0:0:1000");
    ASSERT_NE(op, 0);
  }

  // A player with an id of his own on `team`, in the first free slot or in
  // `slot`.
  int Join(const std::string& name, int team, int slot = 0) {
    const std::string authId = "STEAM_0:1:" + std::to_string(++players_);
    const int s = server.Connect(name, authId, slot);
    EXPECT_NE(s, 0) << name;
    if (s != 0 && team != kelsim_test::kReadyRoom) server.SetTeam(s, team);
    return s;
  }
  // Players prefix1..prefixN on `team`, joined in that order.
  std::vector<int> JoinMany(const std::string& prefix, int team, int count) {
    std::vector<int> slots;
    for (int i = 1; i <= count; ++i) slots.push_back(Join(prefix + std::to_string(i), team));
    return slots;
  }

  // Host times at which `slot` was shown the on-screen text `text`.
  std::vector<float> HudTimes(int slot, const std::string& text) const {
    std::vector<float> times;
    for (const auto& event : server.Events()) {
      if (event.kind == kelsim::Event::Kind::Hud && event.slot == slot && event.text == text)
        times.push_back(event.time);
    }
    return times;
  }
  // Events of one kind, to anyone.
  int CountEvents(kelsim::Event::Kind kind) const {
    int count = 0;
    for (const auto& event : server.Events()) count += event.kind == kind ? 1 : 0;
    return count;
  }

  int op = 0;

 private:
  int players_ = 0;
};

}  // namespace balance_story
