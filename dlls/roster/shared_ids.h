// Authentication ids that the engine gives to many players at once: LAN and
// not yet validated players, the spectator proxy, bots, and a player whose
// id is unknown.  No such id names one player, so nothing may be kept or
// looked up under it: the move cooldown never records one, and kelvalues
// never writes one into a values file.
#pragma once

#include <algorithm>
#include <string_view>

inline constexpr std::string_view kSharedAuthIds[] = {
    "",  // no id at all
    "STEAM_ID_LAN",
    "STEAM_ID_PENDING",
    "VALVE_ID_LAN",
    "VALVE_ID_PENDING",
    "HLTV",
    "UNKNOWN",
    "BOT",
};

// True when `id` is, whole and byte for byte, one of kSharedAuthIds.
constexpr bool IsSharedAuthId(std::string_view id) {
  return std::ranges::any_of(kSharedAuthIds,
                             [id](std::string_view shared) { return id == shared; });
}
