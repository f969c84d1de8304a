#include "even_teams.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "host_api.h"
#include "roster.h"

namespace {

int64_t Magnitude(int64_t difference) { return difference < 0 ? -difference : difference; }

const std::string& NameOf(const RatedPlayer& entry) { return entry.name; }
const std::string& NameOf(const RatedPlayer* entry) { return entry->name; }

// Removes the first entry carrying `name`; true when there was one.
template <typename Entry>
bool RemoveFirstNamed(std::vector<Entry>& entries, const std::string& name) {
  auto found = std::find_if(entries.begin(), entries.end(),
                            [&name](const Entry& entry) { return NameOf(entry) == name; });
  if (found == entries.end()) return false;
  entries.erase(found);
  return true;
}

}  // namespace

std::size_t TeamSplit::TakeFromPool(const RatedPlayer& entry, int64_t halfValue) {
  // By name, not by position: with two entries of one name the first one
  // goes, whichever was meant.
  auto found = std::find_if(pool.begin(), pool.end(), [&entry](const RatedPlayer* candidate) {
    return candidate->name == entry.name;
  });
  if (found == pool.end()) return kNotTaken;
  const RatedPlayer* taken = *found;
  const auto position = static_cast<std::size_t>(found - pool.begin());
  teamOne.push_back(taken);
  teamOneValue += taken->value;
  difference = teamOneValue - halfValue;
  pool.erase(found);
  return position;
}

void TeamSplit::PutBack(std::size_t position, int64_t halfValue) {
  if (position == kNotTaken) return;
  const RatedPlayer* taken = teamOne.back();
  teamOne.pop_back();
  teamOneValue -= taken->value;
  difference = teamOneValue - halfValue;
  pool.insert(pool.begin() + static_cast<std::ptrdiff_t>(position), taken);
}

EvenTeamsAssigner::EvenTeamsAssigner(const std::vector<RatedPlayer>& players)
    : players_(players), entryCount_(static_cast<int32_t>(players.size())) {}

void EvenTeamsAssigner::SplitTeams(std::vector<std::string>& teamOneNames,
                                   std::vector<std::string>& teamTwoNames) {
  teamOne_.clear();
  teamTwo_.clear();

  // Sums in 64 bits: 32 values near the 32-bit limit would wrap a 32-bit
  // total and turn halfValue, the tolerance and every difference into
  // nonsense.  Below the limit the results are those of 32-bit sums.
  int64_t total = 0;
  TeamSplit start;
  for (const RatedPlayer& player : players_) {
    total += player.value;
    if (player.team == kMarines) {
      start.teamOne.push_back(&player);
      start.teamOneValue += player.value;
    } else if (player.team == kAliens) {
      teamTwo_.push_back(player);
    } else {
      start.pool.push_back(&player);
    }
  }
  if (entryCount_ % 2 != 0) {
    ++entryCount_;
    start.pool.push_back(&filler_);
  }
  halfValue_ = total / 2;
  tolerance_ = static_cast<int64_t>(static_cast<double>(total) * 0.01);

  std::vector<const RatedPlayer*>& pool = start.pool;
  for (std::size_t i = 1; i < pool.size(); ++i) {
    const auto drawn = static_cast<unsigned>(HostApi::Random());
    std::swap(pool[i], pool[drawn % (i + 1)]);
  }
  start.difference = start.teamOneValue - halfValue_;
  // Team one never holds more than the marines and the whole pool, so the
  // search's takes never reallocate it.
  start.teamOne.reserve(start.teamOne.size() + pool.size());

  TeamSplit best;
  searchCalls_ = 0;
  // Team one is complete at entryCount / 2 entries.  When the current
  // marines and the whole pool together fall short of that (the aliens hold
  // more than half), no split can complete it, and the search would walk
  // every ordering of the pool (a pool of 15 alone has more than 10^12)
  // without ever meeting the step limit, which only applies once a
  // candidate exists.  The outcome is known without it: no candidate.
  const std::size_t half = static_cast<std::size_t>(entryCount_ / 2);
  if (start.teamOne.size() + start.pool.size() >= half) {
    bool stop = false;
    SearchSplits(start, best, stop);
  }

  // Team one is the best candidate (the current marines and the entries
  // taken), or nobody at all when there is none.
  for (const RatedPlayer* entry : best.teamOne) teamOne_.push_back(*entry);
  if (!RemoveFirstNamed(teamOne_, kFillerName)) RemoveFirstNamed(best.pool, kFillerName);
  for (const RatedPlayer* entry : best.pool) teamTwo_.push_back(*entry);

  teamOneNames.clear();
  for (const RatedPlayer& player : teamOne_) teamOneNames.push_back(player.name);
  teamTwoNames.clear();
  for (const RatedPlayer& player : teamTwo_) teamTwoNames.push_back(player.name);
}

// The bound on the work of one run.  Step k of the first descent works on a
// split whose team one holds m + k - 1 entries (m: the current marines), and
// every candidate it makes holds m + k, so that descent, which always takes
// the last pool entry and goes one level deeper, meets its first complete
// candidate at step s0 = max(1, entryCount / 2 - m) whenever one can exist
// (the caller makes no step otherwise).  From then on best holds a
// candidate, so the first step numbered above kStepLimit sets stop and
// returns, and once stop is set no loop makes another call.  Hence a run
// makes at most max(kStepLimit + 1, s0 + 1) steps: 501 on any server, whose
// pool never reaches 500.  Each step's loop either returns after its first
// candidate (a completing level), makes one counted call per iteration, or
// leaves once stop is set, so it takes at most as many entries as it makes
// calls, plus one.
void EvenTeamsAssigner::SearchSplits(TeamSplit& split, TeamSplit& best, bool& stop) {
  ++searchCalls_;
  if (searchCalls_ > kStepLimit && best.difference != TeamSplit::kNoCandidate) {
    stop = true;
    return;
  }
  const std::size_t half = static_cast<std::size_t>(entryCount_ / 2);
  // Every iteration puts back what it took, so the pool has the same entries
  // in the same order at the top of each one.
  for (std::size_t i = split.pool.size(); i-- > 0;) {
    const std::size_t taken = split.TakeFromPool(*split.pool[i], halfValue_);
    if (split.teamOne.size() >= half) {
      // Strictly better only: a tie keeps the candidate found first.
      if (Magnitude(split.difference) < Magnitude(best.difference)) {
        best = split;
        if (Magnitude(best.difference) <= tolerance_ && searchCalls_ > kToleranceSteps) stop = true;
      }
      split.PutBack(taken, halfValue_);
      // Only the last remaining entry is tried at a completing level.
      return;
    }
    // Every candidate of this level has the same size, so once stop is set
    // the remaining iterations could only try splits that nothing uses.
    if (!stop) SearchSplits(split, best, stop);
    split.PutBack(taken, halfValue_);
    if (stop) return;
  }
}
