#include "rating.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "digits.h"
#include "log_reader.h"
#include "values_out.h"

namespace kelvalues {
namespace {

// How far ahead of the newest kill the reference time is set, in half-lives:
// the newest kills then weigh at least 2^-16 until the next rescale, and
// rescales (each a pass over every pair) come once per 16 half-lives of log.
constexpr double kReferenceLead = 16.0;

uint64_t PairKey(uint32_t killer, uint32_t victim) { return uint64_t{killer} << 32 | victim; }

constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ULL;

// The slots each hash table starts with: few, so that a tally of a few
// players (a test's, a fuzz input's) costs little; tables double as needed.
constexpr int kFirstSlotsLog2 = 6;
constexpr std::size_t kFirstSlots = std::size_t{1} << kFirstSlotsLog2;

// The account number 2Y + X of "STEAM_0:X:Y" or "STEAM_1:X:Y" (X 0 or 1, Y
// at most 10 digits), or 0 for any other text and for accounts beyond 32
// bits, which the slower reading of the text then judges.  Two a kill line:
// the prefix is compared as one word, and Y's last eight digits (the bytes
// before them read as leading zeros when it has fewer) are taken at once.
uint64_t SteamAccount(std::string_view text) {
  if (text.size() < 11 || text.size() > 20) return 0;
  uint64_t head = 0;
  std::memcpy(&head, text.data(), 8);
  // "STEAM_0:" and "STEAM_1:" differ in the lowest bit of their seventh byte.
  constexpr uint64_t kSteam1 = 0x3A315F4D41455453ULL;  // "STEAM_1:" loaded as a word
  constexpr uint64_t kUniverseBit = uint64_t{1} << 48;
  if ((head | kUniverseBit) != kSteam1 || (text[8] != '0' && text[8] != '1') || text[9] != ':') {
    return 0;
  }
  const std::size_t digits = text.size() - 10;
  uint64_t last = 0;
  std::memcpy(&last, text.data() + text.size() - 8, 8);
  if (digits < 8) {
    const uint64_t before = (uint64_t{1} << (8 * (8 - digits))) - 1;
    last = (last & ~before) | (kAsciiZeros & before);
  }
  if (!AreDigits(last)) return 0;
  uint64_t y = 0;
  for (std::size_t k = 10; k + 8 < text.size(); ++k) {  // the one or two digits before
    if (text[k] < '0' || text[k] > '9') return 0;
    y = y * 10 + static_cast<uint64_t>(text[k] - '0');
  }
  y = y * 100000000 + EightDigitsValue(last);
  const uint64_t account = 2 * y + static_cast<uint64_t>(text[8] - '0');
  return account <= UINT32_MAX ? account : 0;
}

// Whether two team names are the same.  Those of 8 to 16 bytes, as most
// are, are compared as two words (overlapping), without the call a
// comparison of any length costs: once a kill line.
bool SameTeam(std::string_view a, std::string_view b) {
  const std::size_t size = a.size();
  if (size != b.size()) return false;
  if (size < 8 || size > 16) return a == b;
  uint64_t words[4];
  std::memcpy(&words[0], a.data(), 8);
  std::memcpy(&words[1], a.data() + size - 8, 8);
  std::memcpy(&words[2], b.data(), 8);
  std::memcpy(&words[3], b.data() + size - 8, 8);
  return ((words[0] ^ words[2]) | (words[1] ^ words[3])) == 0;
}

// Asks the kernel to back the 2 MB pages within `bytes` at `data`, not yet
// touched, with huge pages.  The pair table reaches megabytes and each kill
// lands in it at random: with 4 KB pages nearly every one missed the
// address translation cache, and its prefetch stalled on the page walk.
// Only a request: where the kernel refuses, or has no such call, nothing
// changes but the speed.
void AskForHugePages([[maybe_unused]] void* data, [[maybe_unused]] std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
  const auto start = reinterpret_cast<uintptr_t>(data);
  const uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t end = (start + bytes) & ~(kHugePage - 1);
  if (end > first) {
    static_cast<void>(
        madvise(static_cast<char*>(data) + (first - start), end - first, MADV_HUGEPAGE));
  }
#endif
}

// Ids as written -> player index or -1, open addressing over one block
// of text: two lookups a kill line, so they are kept cheap.
class WrittenIds {
 public:
  static constexpr int64_t kMissing = INT64_MIN;
  static uint64_t Hash(std::string_view text);
  int64_t Find(std::string_view text, uint64_t hash) const;
  void Add(std::string_view text, uint64_t hash, int64_t index);

 private:
  struct Slot {
    uint64_t hash = 0;
    int64_t index = kMissing;  // kMissing marks a free slot
    std::size_t offset = 0;    // of the text in text_
    std::size_t length = 0;
  };
  std::size_t Home(uint64_t hash) const { return hash >> shift_; }
  std::vector<Slot> slots_ = std::vector<Slot>(kFirstSlots);  // a power of two, at most half used
  int shift_ = 64 - kFirstSlotsLog2;
  std::size_t used_ = 0;
  std::string text_;
};

// Account numbers (2Y + X of STEAM_0:X:Y and STEAM_1:X:Y, the ids nearly
// every line holds) -> player index: a number is found faster than a
// text, and every form of one account's id leads to the same number.
class AccountIndexes {
 public:
  static constexpr int64_t kMissing = INT64_MIN;
  // The index of `account` (1 to 2^32 - 1), or kMissing.  Inline, with
  // slots of eight bytes: two lookups a kill line, in a table the pair
  // sums keep pushing out of the nearest cache.
  int64_t Find(uint64_t account) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = Home(account);; at = (at + 1) & mask) {
      if (slots_[at].account == account) return slots_[at].index;
      if (slots_[at].account == 0) return kMissing;
    }
  }
  void Add(uint64_t account, int64_t index);

 private:
  struct Slot {
    uint32_t account = 0;  // 0, which no Steam id has, marks a free slot
    int32_t index = 0;     // a player index (far below 2^31) or -1
  };
  // Fibonacci hashing, as for the other tables.
  std::size_t Home(uint64_t account) const { return (account * 0x9E3779B97F4A7C15ULL) >> shift_; }
  // A power of two, at most an eighth used: with real account numbers,
  // which hash at random, a table half full sent about a lookup in three
  // past its first slot, and the loop's end was mispredicted; at an
  // eighth nearly every lookup ends at the first (8 bytes a slot, 32 KB
  // for 500 players).  Past a million slots (131072 players, far more
  // than servers see) half of them are used, so that a log naming
  // millions of players does not cost 64 to 128 bytes each here.
  static constexpr std::size_t kSlotsPerAccount = 8;
  static constexpr std::size_t kDenseSlotsPerAccount = 2;
  static constexpr std::size_t kDenseFrom = std::size_t{1} << 20;
  std::size_t SlotsPerAccount() const {
    return slots_.size() < kDenseFrom ? kSlotsPerAccount : kDenseSlotsPerAccount;
  }
  std::vector<Slot> slots_ = std::vector<Slot>(kFirstSlots);
  int shift_ = 64 - kFirstSlotsLog2;
  std::size_t used_ = 0;
};

// Weighted kills by killer << 32 | victim, open addressing: a kill line
// touches one slot, which a node-based map would chase through memory.
// Each kill's sum waits in `pending_` for the next few, so the memory of
// its slot can be fetched meanwhile; everything that reads the table
// settles them first.
class PairTable {
 public:
  void Add(uint64_t key, double weight);
  template <typename Visit>
  void ForEach(Visit visit) {
    Settle();
    for (const Slot& slot : slots_) {
      if (slot.key != kFree) visit(slot.key, slot.weight);
    }
  }
  void Scale(double factor);
  std::size_t size() const { return used_; }

 private:
  static constexpr uint64_t kFree = ~uint64_t{0};
  struct Slot {
    uint64_t key = kFree;
    double weight = 0;
  };
  double& operator[](uint64_t key);
  void Settle();
  void Grow();
  std::vector<Slot> slots_ = std::vector<Slot>(kFirstSlots);  // a power of two, at most half used
  int shift_ = 64 - kFirstSlotsLog2;                          // 64 - log2(slots_.size())
  std::size_t used_ = 0;
  // The last kLead kills, oldest first from pendingAt_; weight 0 marks an
  // empty place (a counted kill always weighs more).
  static constexpr std::size_t kLead = 4;
  struct Pending {
    uint64_t key = 0;
    double weight = 0;
  };
  Pending pending_[kLead];
  std::size_t pendingAt_ = 0;
};

void AccountIndexes::Add(uint64_t account, int64_t index) {
  if (SlotsPerAccount() * (used_ + 1) > slots_.size()) {
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    --shift_;
    used_ = 0;
    for (const Slot& slot : old) {
      if (slot.account != 0) Add(slot.account, slot.index);
    }
  }
  const std::size_t mask = slots_.size() - 1;
  std::size_t at = Home(account);
  while (slots_[at].account != 0) at = (at + 1) & mask;
  slots_[at] = Slot{static_cast<uint32_t>(account), static_cast<int32_t>(index)};
  ++used_;
}

uint64_t WrittenIds::Hash(std::string_view text) {
  // Eight bytes at a time, each mixed in by a multiplication; the top bits
  // of the result, which depend on every byte, pick the slot.
  uint64_t hash = text.size() * kMultiplier;
  std::size_t k = 0;
  for (; k + 8 <= text.size(); k += 8) {
    uint64_t word;
    std::memcpy(&word, text.data() + k, 8);
    hash = (hash ^ word) * kMultiplier;
    hash ^= hash >> 29;
  }
  uint64_t tail = 0;
  std::memcpy(&tail, text.data() + k, text.size() - k);
  hash = (hash ^ tail) * kMultiplier;
  return hash ^ (hash >> 32) * kMultiplier;
}

int64_t WrittenIds::Find(std::string_view text, uint64_t hash) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t at = Home(hash);; at = (at + 1) & mask) {
    const Slot& slot = slots_[at];
    if (slot.index == kMissing) return kMissing;
    if (slot.hash == hash && std::string_view(text_).substr(slot.offset, slot.length) == text) {
      return slot.index;
    }
  }
}

void WrittenIds::Add(std::string_view text, uint64_t hash, int64_t index) {
  if (2 * (used_ + 1) > slots_.size()) {
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    --shift_;
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
      if (slot.index == kMissing) continue;
      std::size_t at = Home(slot.hash);
      while (slots_[at].index != kMissing) at = (at + 1) & mask;
      slots_[at] = slot;
    }
  }
  const std::size_t mask = slots_.size() - 1;
  std::size_t at = Home(hash);
  while (slots_[at].index != kMissing) at = (at + 1) & mask;
  slots_[at] = Slot{hash, index, text_.size(), text.size()};
  text_.append(text);
  ++used_;
}

void PairTable::Add(uint64_t key, double weight) {
  __builtin_prefetch(&slots_[(key * kMultiplier) >> shift_]);
  Pending& oldest = pending_[pendingAt_];
  if (oldest.weight != 0) (*this)[oldest.key] += oldest.weight;
  oldest = Pending{key, weight};
  pendingAt_ = (pendingAt_ + 1) % kLead;
}

void PairTable::Settle() {
  for (Pending& pending : pending_) {
    if (pending.weight != 0) (*this)[pending.key] += pending.weight;
    pending = Pending{};
  }
}

double& PairTable::operator[](uint64_t key) {
  if (2 * (used_ + 1) > slots_.size()) Grow();
  const std::size_t mask = slots_.size() - 1;
  // Fibonacci hashing: the product's top bits depend on every bit of both
  // players' indexes.
  for (std::size_t at = (key * kMultiplier) >> shift_;; at = (at + 1) & mask) {
    Slot& slot = slots_[at];
    if (slot.key == key) return slot.weight;
    if (slot.key == kFree) {
      slot.key = key;
      ++used_;
      return slot.weight;
    }
  }
}

void PairTable::Grow() {
  std::vector<Slot> old;
  old.reserve(slots_.size() * 2);
  AskForHugePages(old.data(), old.capacity() * sizeof(Slot));
  old.resize(slots_.size() * 2);
  old.swap(slots_);
  --shift_;
  used_ = 0;
  for (const Slot& slot : old) {
    if (slot.key != kFree) (*this)[slot.key] = slot.weight;
  }
}

void PairTable::Scale(double factor) {
  Settle();
  for (Slot& slot : slots_) slot.weight *= factor;
}

// The kills between the players, each player's meetings in one run:
// opponent[m] and kills[m] (both ways) for m in [first[i], first[i + 1]).
struct Meetings {
  std::vector<std::size_t> first;
  std::vector<uint32_t> opponent;
  std::vector<double> kills;
};

// The order of `directed` by one side of each pair (`side` of the pair:
// first the killer, second the victim), ties in their order in `directed`:
// a counting sort, as the sides are player indexes below `players`.
template <typename Side>
std::vector<uint32_t> OrderBy(
    const std::vector<std::pair<std::pair<uint32_t, uint32_t>, double>>& directed,
    std::size_t players, Side side) {
  std::vector<uint32_t> start(players + 1, 0);
  for (const auto& entry : directed) ++start[side(entry.first) + 1];
  for (std::size_t i = 0; i < players; ++i) start[i + 1] += start[i];
  std::vector<uint32_t> order(directed.size());
  for (uint32_t k = 0; k < directed.size(); ++k) order[start[side(directed[k].first)]++] = k;
  return order;
}

Meetings MeetingsOf(const KillTally& tally) {
  // Each pair's kills both ways, under both players, in a fixed order (the
  // table's own depends on its history), so that the same kills give the
  // same sums and the same fit.  A player's run is filed in two halves,
  // each already in order of opponent: his kills, taken in order of
  // victim, then his deaths, in order of killer; the halves are merged,
  // and a pair who killed each other meets once, with the sum of both.
  const std::vector<std::pair<std::pair<uint32_t, uint32_t>, double>> directed = tally.PairKills();
  const std::size_t count = tally.Players().size();
  std::vector<std::size_t> start(count + 1, 0);
  for (const auto& [players, kills] : directed) {
    ++start[players.first + 1];
    ++start[players.second + 1];
  }
  for (std::size_t i = 0; i < count; ++i) start[i + 1] += start[i];
  std::vector<std::pair<uint32_t, double>> runs(2 * directed.size());
  std::vector<std::size_t> next(start.begin(), start.end() - 1);
  for (const uint32_t k : OrderBy(directed, count, [](auto pair) { return pair.second; })) {
    const auto& [players, kills] = directed[k];
    runs[next[players.first]++] = {players.second, kills};
  }
  std::vector<std::size_t> deathsStart = next;
  for (const uint32_t k : OrderBy(directed, count, [](auto pair) { return pair.first; })) {
    const auto& [players, kills] = directed[k];
    runs[next[players.second]++] = {players.first, kills};
  }
  Meetings m;
  m.first.assign(count + 1, 0);
  m.opponent.reserve(runs.size());
  m.kills.reserve(runs.size());
  for (std::size_t i = 0; i < count; ++i) {
    std::size_t kill = start[i];
    std::size_t death = deathsStart[i];
    const std::size_t killsEnd = deathsStart[i];
    const std::size_t deathsEnd = start[i + 1];
    while (kill < killsEnd || death < deathsEnd) {
      const bool fromKills =
          death == deathsEnd || (kill < killsEnd && runs[kill].first <= runs[death].first);
      const auto [opponent, kills] = fromKills ? runs[kill++] : runs[death++];
      if (m.opponent.size() > m.first[i] && m.opponent.back() == opponent) {
        m.kills.back() += kills;
      } else {
        m.opponent.push_back(opponent);
        m.kills.push_back(kills);
      }
    }
    m.first[i + 1] = m.opponent.size();
  }
  return m;
}

// log(e^a + e^b) without overflow.
double LogSumExp(double a, double b) {
  const double high = std::max(a, b);
  return high + std::log1p(std::exp(-std::abs(a - b)));
}

// The log of the posterior (up to a constant) at log-strengths `r`: each
// player's kills (and the prior's) times his log-strength, less every
// meeting's log(e^r_i + e^r_j), the prior's against r = 0 included.
double LogPosterior(const Meetings& m, const std::vector<double>& kills, double prior,
                    const std::vector<double>& r) {
  double sum = 0;
  for (std::size_t i = 0; i < r.size(); ++i) {
    sum += (kills[i] + prior) * r[i] - 2 * prior * LogSumExp(r[i], 0);
    for (std::size_t k = m.first[i]; k < m.first[i + 1]; ++k) {
      if (m.opponent[k] > i) sum -= m.kills[k] * LogSumExp(r[i], r[m.opponent[k]]);
    }
  }
  return sum;
}

double Chance(double r, double opponent) { return 1.0 / (1.0 + std::exp(opponent - r)); }

// Solves A x = b by conjugate gradients preconditioned with A's diagonal,
// where A x = diagonal * x - sum over meetings of coupling * x[opponent]
// (symmetric and positive definite: the prior makes it strictly
// diagonally dominant).
std::vector<double> SolveNewtonStep(const Meetings& m, const std::vector<double>& diagonal,
                                    const std::vector<double>& coupling,
                                    const std::vector<double>& b) {
  const std::size_t n = b.size();
  auto multiply = [&](const std::vector<double>& x, std::vector<double>& out) {
    for (std::size_t i = 0; i < n; ++i) {
      double sum = diagonal[i] * x[i];
      for (std::size_t k = m.first[i]; k < m.first[i + 1]; ++k)
        sum -= coupling[k] * x[m.opponent[k]];
      out[i] = sum;
    }
  };
  auto dot = [n](const std::vector<double>& a, const std::vector<double>& c) {
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum += a[i] * c[i];
    return sum;
  };
  std::vector<double> x(n, 0.0);
  std::vector<double> residual = b;
  std::vector<double> z(n);
  std::vector<double> direction(n);
  std::vector<double> product(n);
  for (std::size_t i = 0; i < n; ++i) z[i] = residual[i] / diagonal[i];
  direction = z;
  double rz = dot(residual, z);
  const double goal = 1e-24 * std::max(dot(b, b), 1e-300);
  for (std::size_t round = 0; round < 10 * n + 100 && dot(residual, residual) > goal; ++round) {
    multiply(direction, product);
    const double step = rz / dot(direction, product);
    for (std::size_t i = 0; i < n; ++i) {
      x[i] += step * direction[i];
      residual[i] -= step * product[i];
      z[i] = residual[i] / diagonal[i];
    }
    const double next = dot(residual, z);
    for (std::size_t i = 0; i < n; ++i) direction[i] = z[i] + next / rz * direction[i];
    rz = next;
  }
  return x;
}

// The gradient of the log posterior at `r`, and the negated Hessian as its
// diagonal and each meeting's coupling.
void NewtonSystem(const Meetings& m, const std::vector<double>& kills, double prior,
                  const std::vector<double>& r, std::vector<double>& gradient,
                  std::vector<double>& diagonal, std::vector<double>& coupling) {
  for (std::size_t i = 0; i < r.size(); ++i) {
    const double p0 = Chance(r[i], 0);
    gradient[i] = kills[i] + prior - 2 * prior * p0;
    diagonal[i] = 2 * prior * p0 * (1 - p0);
    for (std::size_t k = m.first[i]; k < m.first[i + 1]; ++k) {
      const double p = Chance(r[i], r[m.opponent[k]]);
      gradient[i] -= m.kills[k] * p;
      coupling[k] = m.kills[k] * p * (1 - p);
      diagonal[i] += coupling[k];
    }
  }
}

// Moves `r` along `step`, halved until the log posterior (`current`, kept
// up to date) does not fall; gives the share of the step taken.
double StepUphill(const Meetings& m, const std::vector<double>& kills, double prior,
                  const std::vector<double>& step, std::vector<double>& r, double& current) {
  std::vector<double> next(r.size());
  double scale = 1;
  for (int halvings = 0; halvings < 60; ++halvings) {
    for (std::size_t i = 0; i < r.size(); ++i) next[i] = r[i] + scale * step[i];
    const double value = LogPosterior(m, kills, prior, next);
    if (value >= current) {
      current = value;
      break;
    }
    scale /= 2;
  }
  r.swap(next);
  return scale;
}

}  // namespace

struct KillTally::Tables {
  AccountIndexes accounts;
  // Ids in forms other than STEAM_0:X:Y and STEAM_1:X:Y only.
  WrittenIds written;
  PairTable pairs;
};

KillTally::KillTally(double halfLifeDays, int64_t latestTime, std::size_t maxPlayers)
    : halfLifeSeconds_(halfLifeDays * 86400.0),
      lead_(static_cast<int64_t>(std::ceil(kReferenceLead * halfLifeSeconds_))),
      latestTime_(latestTime),
      maxPlayers_(maxPlayers),
      tables_(std::make_unique<Tables>()) {}

KillTally::KillTally(KillTally&&) noexcept = default;
KillTally& KillTally::operator=(KillTally&&) noexcept = default;
KillTally::~KillTally() = default;

std::string KillTally::Player::Id() const {
  return "STEAM_0:" + std::to_string(account & 1) + ":" + std::to_string(account >> 1);
}

int64_t KillTally::IndexOf(std::string_view writtenId) {
  const uint64_t account = SteamAccount(writtenId);
  if (account == 0) return IndexOfText(writtenId);
  // Found here, not in a call: two lookups a kill line.
  const int64_t index = tables_->accounts.Find(account);
  return index != AccountIndexes::kMissing ? index : AddPlayer(account);
}

int64_t KillTally::IndexOfAccount(uint64_t account) {
  const int64_t index = tables_->accounts.Find(account);
  return index != AccountIndexes::kMissing ? index : AddPlayer(account);
}

int64_t KillTally::AddPlayer(uint64_t account) {
  if (players_.size() >= maxPlayers_) {
    full_ = true;
    return -1;
  }
  const auto index = static_cast<int64_t>(players_.size());
  players_.push_back(Player{static_cast<uint32_t>(account), 0, 0});
  weightedKills_.push_back(0);
  tables_->accounts.Add(account, index);
  return index;
}

int64_t KillTally::IndexOfText(std::string_view writtenId) {
  const uint64_t hash = WrittenIds::Hash(writtenId);
  if (const int64_t found = tables_->written.Find(writtenId, hash); found != WrittenIds::kMissing) {
    return found;
  }
  int64_t index = -1;
  // The plugin's form of any other form is one SteamAccount reads.
  if (const std::optional<std::string> id = NormalizeSteamId(writtenId)) {
    index = IndexOfAccount(SteamAccount(*id));
  }
  if (!full_) tables_->written.Add(writtenId, hash, index);
  return index;
}

void KillTally::Rescale(double factor) {
  tables_->pairs.Scale(factor);
  for (double& kills : weightedKills_) kills *= factor;
}

void KillTally::StartWeights(int64_t time) {
  haveTime_ = true;
  reference_ = time + lead_;
  newest_ = time;
  // Made with the first kill, not with the tally: a tally that never
  // counts one (a test's, say) need not pay 4096 powers for it.
  decayWithinBlock_.resize(kDecayBlock);
  for (uint64_t age = 0; age < kDecayBlock; ++age) {
    decayWithinBlock_[age] = std::exp2(-static_cast<double>(age) / halfLifeSeconds_);
  }
}

void KillTally::MoveReference(int64_t time) {
  const int64_t next = time + lead_;
  Rescale(std::exp2(static_cast<double>(reference_ - next) / halfLifeSeconds_));
  reference_ = next;
}

void KillTally::MoveDecayBlock(uint64_t block) {
  decayBlock_ = block;
  blockDecay_ = std::exp2(-static_cast<double>(block * kDecayBlock) / halfLifeSeconds_);
}

// Kept apart from the rare steps above, so that it can be inlined into Add.
inline double KillTally::WeightAt(int64_t time) {
  if (halfLifeSeconds_ <= 0) return 1.0;
  if (!haveTime_) StartWeights(time);
  if (time > reference_) MoveReference(time);
  newest_ = std::max(newest_, time);
  // Never negative: the reference is at or after every kill.
  const auto age = static_cast<uint64_t>(reference_ - time);
  const uint64_t block = age / kDecayBlock;
  if (block != decayBlock_) MoveDecayBlock(block);
  return blockDecay_ * decayWithinBlock_[age % kDecayBlock];
}

KillVerdict KillTally::Add(const KillLine& kill) {
  if (kill.time > latestTime_) return KillVerdict::Future;
  const int64_t killer = IndexOf(kill.killerId);
  const int64_t victim = IndexOf(kill.victimId);
  if (killer < 0 || victim < 0) return KillVerdict::NotSteam;
  if (killer == victim) return KillVerdict::Suicide;
  if (SameTeam(kill.killerTeam, kill.victimTeam)) return KillVerdict::TeamKill;
  const double weight = WeightAt(kill.time);
  ++players_[killer].kills;
  ++players_[victim].deaths;
  weightedKills_[killer] += weight;
  tables_->pairs.Add(PairKey(static_cast<uint32_t>(killer), static_cast<uint32_t>(victim)), weight);
  return KillVerdict::Counted;
}

double KillTally::FinalFactor() const {
  if (halfLifeSeconds_ <= 0 || !haveTime_) return 1.0;
  return std::exp2(static_cast<double>(reference_ - newest_) / halfLifeSeconds_);
}

std::vector<std::pair<std::pair<uint32_t, uint32_t>, double>> KillTally::PairKills() const {
  const double factor = FinalFactor();
  std::vector<std::pair<std::pair<uint32_t, uint32_t>, double>> pairs;
  pairs.reserve(tables_->pairs.size());
  tables_->pairs.ForEach([&pairs, factor](uint64_t key, double weight) {
    pairs.push_back(
        {{static_cast<uint32_t>(key >> 32), static_cast<uint32_t>(key)}, weight * factor});
  });
  return pairs;
}

std::vector<double> KillTally::WeightedKills() const {
  const double factor = FinalFactor();
  std::vector<double> kills = weightedKills_;
  for (double& k : kills) k *= factor;
  return kills;
}

Fit FitStrengths(const KillTally& tally, double priorGames, int maxRounds) {
  const std::size_t count = tally.Players().size();
  const Meetings m = MeetingsOf(tally);
  const std::vector<double> kills = tally.WeightedKills();

  // Newton's method on the log-strengths: the log posterior is concave (and
  // strictly so with the prior), so each step solves its quadratic model
  // and a halving line search keeps every step an ascent.
  Fit fit;
  std::vector<double> r(count, 0.0);
  std::vector<double> gradient(count);
  std::vector<double> diagonal(count);
  std::vector<double> coupling(m.kills.size());
  double current = LogPosterior(m, kills, priorGames, r);
  while (fit.rounds < maxRounds && !fit.converged) {
    ++fit.rounds;
    NewtonSystem(m, kills, priorGames, r, gradient, diagonal, coupling);
    const std::vector<double> step = SolveNewtonStep(m, diagonal, coupling, gradient);
    double largest = 0;
    for (const double d : step) largest = std::max(largest, std::abs(d));
    const double scale = StepUphill(m, kills, priorGames, step, r, current);
    // A relative change of strength below 1e-10 moves no value.
    fit.converged = scale * largest < 1e-10;
  }
  fit.strength.resize(count);
  for (std::size_t i = 0; i < count; ++i) fit.strength[i] = std::exp(r[i]);
  return fit;
}

}  // namespace kelvalues
