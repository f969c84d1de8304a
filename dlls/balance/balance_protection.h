// Who the plugin's balance moves leave alone: operators while kel_immunity
// is on ("immunity"; the death-time move, movelast and rrr pass over them),
// and players the death-time move or movelast moved a short while ago while
// kel_move_cooldown is on ("switch cooldown"; those two pass over them).
//
// Moves made by the death-time move and by movelast are recorded whatever
// the variables say, so that switching the cooldown on counts the moves
// made before.  The record is kept by calendar time, which, unlike the host
// clock, runs on across map changes.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct edict_t;

// The calendar second of the last move of each player, by authentication
// id, in a table of fixed size.
class MoveCooldowns {
 public:
  // Room for every player of a full server and as many who left.
  static constexpr std::size_t kCapacity = 64;
  // Longer ids are no authentication id the engine gives; they are not
  // recorded.
  static constexpr std::size_t kMaxIdBytes = 63;

  // Records a move of `authId` at calendar second `now`.  A recorded id takes
  // the new time; a new one takes a free entry or, when none is free, the
  // entry of the oldest move (an expired one whenever any has expired).
  // Ids many players share (IsSharedAuthId: the empty one, LAN, pending,
  // HLTV, BOT, ...) and over-long ones are not recorded.
  void Record(std::string_view authId, long long now);
  // True when `authId` was recorded less than `cooldownSeconds` from `now`.
  // The distance counts either way, so a calendar set back cannot make a
  // record last longer than the cooldown's length past its setting.  False
  // for a cooldown of 0 or less (or NaN) and for a shared id.
  bool CoolingDown(std::string_view authId, long long now, double cooldownSeconds) const;
  // How long `authId` is still held back, by the same rule; 0 when not.
  double SecondsLeft(std::string_view authId, long long now, double cooldownSeconds) const;

 private:
  struct Entry {
    std::string authId;  // "" for a free entry
    long long movedAt = 0;
  };
  // The entry recording `authId`, or kCapacity when none does.
  std::size_t IndexOf(std::string_view authId) const;
  // A free entry, or the one of the oldest move when none is free.
  std::size_t IndexToTake() const;

  std::array<Entry, kCapacity> entries_{};
};

// True when kel_immunity is on and `player` is an operator (his whole id in
// mp_serverops).
bool ImmuneOperator(edict_t* player);
// True when the death-time move and movelast are to leave `player` alone
// now: an ImmuneOperator, or cooling down while kel_move_cooldown is above
// 0.  Bots and players whose id many share are never cooling down.
bool SparedFromBalanceMove(edict_t* player);
// SparedFromBalanceMove, or already ordered to another team and not yet
// moved by the game (movelast twice in one frame names two players).
bool LeftAloneByMoveLast(edict_t* player);
// A balance move of `player` (the death-time move, movelast): his client is
// made to run "readyroom\n" (a team order, see team_orders.h), the move is
// recorded at the current calendar second for the cooldown (bots and shared
// ids are not), and the server log gets the standard line
// `"…" triggered "ACTION"` while he still stands on the team he leaves.
void SendToReadyRoomForBalance(edict_t* player, const char* action);

// The connected players the switch cooldown holds back now, in slot order,
// each with his name and the whole seconds left (rounded up); none while
// kel_move_cooldown is 0 or below.
struct CoolingDownPlayer {
  std::string name;
  long long secondsLeft = 0;
};
std::vector<CoolingDownPlayer> PlayersCoolingDown();
