// The team changes the plugin has ordered and the game has not carried out
// yet (and, while kel_limitjoin is on, the team commands of players'
// own that it let pass).  The plugin changes a player's team only by making his client run a
// command ("readyroom", "autoassign", "jointeamone", "jointeamtwo"); the
// game carries it out when the client sends it back, a frame or more later,
// and until then the player still stands on his old team.  Every refresh
// of the balance counts him where he was ordered to go, so that moves made
// close together never move more players than the count needs, until the
// game moves him, he leaves, or kOrderSeconds pass (the client did not send
// the command back: he counts where he is again).
//
// One order per player slot, the latest; touched only on the server thread.
#pragma once

#include <cstdint>

#include "roster.h"

struct edict_t;

enum class TeamOrder : uint8_t {
  None,
  ReadyRoom,    // "readyroom\n": the death-time move, movelast
  AutoAssign,   // "autoassign\n": rrr; the game picks the side with fewer players
  JoinMarines,  // "jointeamone\n": eventeams
  JoinAliens,   // "jointeamtwo\n": eventeams
};

// The client command that carries out `order` ("" for none).
const char* TeamOrderCommand(TeamOrder order);

// The record of orders, by slot 1..32, as plain data over host times and
// team numbers.
class TeamOrders {
 public:
  // How long the game has to carry out an order, in host seconds.
  static constexpr float kOrderSeconds = 5.0f;

  // `order` sent at host time `now` to the player of `slot`, then on team
  // `from`; `byPlugin` false for the player's own command.  Replaces any
  // earlier order of the slot; slots outside 1..32 are not recorded.
  void Sent(int slot, TeamOrder order, TeamId from, float now, bool byPlugin = true);
  // The order of `slot` while it is in force: sent less than kOrderSeconds
  // from `now` (either way: the clock restarts with every map) and the
  // player, now on `teamNow`, still on the team he was on when it was sent.
  // None otherwise.
  TeamOrder InForce(int slot, TeamId teamNow, float now) const;
  // InForce, for an order the plugin sent (not the player's own command).
  TeamOrder PluginOrderInForce(int slot, TeamId teamNow, float now) const;
  // True when `slot`'s order, sent less than kOrderSeconds from `now` while
  // he was on another team, sends him to `team`: the team change the game
  // reports was brought by that order.
  bool Expects(int slot, TeamId team, float now) const;
  // The slot's order is done with (he left, or the game moved him).
  void Forget(int slot);
  // The player of `slot` is on `teamNow`: an order sent while he was on
  // another team is done with, so that coming back within kOrderSeconds
  // does not put it in force again.
  void TeamSeen(int slot, TeamId teamNow);
  // Every order dropped (a map start: the engine drops what it had not yet
  // sent the clients).
  void Clear();
  bool Empty() const { return count_ == 0; }

  // The headcounts `marines` and `aliens` as they will be once the orders
  // in force are carried out: `teamOf(slot)` gives each ordered player's
  // team now.  A player ordered to the ready room or to a team counts
  // there; one told to autoassign joins the side with fewer players, the
  // marines on a tie, as the game chooses.  True when an order in force was
  // counted.  The order of `exceptSlot` (if any) is left out.
  bool CountInForce(int& marines, int& aliens, TeamId (*teamOf)(int slot), float now,
                    int exceptSlot = 0) const;
  // Drops the orders no longer in force.  True when one of them had run
  // out of time with the player still where he was (his team was counted
  // wrongly until now).
  bool DropExpired(TeamId (*teamOf)(int slot), float now);

 private:
  struct Entry {
    TeamOrder order = TeamOrder::None;
    TeamId from = kNoTeam;
    float sentAt = 0.0f;
    bool byPlugin = true;
  };
  static bool InTime(const Entry& entry, float now);

  Entry entries_[kSlotTableSize] = {};
  int count_ = 0;  // entries whose order is not None
};

// The plugin's one record.
TeamOrders& TheTeamOrders();

// Makes `player` run the command of `order` and records it.
void SendTeamOrder(edict_t* player, TeamOrder order);
// Records `order` as under way for `player` without sending anything: his
// own command, which the game carries out right after the hook.
void NoteOwnTeamCommand(edict_t* player, TeamOrder order);
// The order of `player` in force (see TeamOrders::InForce), or None.
TeamOrder TeamOrderInForce(edict_t* player);
// The same for an order the plugin sent him.
TeamOrder PluginOrderInForce(edict_t* player);
// True when the plugin has ordered `player` to another team and the game
// has not yet carried it out.
inline bool HasTeamOrderInForce(edict_t* player) {
  return TeamOrderInForce(player) != TeamOrder::None;
}
// The team of the player in `slot` now; kNoTeam for an empty slot.
TeamId TeamAtSlot(int slot);
