#include "log_reader.h"

#include <zlib.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && !defined(KELVALUES_PORTABLE_ONLY)
#include <immintrin.h>
#define KELVALUES_AVX512 1
#endif

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <system_error>

#include "command_line.h"
#include "rating.h"

namespace kelvalues {
namespace {

constexpr std::string_view kKilled = "\" killed \"";
constexpr std::string_view kWith = "\" with \"";
constexpr std::string_view kCommittedSuicide = "\" committed suicide with \"";

// "L MM/DD/YYYY - HH:MM:SS: " and what it takes to be one.
constexpr std::size_t kFrameBytes = 25;

bool Digits(std::string_view text, std::size_t at, std::size_t count, int& value) {
  value = 0;
  for (std::size_t k = at; k < at + count; ++k) {
    const char c = text[k];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

// Days from 1970-01-01 to the given date of the proleptic Gregorian
// calendar (Howard Hinnant's days_from_civil).
int64_t DaysFromCivil(int year, int month, int day) {
  const int y = year - (month <= 2 ? 1 : 0);
  const int era = y / 400;  // years are 0..9999 here, never negative
  const int yearOfEra = y - era * 400;
  const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return int64_t{era} * 146097 + dayOfEra - 719468;
}

// The seconds since midnight of the frame's "HH:MM:SS: ", or -1.
int64_t ReadTimeOfDay(std::string_view line) {
  if (line[17] != ':' || line[20] != ':' || line.substr(23, 2) != ": ") return -1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  if (!Digits(line, 15, 2, hour) || !Digits(line, 18, 2, minute) || !Digits(line, 21, 2, second) ||
      hour > 23 || minute > 59 || second > 60) {
    return -1;
  }
  return int64_t{hour} * 3600 + int64_t{minute} * 60 + second;
}

// The frame's time, or false when the line has no well-formed frame.
bool ReadFrame(std::string_view line, int64_t& time, FrameMemo* memo) {
  if (line.size() < kFrameBytes) return false;
  constexpr std::size_t kMemoBytes = sizeof memo->text;
  if (memo && memo->valid && std::memcmp(line.data(), memo->text, kMemoBytes) == 0) {
    const int64_t ofDay = ReadTimeOfDay(line);
    time = memo->dayStart + ofDay;
    return ofDay >= 0;
  }
  if (line[0] != 'L' || line[1] != ' ' || line[4] != '/' || line[7] != '/' ||
      line.substr(12, 3) != " - ") {
    return false;
  }
  int month = 0;
  int day = 0;
  int year = 0;
  if (!Digits(line, 2, 2, month) || !Digits(line, 5, 2, day) || !Digits(line, 8, 4, year) ||
      month < 1 || month > 12 || day < 1 || day > 31) {
    return false;
  }
  const int64_t ofDay = ReadTimeOfDay(line);
  if (ofDay < 0) return false;
  const int64_t dayStart = DaysFromCivil(year, month, day) * 86400;
  time = dayStart + ofDay;
  if (memo) {
    std::memcpy(memo->text, line.data(), kMemoBytes);
    memo->dayStart = dayStart;
    memo->valid = true;
  }
  return true;
}

bool HoldsAny(std::string_view text, std::string_view bytes) {
  return text.find_first_of(bytes) != std::string_view::npos;
}

enum class Side : uint8_t { Player, World, BadName, Malformed };

// One side of a kill, "Name<uid><id><team>" without its quotes, read from
// its end: the name is what stands before the last three bracketed parts.
Side ReadPlayer(std::string_view text, std::string_view& id, std::string_view& team) {
  if (!HoldsAny(text, "<>\"")) return Side::World;  // "world", a map entity
  auto bracketed = [&text](std::string_view& part) {
    if (text.empty() || text.back() != '>') return false;
    const std::size_t open = text.rfind('<');
    if (open == std::string_view::npos) return false;
    part = text.substr(open + 1, text.size() - open - 2);
    text = text.substr(0, open);
    return true;
  };
  std::string_view uid;
  if (!bracketed(team) || !bracketed(id) || !bracketed(uid)) {
    return HoldsAny(text, "\"") ? Side::BadName : Side::Malformed;
  }
  // What is left is the name.
  if (HoldsAny(text, "<>\"")) return Side::BadName;
  if (HoldsAny(id, "\"") || HoldsAny(team, "\"") || HoldsAny(uid, "\"")) return Side::BadName;
  const std::string_view digits = !uid.empty() && uid[0] == '-' ? uid.substr(1) : uid;
  if (digits.empty() || digits.size() > 10 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return Side::Malformed;
  }
  return id.empty() ? Side::World : Side::Player;
}

LineKind ReadKill(std::string_view event, std::size_t killedAt, KillLine& kill) {
  if (event[0] != '"') return LineKind::Malformed;
  const std::string_view killer = event.substr(1, killedAt - 1);
  const std::string_view rest = event.substr(killedAt + kKilled.size());
  const std::size_t withAt = rest.rfind(kWith);
  if (withAt == std::string_view::npos) return LineKind::Malformed;
  const std::string_view victim = rest.substr(0, withAt);
  const std::string_view weapon = rest.substr(withAt + kWith.size());
  if (weapon.size() < 2 || weapon.back() != '"' ||
      HoldsAny(weapon.substr(0, weapon.size() - 1), "\"")) {
    return LineKind::Malformed;
  }
  const Side killerSide = ReadPlayer(killer, kill.killerId, kill.killerTeam);
  const Side victimSide = ReadPlayer(victim, kill.victimId, kill.victimTeam);
  for (const Side worst : {Side::Malformed, Side::BadName, Side::World}) {
    if (killerSide == worst || victimSide == worst) {
      return worst == Side::Malformed ? LineKind::Malformed
             : worst == Side::BadName ? LineKind::BadName
                                      : LineKind::World;
    }
  }
  return LineKind::Kill;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

constexpr uint64_t kHighBits = 0x8080808080808080ULL;  // of each byte of a word

// Where '"', '<' and '>' stand in a line's event, the first kMaxMarks of
// them, and where the bytes beyond ASCII begin and end.  Positions fit a
// byte: longer events, which servers never write for a kill (a name has at
// most 31 bytes), are never read the quick way.
struct Marks {
  static constexpr int kMaxMarks = 19;  // a kill has 18; one more says it is none
  // A block's marks are written eight positions a byte of its mask,
  // whatever the byte holds: up to 63 places past the count.
  static constexpr int kBlindWrites = 64;
  uint8_t at[kMaxMarks + kBlindWrites];
  // The mark at each position, where the way of finding them gathers them
  // too (the wide way does so in one instruction, the others would need a
  // load for each, no cheaper than looking at the line where it is needed).
  char kind[kMaxMarks + kBlindWrites];
  bool kindsKnown = false;
  int count = 0;
  std::size_t firstHigh = SIZE_MAX;  // the first byte beyond ASCII, if any
  std::size_t lastHigh = 0;          // the last one
};

bool IsMark(char c) { return c == '"' || c == '<' || c == '>'; }

// Notes the bytes beyond ASCII of a block of 64 at `offset`, bit b of
// `highs` standing for the byte at `offset` + b.
void NoteHighs(uint64_t highs, std::size_t offset, Marks& marks) {
  if (highs == 0) return;
  marks.firstHigh = std::min(marks.firstHigh, offset + __builtin_ctzll(highs));
  marks.lastHigh = offset + 63 - __builtin_clzll(highs);
}

#if defined(__SSE2__)
// For each byte value, the positions of its set bits (lowest first, the
// rest of the eight places 0) and how many there are.
struct BitPositions {
  uint8_t at[256][8] = {};
  uint8_t count[256] = {};
};

constexpr BitPositions MakeBitPositions() {
  BitPositions table;
  for (int value = 0; value < 256; ++value) {
    int count = 0;
    for (int bit = 0; bit < 8; ++bit) {
      if ((value >> bit & 1) != 0) table.at[value][count++] = static_cast<uint8_t>(bit);
    }
    table.count[value] = static_cast<uint8_t>(count);
  }
  return table;
}

constexpr BitPositions kBitPositions = MakeBitPositions();

// Adds the marks of one block, bit b of `found` standing for the byte at
// `base` + b; false when the marks are more than kMaxMarks (the count then
// stops at kMaxMarks, every position below it written).  Each byte of the
// mask is looked up and its eight places written at once, so no step waits
// for the one before, as peeling the marks off one by one would.
bool AddBlockMarks(uint64_t found, uint8_t base, Marks& marks) {
  uint8_t* const out = marks.at + marks.count;
  __m128i byteBase = _mm_set1_epi8(static_cast<char>(base));
  const __m128i eight = _mm_set1_epi8(8);
  int held = 0;
  for (int byte = 0; byte < 8; ++byte) {
    const auto bits = static_cast<uint8_t>(found >> (8 * byte));
    const __m128i places =
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kBitPositions.at[bits]));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + held), _mm_add_epi8(places, byteBase));
    byteBase = _mm_add_epi8(byteBase, eight);
    held += kBitPositions.count[bits];
  }
  if (marks.count + held > Marks::kMaxMarks) {
    marks.count = Marks::kMaxMarks;
    return false;
  }
  marks.count += held;
  return true;
}

// The marks and the bytes beyond ASCII among the 64 bytes at `bytes`.
void ClassifyBlock(const char* bytes, uint64_t& found, uint64_t& highs) {
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i less = _mm_set1_epi8('<');
  const __m128i greater = _mm_set1_epi8('>');
  found = 0;
  highs = 0;
  for (std::size_t part = 0; part < 4; ++part) {
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * part));
    const __m128i m = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(b, quote), _mm_cmpeq_epi8(b, less)),
                                   _mm_cmpeq_epi8(b, greater));
    found |= uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(m))} << (16 * part);
    highs |= uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(b))} << (16 * part);
  }
}
#endif

#if defined(KELVALUES_AVX512)
// FindMarks where the processor has AVX-512 with VBMI2: a block's bytes are
// compared at once, and the positions of its marks gathered in one
// instruction.  Loads are masked at the event's end, so no byte beyond it
// is read and no block is read twice.
__attribute__((target("avx512f,avx512bw,avx512vbmi2,popcnt"))) void FindMarksAvx512(
    std::string_view event, Marks& marks) {
  const char* const start = event.data();
  const std::size_t size = event.size();
  const __m512i quote = _mm512_set1_epi8('"');
  const __m512i less = _mm512_set1_epi8('<');
  const __m512i greater = _mm512_set1_epi8('>');
  alignas(64) static constexpr uint8_t kPlaces[64] = {
      0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
      22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43,
      44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63};
  const __m512i places = _mm512_load_si512(kPlaces);
  marks.kindsKnown = true;
  for (std::size_t k = 0; k < size; k += 64) {
    const __mmask64 inside = size - k >= 64 ? ~__mmask64{0} : (__mmask64{1} << (size - k)) - 1;
    const __m512i bytes = _mm512_maskz_loadu_epi8(inside, start + k);
    const __mmask64 found = _mm512_cmpeq_epi8_mask(bytes, quote) |
                            _mm512_cmpeq_epi8_mask(bytes, less) |
                            _mm512_cmpeq_epi8_mask(bytes, greater);
    NoteHighs(_mm512_movepi8_mask(bytes), k, marks);
    if (found == 0) continue;
    const int held = __builtin_popcountll(found);
    // All 64 places are written, the block's positions first (the rest
    // into the blind places).
    _mm512_storeu_si512(marks.at + marks.count,
                        _mm512_add_epi8(_mm512_maskz_compress_epi8(found, places),
                                        _mm512_set1_epi8(static_cast<char>(k))));
    _mm512_storeu_si512(marks.kind + marks.count, _mm512_maskz_compress_epi8(found, bytes));
    if (marks.count + held > Marks::kMaxMarks) {
      marks.count = Marks::kMaxMarks;
      return;
    }
    marks.count += held;
  }
}

// Asked while globals are set up, perhaps before the compiler's runtime has
// looked at the processor itself: hence the explicit init.
bool HasAvx512() noexcept {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512vbmi2");
}

bool wideMarkFinding = HasAvx512();
#endif

// Finds the marks of `event`, 64 bytes at a time where the processor has
// SSE2 (every x86-64 does) and the event is that long, a byte at a time
// otherwise.
void FindMarks(std::string_view event, Marks& marks) {
#if defined(KELVALUES_AVX512)
  if (wideMarkFinding) {
    FindMarksAvx512(event, marks);
    return;
  }
#endif
  const char* const start = event.data();
  const std::size_t size = event.size();
#if defined(__SSE2__)
  constexpr std::size_t kBlock = 64;
  if (size >= kBlock) {
    // Whole blocks, then the last 64 bytes, of which those already seen are
    // masked off (no byte beyond the event is read).
    for (std::size_t k = 0; k < size; k += kBlock) {
      uint64_t fresh = ~uint64_t{0};
      if (k + kBlock > size) {
        fresh <<= k - (size - kBlock);
        k = size - kBlock;
      }
      uint64_t found = 0;
      uint64_t highs = 0;
      ClassifyBlock(start + k, found, highs);
      NoteHighs(highs & fresh, k, marks);
      if (!AddBlockMarks(found & fresh, static_cast<uint8_t>(k), marks)) break;
    }
    return;
  }
#endif
  for (std::size_t k = 0; k < size; ++k) {
    if (static_cast<unsigned char>(start[k]) >= 0x80) {
      marks.firstHigh = std::min(marks.firstHigh, k);
      marks.lastHigh = k;
    }
    if (!IsMark(start[k])) continue;
    if (marks.count == Marks::kMaxMarks) return;
    marks.at[marks.count++] = static_cast<uint8_t>(k);
  }
}

// Whether the `count` bytes at `at` in `text` are all digits: eight at a
// time where eight bytes from `at` lie in `text`, as user ids of any length
// (the loop's end, at a varying count, was mispredicted a line in four).
bool AllDigits(std::string_view text, std::size_t at, std::size_t count) {
  if (count <= 8 && text.size() - at >= 8) {
    uint64_t word = 0;
    std::memcpy(&word, text.data() + at, 8);
    const uint64_t kept = count == 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * count)) - 1;
    constexpr uint64_t kHighNibbles = 0xF0F0F0F0F0F0F0F0ULL;
    constexpr uint64_t kThrees = 0x3030303030303030ULL;
    // '0' to '9' have high nibble 3, and adding 6 keeps it 3.
    return ((word & kHighNibbles & kept) == (kThrees & kept)) &&
           (((word + 0x0606060606060606ULL) & kHighNibbles & kept) == (kThrees & kept));
  }
  for (std::size_t k = at; k < at + count; ++k) {
    if (!IsDigit(text[k])) return false;
  }
  return true;
}

constexpr std::string_view kKilledWord = " killed ";
constexpr std::string_view kWithWord = " with ";
constexpr std::string_view kSuicideWords = " committed suicide with ";

// Checks the player at marks first..first+7 ("NAME<UID><ID><TEAM>": the
// name, the id and the team free of marks, the user id at most 10 digits,
// perhaps negative) and takes his id and team.
bool TakePlayer(std::string_view event, const Marks& marks, int first, std::string_view& id,
                std::string_view& team) {
  const uint8_t* m = marks.at + first;
  const char* e = event.data();
  const bool marksRight = marks.kindsKnown ? std::memcmp(marks.kind + first, "\"<><><>\"", 8) == 0
                                           : e[m[0]] == '"' && e[m[1]] == '<' && e[m[2]] == '>' &&
                                                 e[m[3]] == '<' && e[m[4]] == '>' &&
                                                 e[m[5]] == '<' && e[m[6]] == '>' && e[m[7]] == '"';
  if (!marksRight || m[3] != m[2] + 1 || m[5] != m[4] + 1 || m[7] != m[6] + 1) {
    return false;
  }
  uint32_t digits = m[1] + 1;
  if (digits < m[2] && e[digits] == '-') ++digits;
  if (digits == m[2] || m[2] - digits > 10) return false;
  if (!AllDigits(event, digits, m[2] - digits)) return false;
  id = std::string_view(e + m[3] + 1, m[4] - m[3] - 1);
  team = std::string_view(e + m[5] + 1, m[6] - m[5] - 1);
  return true;
}

// The common lines read the quick way: a player's event, and a kill of one
// player by another written as servers write it.  False when the line is
// none of these and needs the careful reading.
bool ReadQuickly(std::string_view event, KillLine& kill, LineKind& kind) {
  if (event.size() > UINT8_MAX) return false;
  Marks marks;
  FindMarks(event, marks);
  if (marks.count < 8 || marks.at[0] != 0 ||
      !TakePlayer(event, marks, 0, kill.killerId, kill.killerTeam)) {
    return false;
  }
  const std::string_view verb(event.data() + marks.at[7] + 1, event.size() - marks.at[7] - 1);
  if (!verb.starts_with(kKilledWord)) {
    kind = verb.starts_with(kSuicideWords) ? LineKind::Suicide : LineKind::OtherEvent;
    return true;
  }
  // A kill: 18 marks, the victim's 8 right after " killed ", the weapon's
  // quotes after " with ", the last closing the line.
  if (marks.count != 18 || marks.at[8] != marks.at[7] + 1 + kKilledWord.size() ||
      !TakePlayer(event, marks, 8, kill.victimId, kill.victimTeam) ||
      marks.at[16] != marks.at[15] + 1 + kWithWord.size() ||
      std::memcmp(event.data() + marks.at[15] + 1, kWithWord.data(), kWithWord.size()) != 0 ||
      event[marks.at[16]] != '"' || event[marks.at[17]] != '"' ||
      marks.at[17] != event.size() - 1 || marks.at[17] == marks.at[16] + 1) {
    return false;
  }
  // Only the bytes from the first beyond ASCII to the last can make the
  // event invalid UTF-8: all else is ASCII.
  const bool badUtf8 =
      marks.firstHigh <= marks.lastHigh &&
      !IsValidUtf8(event.substr(marks.firstHigh, marks.lastHigh + 1 - marks.firstHigh));
  kind = badUtf8                                          ? LineKind::BadUtf8
         : kill.killerId.empty() || kill.victimId.empty() ? LineKind::World
                                                          : LineKind::Kill;
  return true;
}

}  // namespace

bool SetWideMarkFinding([[maybe_unused]] bool wanted) {
#if defined(KELVALUES_AVX512)
  wideMarkFinding = wanted && HasAvx512();
  return wideMarkFinding;
#else
  return false;
#endif
}

namespace {

// The length of the UTF-8 sequence at `k` (2 to 4), or 0 when no valid
// sequence starts there: no overlong forms, no surrogates, nothing above
// U+10FFFF.
std::size_t SequenceLength(const unsigned char* bytes, std::size_t k, std::size_t size) {
  const unsigned char lead = bytes[k];
  std::size_t more = 0;
  unsigned char low = 0x80;  // bounds of the first continuation byte
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    more = 1;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    more = 2;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    more = 3;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (size - k <= more || bytes[k + 1] < low || bytes[k + 1] > high) return 0;
  for (std::size_t c = 2; c <= more; ++c) {
    if (bytes[k + c] < 0x80 || bytes[k + c] > 0xBF) return 0;
  }
  return more + 1;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  std::size_t k = 0;
  while (k < size) {
    // Eight bytes at a time while they are ASCII, as log lines mostly are.
    uint64_t word = 0;
    if (size - k >= 8 && (std::memcpy(&word, bytes + k, 8), (word & kHighBits) == 0)) {
      k += 8;
    } else if (bytes[k] < 0x80) {
      ++k;
    } else {
      const std::size_t length = SequenceLength(bytes, k, size);
      if (length == 0) return false;
      k += length;
    }
  }
  return true;
}

LineKind ReadLogLine(std::string_view line, KillLine& kill, FrameMemo* memo, bool* quickly) {
  if (quickly) *quickly = false;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.empty()) return LineKind::Blank;
  if (!ReadFrame(line, kill.time, memo)) return LineKind::Malformed;
  const std::string_view event = line.substr(kFrameBytes);
  LineKind kind;
  if (ReadQuickly(event, kill, kind)) {
    if (quickly) *quickly = true;
    return kind;
  }
  const std::size_t killedAt = event.find(kKilled);
  if (killedAt == std::string_view::npos) {
    return event.find(kCommittedSuicide) != std::string_view::npos ? LineKind::Suicide
                                                                   : LineKind::OtherEvent;
  }
  if (!IsValidUtf8(event)) return LineKind::BadUtf8;
  return ReadKill(event, killedAt, kill);
}

void TallyLine(std::string_view line, KillTally& tally, LogCounts& counts, FrameMemo* memo) {
  KillLine kill;
  const LineKind kind = ReadLogLine(line, kill, memo);
  if (kind != LineKind::Blank) ++counts.lines;
  switch (kind) {
    case LineKind::Kill:
      switch (tally.Add(kill)) {
        case KillVerdict::Counted:
          ++counts.counted;
          break;
        case KillVerdict::NotSteam:
          ++counts.notSteam;
          break;
        case KillVerdict::Suicide:
          ++counts.suicides;
          break;
        case KillVerdict::TeamKill:
          ++counts.teamKills;
          break;
      }
      break;
    case LineKind::Suicide:
      ++counts.suicides;
      break;
    case LineKind::World:
      ++counts.world;
      break;
    case LineKind::OtherEvent:
      ++counts.otherEvents;
      break;
    case LineKind::Blank:
      break;
    case LineKind::BadName:
      ++counts.badNames;
      break;
    case LineKind::BadUtf8:
      ++counts.badUtf8;
      break;
    case LineKind::Malformed:
      ++counts.malformed;
      break;
  }
}

namespace {

bool IsLogName(const std::filesystem::path& path) {
  const std::string name = path.filename().string();
  auto endsWith = [&name](std::string_view end) {
    return name.size() >= end.size() &&
           name.compare(name.size() - end.size(), end.size(), end) == 0;
  };
  return endsWith(".log") || endsWith(".gz");
}

}  // namespace

namespace {

// Adds below `folder`, at any depth, every regular file named as a log;
// false, with `error`, when the folder cannot be read.
bool AddLogFolder(const std::string& folder, const std::function<void(const std::string&)>& add,
                  std::string& error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    std::error_code fileError;
    if (it->is_regular_file(fileError) && IsLogName(it->path())) add(it->path().string());
  }
  if (ec) {
    error = "cannot read the folder " + QuoteArgument(folder) + ": " + ec.message();
    return false;
  }
  return true;
}

}  // namespace

bool ListLogFiles(const std::vector<std::string>& paths, std::vector<std::string>& files,
                  std::string& error) {
  namespace fs = std::filesystem;
  // Keyed by the canonical path, so a file named twice (or also found in a
  // folder named) is read once.
  std::set<std::string> seen;
  std::vector<std::string> found;
  const std::function<void(const std::string&)> add = [&](const std::string& path) {
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(path, ec);
    if (seen.insert(ec ? path : canonical.string()).second) found.push_back(path);
  };
  for (const std::string& text : paths) {
    std::error_code ec;
    const fs::file_status status = fs::status(text, ec);
    if (fs::is_regular_file(status)) {
      add(text);
    } else if (fs::is_directory(status)) {
      if (!AddLogFolder(text, add, error)) return false;
    } else {
      error = "cannot read " + QuoteArgument(text) + ": " +
              (ec                   ? ec.message()
               : fs::exists(status) ? "not a file or folder"
                                    : "no such file");
      return false;
    }
  }
  std::sort(found.begin(), found.end());
  files = std::move(found);
  return true;
}

void ReadLogFile(const std::string& path, KillTally& tally, LogCounts& counts) {
  ++counts.files;
  struct Closer {
    void operator()(gzFile_s* file) const { gzclose(file); }
  };
  const std::unique_ptr<gzFile_s, Closer> file(gzopen(path.c_str(), "rb"));
  if (!file) {
    ++counts.unreadableFiles;
    return;
  }
  constexpr unsigned kPiece = 1u << 20;
  gzbuffer(file.get(), 1u << 18);
  // The piece read, after what was left of a line the previous piece cut.
  std::vector<char> buffer(kPiece + kMaxLineBytes);
  std::size_t kept = 0;  // bytes of a cut line at the buffer's start
  FrameMemo memo;
  bool skipping = false;  // inside a line too long to read, until its LF
  bool failed = false;
  for (;;) {
    const int got = gzread(file.get(), buffer.data() + kept, kPiece);
    if (got < 0) {
      failed = true;
      break;
    }
    if (got == 0) break;
    const char* at = buffer.data();
    const char* const end = buffer.data() + kept + static_cast<std::size_t>(got);
    for (;;) {
      const auto* lf = static_cast<const char*>(std::memchr(at, '\n', end - at));
      if (!lf) break;
      if (skipping) {
        skipping = false;
      } else if (static_cast<std::size_t>(lf - at) > kMaxLineBytes) {
        ++counts.longLines;
      } else {
        TallyLine(std::string_view(at, lf - at), tally, counts, &memo);
      }
      at = lf + 1;
    }
    kept = static_cast<std::size_t>(end - at);
    if (skipping) {
      kept = 0;
    } else if (kept > kMaxLineBytes) {
      ++counts.longLines;
      skipping = true;
      kept = 0;
    } else {
      std::memmove(buffer.data(), at, kept);
    }
  }
  int zlibError = Z_OK;
  gzerror(file.get(), &zlibError);
  if (zlibError == Z_BUF_ERROR) {
    // The compressed data ends early: the last line was cut, so it is not read.
    ++counts.truncatedFiles;
    return;
  }
  if (failed || zlibError != Z_OK) {
    ++counts.unreadableFiles;
    return;
  }
  // A last line without its LF is whole: a plain file may simply end so.
  if (kept > 0 && !skipping) {
    TallyLine(std::string_view(buffer.data(), kept), tally, counts, &memo);
  }
}

}  // namespace kelvalues
