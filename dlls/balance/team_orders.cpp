#include "team_orders.h"

#include <cmath>

#include "balance_watch.h"
#include "host_api.h"

namespace {

TeamOrders g_orders;

bool IsRecordedSlot(int slot) { return slot >= 1 && slot <= kMaxRosterSlot; }

void Record(edict_t* player, TeamOrder order, bool byPlugin) {
  g_orders.Sent(HostApi::IndexOfEdict(player), order, PlayerTeam(player), HostApi::Time(),
                byPlugin);
  TheBalanceWatch().WatchTeamOrders();
}

}  // namespace

const char* TeamOrderCommand(TeamOrder order) {
  switch (order) {
    case TeamOrder::ReadyRoom:
      return "readyroom\n";
    case TeamOrder::AutoAssign:
      return "autoassign\n";
    case TeamOrder::JoinMarines:
      return "jointeamone\n";
    case TeamOrder::JoinAliens:
      return "jointeamtwo\n";
    case TeamOrder::None:
      break;
  }
  return "";
}

bool TeamOrders::InTime(const Entry& entry, float now) {
  return std::fabs(now - entry.sentAt) < kOrderSeconds;
}

void TeamOrders::Sent(int slot, TeamOrder order, TeamId from, float now, bool byPlugin) {
  if (!IsRecordedSlot(slot) || order == TeamOrder::None) return;
  Entry& entry = entries_[slot];
  if (entry.order == TeamOrder::None) ++count_;
  entry = Entry{order, from, now, byPlugin};
}

TeamOrder TeamOrders::InForce(int slot, TeamId teamNow, float now) const {
  if (!IsRecordedSlot(slot)) return TeamOrder::None;
  const Entry& entry = entries_[slot];
  if (entry.order == TeamOrder::None || entry.from != teamNow || !InTime(entry, now)) {
    return TeamOrder::None;
  }
  return entry.order;
}

TeamOrder TeamOrders::PluginOrderInForce(int slot, TeamId teamNow, float now) const {
  const TeamOrder order = InForce(slot, teamNow, now);
  return order != TeamOrder::None && entries_[slot].byPlugin ? order : TeamOrder::None;
}

bool TeamOrders::Expects(int slot, TeamId team, float now) const {
  if (!IsRecordedSlot(slot)) return false;
  const Entry& entry = entries_[slot];
  if (entry.order == TeamOrder::None || entry.from == team || !InTime(entry, now)) return false;
  switch (entry.order) {
    case TeamOrder::ReadyRoom:
      return team == kReadyRoom;
    case TeamOrder::AutoAssign:
      return team == kMarines || team == kAliens;
    case TeamOrder::JoinMarines:
      return team == kMarines;
    case TeamOrder::JoinAliens:
      return team == kAliens;
    case TeamOrder::None:
      break;
  }
  return false;
}

void TeamOrders::Forget(int slot) {
  if (!IsRecordedSlot(slot) || entries_[slot].order == TeamOrder::None) return;
  entries_[slot] = Entry{};
  --count_;
}

void TeamOrders::TeamSeen(int slot, TeamId teamNow) {
  if (IsRecordedSlot(slot) && entries_[slot].from != teamNow) Forget(slot);
}

void TeamOrders::Clear() {
  for (Entry& entry : entries_) entry = Entry{};
  count_ = 0;
}

bool TeamOrders::CountInForce(int& marines, int& aliens, TeamId (*teamOf)(int slot), float now,
                              int exceptSlot) const {
  if (count_ == 0) return false;
  bool counted = false;
  int autoAssigned = 0;
  for (int slot = 1; slot <= kMaxRosterSlot; ++slot) {
    if (entries_[slot].order == TeamOrder::None || slot == exceptSlot) continue;
    const TeamOrder order = InForce(slot, teamOf(slot), now);
    if (order == TeamOrder::None) continue;
    counted = true;
    const TeamId from = entries_[slot].from;
    if (from == kMarines) --marines;
    if (from == kAliens) --aliens;
    if (order == TeamOrder::JoinMarines) ++marines;
    if (order == TeamOrder::JoinAliens) ++aliens;
    if (order == TeamOrder::AutoAssign) ++autoAssigned;
  }
  // Each one placed as the game will place him, after the others.
  for (; autoAssigned > 0; --autoAssigned) ++(marines <= aliens ? marines : aliens);
  return counted;
}

bool TeamOrders::DropExpired(TeamId (*teamOf)(int slot), float now) {
  bool ranOut = false;
  for (int slot = 1; slot <= kMaxRosterSlot && count_ > 0; ++slot) {
    const Entry& entry = entries_[slot];
    if (entry.order == TeamOrder::None) continue;
    if (InForce(slot, teamOf(slot), now) != TeamOrder::None) continue;
    ranOut |= !InTime(entry, now) && entry.from == teamOf(slot);
    Forget(slot);
  }
  return ranOut;
}

TeamOrders& TheTeamOrders() { return g_orders; }

TeamId TeamAtSlot(int slot) { return PlayerTeam(PlayerAtSlot(slot)); }

void SendTeamOrder(edict_t* player, TeamOrder order) {
  HostApi::SendClientCommand(player, TeamOrderCommand(order));
  Record(player, order, true);
}

void NoteOwnTeamCommand(edict_t* player, TeamOrder order) { Record(player, order, false); }

TeamOrder TeamOrderInForce(edict_t* player) {
  return g_orders.InForce(HostApi::IndexOfEdict(player), PlayerTeam(player), HostApi::Time());
}

TeamOrder PluginOrderInForce(edict_t* player) {
  return g_orders.PluginOrderInForce(HostApi::IndexOfEdict(player), PlayerTeam(player),
                                     HostApi::Time());
}
