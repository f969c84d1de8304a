#include "balance_protection.h"

#include <cmath>

#include "cvar_reading.h"
#include "host_api.h"
#include "operators.h"
#include "shared_ids.h"
#include "standard_log.h"
#include "team_orders.h"

namespace {

MoveCooldowns g_cooldowns;

// A bot's id is "BOT", shared by every bot, and a bot whose id says
// otherwise is a bot all the same: a record under it would hold back all of
// them for the move of one.
bool RecordsKeptFor(edict_t* player) {
  return player != nullptr && !HostApi::IsFakeClient(HostApi::EdictVars(player));
}

}  // namespace

std::size_t MoveCooldowns::IndexOf(std::string_view authId) const {
  for (std::size_t i = 0; i < kCapacity; ++i) {
    if (!entries_[i].authId.empty() && entries_[i].authId == authId) return i;
  }
  return kCapacity;
}

std::size_t MoveCooldowns::IndexToTake() const {
  std::size_t oldest = 0;
  for (std::size_t i = 0; i < kCapacity; ++i) {
    if (entries_[i].authId.empty()) return i;
    if (entries_[i].movedAt < entries_[oldest].movedAt) oldest = i;
  }
  return oldest;
}

void MoveCooldowns::Record(std::string_view authId, long long now) {
  if (IsSharedAuthId(authId) || authId.size() > kMaxIdBytes) return;
  std::size_t index = IndexOf(authId);
  if (index == kCapacity) {
    index = IndexToTake();
    entries_[index].authId.assign(authId);  // keeps its capacity when reused
  }
  entries_[index].movedAt = now;
}

bool MoveCooldowns::CoolingDown(std::string_view authId, long long now,
                                double cooldownSeconds) const {
  return SecondsLeft(authId, now, cooldownSeconds) > 0.0;
}

double MoveCooldowns::SecondsLeft(std::string_view authId, long long now,
                                  double cooldownSeconds) const {
  if (!(cooldownSeconds > 0.0) || IsSharedAuthId(authId)) return 0.0;
  const std::size_t index = IndexOf(authId);
  if (index == kCapacity) return 0.0;
  const double distance =
      std::fabs(static_cast<double>(now) - static_cast<double>(entries_[index].movedAt));
  return distance < cooldownSeconds ? cooldownSeconds - distance : 0.0;
}

bool ImmuneOperator(edict_t* player) {
  return CvarNumber(Cvar::Immunity) > 0.0f && IsServerOperator(player);
}

bool SparedFromBalanceMove(edict_t* player) {
  if (ImmuneOperator(player)) return true;
  const float cooldown = CvarNumber(Cvar::MoveCooldown);
  if (!(cooldown > 0.0f) || !RecordsKeptFor(player)) return false;
  return g_cooldowns.CoolingDown(HostApi::PlayerAuthId(player), HostApi::CalendarSeconds(),
                                 cooldown);
}

std::vector<CoolingDownPlayer> PlayersCoolingDown() {
  std::vector<CoolingDownPlayer> players;
  const float cooldown = CvarNumber(Cvar::MoveCooldown);
  if (!(cooldown > 0.0f)) return players;
  const long long now = HostApi::CalendarSeconds();
  HostApi::ForEachClientSlot([&](int /*slot*/, edict_t* entity) {
    if (!RecordsKeptFor(entity)) return;
    const double left = g_cooldowns.SecondsLeft(HostApi::PlayerAuthId(entity), now, cooldown);
    if (left > 0.0) {
      players.push_back(
          {HostApi::NetName(HostApi::EdictVars(entity)), static_cast<long long>(std::ceil(left))});
    }
  });
  return players;
}

bool LeftAloneByMoveLast(edict_t* player) {
  return SparedFromBalanceMove(player) || HasTeamOrderInForce(player);
}

void SendToReadyRoomForBalance(edict_t* player, const char* action) {
  SendTeamOrder(player, TeamOrder::ReadyRoom);
  if (RecordsKeptFor(player)) {
    g_cooldowns.Record(HostApi::PlayerAuthId(player), HostApi::CalendarSeconds());
  }
  LogPlayerAction(player, action);
}
