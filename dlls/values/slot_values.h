// The players' values as the store gives them, kept per player slot, so
// that a check that sums every player's value (kel_limitjoin 2, at each
// join) neither copies ids nor hashes them once it has met the players.
#pragma once

#include <cstdint>

#include "player_values.h"
#include "roster.h"

struct edict_t;

class SlotValues {
 public:
  explicit SlotValues(PlayerValues& store) : store_(store) {}

  // The value the store gives the auth id of `player`, the player of slot
  // `slot`: the same number, and for an id the store does not know the
  // same default drawn at the same moment, as asking the store with the id
  // now.  The value is kept for the slot until the store's table changes
  // (a load) or Forget(slot); an id many players share (a pending one
  // becomes the player's own when the platform validates him, without a
  // hook) and a slot outside 1..32 are asked of the store every time.
  // A validated id never changes during a connection, so the owner forgets
  // a slot when its player disconnects, and everything at the map start.
  int32_t ValueOf(int slot, edict_t* player) {
    if (slot >= 1 && slot <= kMaxRosterSlot) {
      const Entry& entry = entries_[slot];
      if (entry.kept && entry.generation == store_.Generation()) return entry.value;
    }
    return AskStore(slot, player);
  }
  void Forget(int slot);
  void ForgetAll();

 private:
  struct Entry {
    bool kept = false;
    uint32_t generation = 0;  // the store's Generation() when kept
    int32_t value = 0;
  };

  int32_t AskStore(int slot, edict_t* player);

  PlayerValues& store_;
  Entry entries_[kSlotTableSize];
};

// The plugin's one record, over PlayerValues::Instance().
SlotValues& TheSlotValues();
