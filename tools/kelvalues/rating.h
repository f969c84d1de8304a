// Rating players from the kills between them: a Bradley-Terry model of
// "killer beats victim", fitted to all kills at once.
//
// Each player i has a strength s_i > 0; when i and j meet and one kills the
// other, i is the killer with probability s_i / (s_i + s_j).  The fit finds
// the strengths that make the kills seen most probable, together with a
// prior of kPriorGames kills and as many deaths against an average player
// (strength 1) for everyone, which keeps a player seen in few kills near the
// average and gives an unbeaten player a finite strength.  Older kills can
// count less: with a half-life H days a kill D days older than the newest
// one counts 2^(-D/H).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelvalues {

struct KillLine;

// Virtual kills, and as many deaths, against a player of strength 1 that
// every player's own kills are weighed with.
inline constexpr double kPriorGames = 2.0;

// What a kill line between two players came to.
enum class KillVerdict : uint8_t {
  Counted,
  NotSteam,  // the killer or the victim has no Steam id (bots among them)
  Suicide,   // the same player, perhaps under two forms of his id
  TeamKill,  // both on the same team
  Future,    // dated after the tally's latest time: a wrong clock, never a kill to weigh
};

// The kills read so far, aggregated as they come: memory grows with the
// players and the pairs of players who met, never with the number of lines.
class KillTally {
 public:
  // Kept small: a hostile log can name millions of players.
  struct Player {
    uint32_t account = 0;    // 2Y + X of STEAM_0:X:Y
    uint64_t kills = 0;      // counted kills, each whole whatever its age
    uint64_t deaths = 0;     // counted deaths
    std::string Id() const;  // STEAM_0:X:Y
  };

  static constexpr int64_t kNoLatestTime = INT64_MAX;
  static constexpr std::size_t kNoPlayerLimit = SIZE_MAX;

  // `halfLifeDays` > 0 weighs kills by age; 0 counts every kill as 1.
  // Kills dated after `latestTime` (seconds since 1970 as if UTC, as log
  // dates are) are not counted.  Kills that would bring more than
  // `maxPlayers` players are not counted either, and make the tally full.
  explicit KillTally(double halfLifeDays = 0, int64_t latestTime = kNoLatestTime,
                     std::size_t maxPlayers = kNoPlayerLimit);

  // Counts one kill line (as read by ReadLogLine).
  KillVerdict Add(const KillLine& kill);

  // Whether a kill named a player beyond the limit: what was read since is
  // incomplete, and reading may stop.
  bool Full() const { return full_; }

  const std::vector<Player>& Players() const { return players_; }
  // The weighted kills of each pair that met, as (killer, victim) indexes
  // into Players() and the weight, in no particular order.  The newest
  // kill read counts 1.
  std::vector<std::pair<std::pair<uint32_t, uint32_t>, double>> PairKills() const;
  // Each player's weighted kills, on the same scale as PairKills().
  std::vector<double> WeightedKills() const;

 private:
  // The player index of an id as written, -1 for no Steam id (or none
  // left under the limit).
  int64_t IndexOf(std::string_view writtenId);
  int64_t IndexOfText(std::string_view writtenId);
  int64_t IndexOfAccount(uint64_t account);
  // The index of a new player, or -1 when the limit is reached.
  int64_t AddPlayer(uint64_t account);
  double WeightAt(int64_t time);
  double Decay(int64_t age);
  void Rescale(double factor);
  // The factor that brings the weights to "the newest kill counts 1".
  double FinalFactor() const;

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
    std::vector<Slot> slots_ = std::vector<Slot>(1024);  // a power of two, at most half used
    int shift_ = 64 - 10;
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
    std::vector<Slot> slots_ = std::vector<Slot>(1024);
    int shift_ = 64 - 10;
    std::size_t used_ = 0;
  };

  double halfLifeSeconds_;
  int64_t lead_;  // seconds from the newest kill to reference_ when it moves
  int64_t latestTime_;
  std::size_t maxPlayers_;
  bool full_ = false;
  AccountIndexes accounts_;
  // Ids in forms other than STEAM_0:X:Y and STEAM_1:X:Y only.
  WrittenIds written_;
  std::vector<Player> players_;
  std::vector<double> weightedKills_;  // by player, relative to reference_
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
    std::vector<Slot> slots_ = std::vector<Slot>(1024);  // a power of two, at most half used
    int shift_ = 64 - 10;                                // 64 - log2(slots_.size())
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
  mutable PairTable pairs_;  // mutable: reading settles the pending sums

  // Weights are kept relative to reference_, a time at or after every kill
  // read, so each is at most 1 and at least 2^-16 for the newest kills;
  // when a later kill passes it, it moves on and everything is rescaled.
  bool haveTime_ = false;
  int64_t reference_ = 0;
  int64_t newest_ = 0;
  // 2^(-age / half-life) for ages within one block of kDecayBlock seconds
  // from a table, times the block's own weight, worked out again only when
  // the block changes: kills come mostly in order of time, and one exp2 for
  // each second of log with a kill cost more than reading its line.  The
  // product may differ from the exact power in its last bit.
  static constexpr int64_t kDecayBlock = 4096;
  std::vector<double> decayWithinBlock_;
  int64_t decayBlock_ = -1;
  double blockDecay_ = 1;
};

struct Fit {
  std::vector<double> strength;  // by player index; the prior's average player is 1
  int rounds = 0;
  bool converged = false;
};

// Fits the strengths of every player in `tally` that make his kills, and
// the prior's, most probable (Newton's method on the log-strengths, each
// step solved by conjugate gradients), until a round moves no strength by
// a relative 1e-10, or `maxRounds` rounds have run.  `priorGames` > 0.
Fit FitStrengths(const KillTally& tally, double priorGames = kPriorGames, int maxRounds = 200);

}  // namespace kelvalues
