#include "slot_values.h"

#include <string>

#include "host_api.h"
#include "shared_ids.h"

namespace {

SlotValues g_slotValues(PlayerValues::Instance());

}  // namespace

int32_t SlotValues::AskStore(int slot, edict_t* player) {
  const std::string id = HostApi::PlayerAuthId(player);
  bool keptByStore = false;
  const int32_t value = store_.ValueOf(id, keptByStore);
  // An unkept default would be drawn again at the next ask: not kept here.
  if (slot >= 1 && slot <= kMaxRosterSlot && keptByStore && !IsSharedAuthId(id)) {
    entries_[slot] = Entry{true, store_.Generation(), value};
  }
  return value;
}

void SlotValues::Forget(int slot) {
  if (slot >= 1 && slot <= kMaxRosterSlot) entries_[slot] = Entry{};
}

void SlotValues::ForgetAll() {
  for (Entry& entry : entries_) entry = Entry{};
}

SlotValues& TheSlotValues() { return g_slotValues; }
