#include "log_reader.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#define KELVALUES_AVX512 1
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <system_error>

#include "command_line.h"
#include "digits.h"
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
// them, and where the bytes beyond ASCII begin and end, counted from the
// event's start.  Positions fit a byte: longer events, which servers never
// write for a kill (a name has at most 31 bytes), are never read the quick
// way.
struct Marks {
  static constexpr int kMaxMarks = 19;  // a kill has 18; one more says it is none
  // A block's marks are written whatever its mask holds: up to 64 places
  // past the count.
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

// Notes the bytes beyond ASCII of a block at the event's byte `offset`, bit
// b of `highs` standing for the byte at `offset` + b.
void NoteHighs(uint64_t highs, std::size_t offset, Marks& marks) {
  if (highs == 0) return;
  marks.firstHigh = std::min(marks.firstHigh, offset + __builtin_ctzll(highs));
  marks.lastHigh = offset + 63 - __builtin_clzll(highs);
}

constexpr std::size_t kBlock = 64;
constexpr uint64_t kFrameBits = (uint64_t{1} << kFrameBytes) - 1;

// What a block of 64 bytes holds, bit b standing for its byte b.
struct BlockBits {
  uint64_t lineEnds = 0;  // LF
  uint64_t marks = 0;     // '"', '<' and '>'
  uint64_t highs = 0;     // bytes beyond ASCII
};

// The bits of a block before its first LF (all when it has none).
uint64_t BeforeLineEnd(uint64_t lineEnds) {
  return lineEnds != 0 ? (lineEnds & (~lineEnds + 1)) - 1 : ~uint64_t{0};
}

// The bits of a block at byte `offset` of `size` that lie before `size`.
uint64_t BitsBefore(std::size_t size, std::size_t offset) {
  return size - offset < kBlock ? (uint64_t{1} << (size - offset)) - 1 : ~uint64_t{0};
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

// Adds the marks of one block, bit b of `found` standing for the event's
// byte `base` + b (modulo 256, as positions are kept); the count stops at
// kMaxMarks, every position below it written.  Each byte of the mask is
// looked up and its eight places written at once, so no step waits for the
// one before, as peeling the marks off one by one would.
void AddBlockMarks(uint64_t found, uint8_t base, Marks& marks) {
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
  marks.count = std::min(marks.count + held, Marks::kMaxMarks);
}

// The LFs among the first 32 bytes at `bytes`.
uint64_t LineEndsIn32(const char* bytes) {
  const __m128i lineEnd = _mm_set1_epi8('\n');
  auto ends = [&](std::size_t part) {
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * part));
    return uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(b, lineEnd)))};
  };
  return ends(0) | ends(1) << 16;
}

BlockBits ClassifyBlock(const char* bytes) {
  const __m128i lineEnd = _mm_set1_epi8('\n');
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i less = _mm_set1_epi8('<');
  const __m128i greater = _mm_set1_epi8('>');
  BlockBits bits;
  for (std::size_t part = 0; part < 4; ++part) {
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * part));
    const __m128i m = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(b, quote), _mm_cmpeq_epi8(b, less)),
                                   _mm_cmpeq_epi8(b, greater));
    auto mask = [part](int bits16) {
      return uint64_t{static_cast<uint16_t>(bits16)} << (16 * part);
    };
    bits.lineEnds |= mask(_mm_movemask_epi8(_mm_cmpeq_epi8(b, lineEnd)));
    bits.marks |= mask(_mm_movemask_epi8(m));
    bits.highs |= mask(_mm_movemask_epi8(b));
  }
  return bits;
}
#else
uint64_t LineEndsIn32(const char* bytes) {
  uint64_t ends = 0;
  for (std::size_t k = 0; k < 32; ++k) ends |= uint64_t{bytes[k] == '\n'} << k;
  return ends;
}

void AddBlockMarks(uint64_t found, uint8_t base, Marks& marks) {
  for (; found != 0 && marks.count < Marks::kMaxMarks; found &= found - 1) {
    marks.at[marks.count++] = static_cast<uint8_t>(base + __builtin_ctzll(found));
  }
}

BlockBits ClassifyBlock(const char* bytes) {
  BlockBits bits;
  for (std::size_t k = 0; k < kBlock; ++k) {
    const char c = bytes[k];
    const uint64_t bit = uint64_t{1} << k;
    if (c == '\n') bits.lineEnds |= bit;
    if (c == '"' || c == '<' || c == '>') bits.marks |= bit;
    if (static_cast<unsigned char>(c) >= 0x80) bits.highs |= bit;
  }
  return bits;
}
#endif

// Finds the line that begins at `at`: returns its LF, the first before
// `stop`, or null when there is none; and finds the marks and the bytes
// beyond ASCII of its event (all of [at, stop) when it has no LF there).
// The frame is only looked at for an LF, which ends a line too short to
// hold an event; the event is then looked at from its first byte, so that
// a line of up to 153 bytes takes two blocks.  Whole blocks are loaded: up
// to 63 bytes beyond `stop` must be readable; they are never used.
const char* FindLinePortably(const char* at, const char* stop, Marks& marks) {
  const auto size = static_cast<std::size_t>(stop - at);
  const uint64_t inFrame = LineEndsIn32(at) & BitsBefore(size, 0) & kFrameBits;
  if (inFrame != 0) return at + __builtin_ctzll(inFrame);
  for (std::size_t k = kFrameBytes; k < size; k += kBlock) {
    const BlockBits bits = ClassifyBlock(at + k);
    const uint64_t inside = BitsBefore(size, k);
    const uint64_t ends = bits.lineEnds & inside;
    const uint64_t event = BeforeLineEnd(ends) & inside;
    NoteHighs(bits.highs & event, k - kFrameBytes, marks);
    if (marks.count < Marks::kMaxMarks) {
      AddBlockMarks(bits.marks & event, static_cast<uint8_t>(k - kFrameBytes), marks);
    }
    if (ends != 0) return at + k + __builtin_ctzll(ends);
  }
  return nullptr;
}

#if defined(KELVALUES_AVX512)
// FindLinePortably where the processor has AVX-512 with VBMI2: a block's
// bytes are compared at once, and the positions of its marks, and the marks
// themselves, gathered in one instruction each.  Loads are masked at `stop`.
__attribute__((target("avx512f,avx512bw,avx512vbmi2,popcnt"))) const char* FindLineAvx512(
    const char* at, const char* stop, Marks& marks) {
  const __m512i lineEnd = _mm512_set1_epi8('\n');
  const __m512i quote = _mm512_set1_epi8('"');
  const __m512i less = _mm512_set1_epi8('<');
  const __m512i greater = _mm512_set1_epi8('>');
  alignas(64) static constexpr uint8_t kPlaces[64] = {
      0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
      22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43,
      44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63};
  const __m512i places = _mm512_load_si512(kPlaces);
  marks.kindsKnown = true;
  const auto size = static_cast<std::size_t>(stop - at);
  const uint64_t inFrame = _mm512_cmpeq_epi8_mask(
      _mm512_maskz_loadu_epi8(BitsBefore(size, 0) & kFrameBits, at), lineEnd);
  if (inFrame != 0) return at + __builtin_ctzll(inFrame);
  for (std::size_t k = kFrameBytes; k < size; k += kBlock) {
    const __mmask64 inside = BitsBefore(size, k);
    const __m512i bytes = _mm512_maskz_loadu_epi8(inside, at + k);
    const uint64_t ends = _mm512_cmpeq_epi8_mask(bytes, lineEnd);
    const uint64_t event = BeforeLineEnd(ends);
    NoteHighs(_mm512_movepi8_mask(bytes) & event, k - kFrameBytes, marks);
    const uint64_t found =
        (_mm512_cmpeq_epi8_mask(bytes, quote) | _mm512_cmpeq_epi8_mask(bytes, less) |
         _mm512_cmpeq_epi8_mask(bytes, greater)) &
        event;
    if (found != 0 && marks.count < Marks::kMaxMarks) {
      // All 64 places are written, the block's marks first (the rest into
      // the blind places).
      _mm512_storeu_si512(marks.at + marks.count,
                          _mm512_add_epi8(_mm512_maskz_compress_epi8(found, places),
                                          _mm512_set1_epi8(static_cast<char>(k - kFrameBytes))));
      _mm512_storeu_si512(marks.kind + marks.count, _mm512_maskz_compress_epi8(found, bytes));
      marks.count = std::min(marks.count + __builtin_popcountll(found), Marks::kMaxMarks);
    }
    if (ends != 0) return at + k + __builtin_ctzll(ends);
  }
  return nullptr;
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

const char* FindLine(const char* at, const char* stop, Marks& marks) {
#if defined(KELVALUES_AVX512)
  if (wideMarkFinding) return FindLineAvx512(at, stop, marks);
#endif
  return FindLinePortably(at, stop, marks);
}

// Whether the `count` bytes at `at` in `text` are all digits: eight at a
// time where eight bytes from `at` lie in `text`, as user ids of any length
// (the loop's end, at a varying count, was mispredicted a line in four).
bool AllDigits(std::string_view text, std::size_t at, std::size_t count) {
  if (count <= 8 && text.size() - at >= 8) {
    uint64_t word = 0;
    std::memcpy(&word, text.data() + at, 8);
    return AreDigits(word, count == 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * count)) - 1);
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

// The common lines read the quick way, from the marks of their event: a
// player's event, and a kill of one player by another written as servers
// write it.  False when the line is none of these and needs the careful
// reading.
bool ReadQuickly(std::string_view event, const Marks& marks, KillLine& kill, LineKind& kind) {
  if (event.size() > UINT8_MAX) return false;
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

namespace {

// ReadLogLine for a line whose event's marks are found.
LineKind ReadMarkedLine(std::string_view line, const Marks& marks, KillLine& kill, FrameMemo* memo,
                        bool* quickly) {
  if (quickly) *quickly = false;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.empty()) return LineKind::Blank;
  if (!ReadFrame(line, kill.time, memo)) return LineKind::Malformed;
  const std::string_view event = line.substr(kFrameBytes);
  LineKind kind;
  if (ReadQuickly(event, marks, kill, kind)) {
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

void Count(LineKind kind, const KillLine& kill, KillTally& tally, LogCounts& counts);

}  // namespace

LineKind ReadLogLine(std::string_view line, KillLine& kill, FrameMemo* memo, bool* quickly) {
  // The marks are found as in a file: in a copy with room for the whole
  // blocks loaded, the parts of `kill` then pointed back into `line`.
  std::vector<char> padded(line.size() + kBlock);
  std::copy(line.begin(), line.end(), padded.begin());
  Marks marks;
  FindLine(padded.data(), padded.data() + line.size(), marks);
  const LineKind kind =
      ReadMarkedLine(std::string_view(padded.data(), line.size()), marks, kill, memo, quickly);
  if (kind == LineKind::Kill) {
    for (std::string_view* part :
         {&kill.killerId, &kill.killerTeam, &kill.victimId, &kill.victimTeam}) {
      *part = line.substr(static_cast<std::size_t>(part->data() - padded.data()), part->size());
    }
  }
  return kind;
}

void TallyLine(std::string_view line, KillTally& tally, LogCounts& counts, FrameMemo* memo) {
  KillLine kill;
  Count(ReadLogLine(line, kill, memo), kill, tally, counts);
}

namespace {

void TallyMarkedLine(std::string_view line, const Marks& marks, KillTally& tally, LogCounts& counts,
                     FrameMemo* memo) {
  KillLine kill;
  Count(ReadMarkedLine(line, marks, kill, memo, nullptr), kill, tally, counts);
}

void Count(LineKind kind, const KillLine& kill, KillTally& tally, LogCounts& counts) {
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
        case KillVerdict::Future:
          ++counts.future;
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

std::string UnreadablePath(const std::string& path, const std::error_code& error) {
  return QuoteArgument(path) + ": " + error.message();
}

// Adds below `folder`, at any depth, every regular file named as a log;
// each folder that cannot be read, this one or one below, goes to
// `unreadable` and the rest are still read.  Links to folders are not
// followed.
void AddLogFolder(const std::string& folder, const std::function<void(const std::string&)>& add,
                  std::vector<std::string>& unreadable) {
  namespace fs = std::filesystem;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    std::error_code entryError;
    if (it->is_directory(entryError) && !it->is_symlink(entryError)) {
      AddLogFolder(it->path().string(), add, unreadable);
    } else if (IsLogName(it->path()) && it->is_regular_file(entryError)) {
      add(it->path().string());
    }
  }
  if (ec) unreadable.push_back(UnreadablePath(folder, ec));
}

}  // namespace

bool ListLogFiles(const std::vector<std::string>& paths, std::vector<std::string>& files,
                  std::vector<std::string>& unreadable, std::string& error) {
  namespace fs = std::filesystem;
  // Keyed by the canonical path, so a file named twice (or also found in a
  // folder named) is read once.
  std::set<std::string> seen;
  std::vector<std::string> found;
  const std::function<void(const std::string&)> add = [&](const std::string& path) {
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(path, ec);
    if (!seen.insert(ec ? path : canonical.string()).second) return;
    // Opened once here, so that a file nobody may read stops the run
    // before hours of reading, not after.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
      unreadable.push_back(UnreadablePath(path, std::error_code(errno, std::generic_category())));
      return;
    }
    (void)close(fd);
    found.push_back(path);
  };
  for (const std::string& text : paths) {
    std::error_code ec;
    const fs::file_status status = fs::status(text, ec);
    if (fs::is_regular_file(status)) {
      add(text);
    } else if (fs::is_directory(status)) {
      AddLogFolder(text, add, unreadable);
    } else if (ec && ec != std::errc::no_such_file_or_directory) {
      unreadable.push_back(UnreadablePath(text, ec));
    } else {
      error = "cannot read " + QuoteArgument(text) + ": " +
              (fs::exists(status) ? "not a file or folder" : "no such file");
      return false;
    }
  }
  std::sort(found.begin(), found.end());
  std::sort(unreadable.begin(), unreadable.end());
  files = std::move(found);
  return true;
}

namespace {

// Reads the lines of a piece of a file, [at, end), that an LF ends into
// `tally` and `counts`, and returns where the rest begins: the start of a
// line the piece's end cut, at most kMaxLineBytes long.  `skipping` says
// whether the piece begins inside a line too long to read, and is left
// saying whether the next one does.  Up to 63 bytes beyond `end` must be
// readable.
const char* TallyPiece(const char* at, const char* end, KillTally& tally, LogCounts& counts,
                       FrameMemo& memo, bool& skipping) {
  while (at < end) {
    if (skipping) {
      const auto* lf = static_cast<const char*>(std::memchr(at, '\n', end - at));
      if (!lf) break;
      skipping = false;
      at = lf + 1;
      continue;
    }
    // A line's LF is looked for only as far as the longest line read.
    const char* const stop =
        static_cast<std::size_t>(end - at) > kMaxLineBytes ? at + kMaxLineBytes + 1 : end;
    Marks marks;
    const char* const lf = FindLine(at, stop, marks);
    if (lf) {
      TallyMarkedLine(std::string_view(at, static_cast<std::size_t>(lf - at)), marks, tally, counts,
                      &memo);
      at = lf + 1;
    } else if (static_cast<std::size_t>(stop - at) > kMaxLineBytes) {
      // No LF in kMaxLineBytes + 1 bytes, even where they end exactly at
      // the piece's end: kept, they would overfill the buffer.
      ++counts.longLines;
      skipping = true;
      at = stop;
    } else {
      break;  // cut by the piece's end
    }
  }
  return at;
}

}  // namespace

bool ReadLogFile(const std::string& path, KillTally& tally, LogCounts& counts, std::string& error,
                 std::size_t pieceBytes) {
  ++counts.files;
  struct Closer {
    void operator()(gzFile_s* file) const { gzclose(file); }
  };
  const std::unique_ptr<gzFile_s, Closer> file(gzopen(path.c_str(), "rb"));
  if (!file) {
    ++counts.unreadableFiles;
    error = "cannot read " + QuoteArgument(path) + ": " + std::strerror(errno);
    return false;
  }
  pieceBytes = std::clamp<std::size_t>(pieceBytes, 1, kReadPieceBytes);
  gzbuffer(file.get(), 1u << 18);
  // The piece read, after what was left of a line the previous piece cut,
  // and room for the whole blocks FindLine loads beyond it (zeroed after
  // each read; the rest is not cleared beforehand, as a small file would
  // pay for a megabyte it never touches).
  const auto buffer = std::make_unique_for_overwrite<char[]>(pieceBytes + kMaxLineBytes + kBlock);
  std::size_t kept = 0;  // bytes of a cut line at the buffer's start
  FrameMemo memo;
  bool skipping = false;  // inside a line too long to read, until its LF
  bool failed = false;
  while (!tally.Full()) {
    const int got = gzread(file.get(), buffer.get() + kept, static_cast<unsigned>(pieceBytes));
    if (got < 0) {
      failed = true;
      break;
    }
    if (got == 0) break;
    char* const end = buffer.get() + kept + static_cast<std::size_t>(got);
    std::memset(end, 0, kBlock);
    const char* const rest = TallyPiece(buffer.get(), end, tally, counts, memo, skipping);
    kept = skipping ? 0 : static_cast<std::size_t>(end - rest);
    std::memmove(buffer.get(), rest, kept);
  }
  int zlibError = Z_OK;
  const char* const zlibText = gzerror(file.get(), &zlibError);
  if (zlibError == Z_BUF_ERROR) {
    // The compressed data ends early: the last line was cut, so it is not read.
    ++counts.truncatedFiles;
    return true;
  }
  if (failed || zlibError != Z_OK) {
    ++counts.unreadableFiles;
    error = "cannot read " + QuoteArgument(path) + ": " +
            (zlibError == Z_ERRNO || zlibText == nullptr ? std::strerror(errno) : zlibText);
    return false;
  }
  // A last line without its LF is whole: a plain file may simply end so.
  if (kept > 0 && !skipping) {
    TallyLine(std::string_view(buffer.get(), kept), tally, counts, &memo);
  }
  return true;
}

}  // namespace kelvalues
