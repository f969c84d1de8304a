// The quick reading of a log line: its end and the marks of its event
// found in one pass, and the lines servers commonly write taken apart from
// where their marks stand.
#include "line_marks.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cstring>

#include "digits.h"
#include "log_line.h"

namespace kelvalues {

namespace {

#if defined(__SSE2__)

// Notes the bytes beyond ASCII of a block at the event's byte `offset`, bit
// b of `highs` standing for the byte at `offset` + b.
void NoteHighs(uint64_t highs, std::size_t offset, Marks& marks) {
  if (highs == 0) return;
  marks.firstHigh = std::min(marks.firstHigh, offset + __builtin_ctzll(highs));
  marks.lastHigh = offset + 63 - __builtin_clzll(highs);
}

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

// The 64 bits of four masks of 16 bytes each, the first the lowest.
uint64_t Bits64(__m128i a, __m128i b, __m128i c, __m128i d) {
  auto bits = [](__m128i m) { return static_cast<uint32_t>(_mm_movemask_epi8(m)); };
  return uint64_t{bits(a) | bits(b) << 16} | uint64_t{bits(c) | bits(d) << 16} << 32;
}

BlockBits ClassifyBlock(const char* bytes) {
  const __m128i lineEnd = _mm_set1_epi8('\n');
  const __m128i quote = _mm_set1_epi8('"');
  // '<' and '>' differ only in the bit of value 2: both are '>' with it set.
  const __m128i angleBit = _mm_set1_epi8(2);
  const __m128i greater = _mm_set1_epi8('>');
  __m128i b[4];
  __m128i ends[4];
  __m128i marks[4];
  for (std::size_t part = 0; part < 4; ++part) {
    b[part] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * part));
    ends[part] = _mm_cmpeq_epi8(b[part], lineEnd);
    marks[part] = _mm_or_si128(_mm_cmpeq_epi8(b[part], quote),
                               _mm_cmpeq_epi8(_mm_or_si128(b[part], angleBit), greater));
  }
  BlockBits bits;
  bits.lineEnds = Bits64(ends[0], ends[1], ends[2], ends[3]);
  bits.marks = Bits64(marks[0], marks[1], marks[2], marks[3]);
  // Most blocks are ASCII: one test says so.
  if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(b[0], b[1]), _mm_or_si128(b[2], b[3]))) != 0) {
    bits.highs = Bits64(b[0], b[1], b[2], b[3]);
  }
  return bits;
}

#endif  // defined(__SSE2__)

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

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

// Whether the eight bytes at `at` are kWith, '"' and all.
bool IsWithAt(const char* at) {
  static_assert(kWith.size() == 8);
  uint64_t word = 0;
  uint64_t with = 0;
  std::memcpy(&word, at, 8);
  std::memcpy(&with, kWith.data(), 8);
  return word == with;
}

// The two bytes at `at`, as a number to compare with TwoBytes("..").
uint16_t TwoBytesAt(const char* at) {
  uint16_t bytes = 0;
  std::memcpy(&bytes, at, 2);
  return bytes;
}

constexpr uint16_t TwoBytes(const char (&text)[3]) {
  return static_cast<uint16_t>(static_cast<uint8_t>(text[0]) | static_cast<uint8_t>(text[1]) << 8);
}

// Checks the player at marks first..first+7 ("NAME<UID><ID><TEAM>": the
// name, the id and the team free of marks, the user id at most 10 digits,
// perhaps negative) and takes his id and team.  Where a mark is followed
// by the byte of the next one, that byte is the next mark: "><" at the
// third and the fifth and '>"' at the seventh place the three pairs
// together.
bool TakePlayer(std::string_view event, const Marks& marks, int first, std::string_view& id,
                std::string_view& team) {
  const uint8_t* m = marks.at + first;
  const char* e = event.data();
  if (e[m[0]] != '"' || e[m[1]] != '<' || TwoBytesAt(e + m[2]) != TwoBytes("><") ||
      TwoBytesAt(e + m[4]) != TwoBytes("><") || TwoBytesAt(e + m[6]) != TwoBytes(">\"")) {
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

// A player's event that is no kill: a suicide where the words of one stand
// anywhere after the player, as the careful reading finds them, else some
// other event.  False where the words of a kill stand further on (the
// careful reading takes the line apart as one), or where marks beyond those
// found may hide either.
bool ReadPlayerEvent(std::string_view event, const Marks& marks, LineKind& kind) {
  if (marks.count >= Marks::kMaxMarks) return false;
  bool suicide = false;
  for (int k = 7; k < marks.count; ++k) {
    const std::string_view from = event.substr(marks.at[k]);
    if (from[0] != '"') continue;
    if (from.starts_with(kKilled)) return false;
    suicide = suicide || from.starts_with(kCommittedSuicide);
  }
  kind = suicide ? LineKind::Suicide : LineKind::OtherEvent;
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
  if (!verb.starts_with(kKilledWord)) return ReadPlayerEvent(event, marks, kind);
  // A kill: 18 marks, the victim's 8 right after " killed ", the weapon's
  // quotes after " with ", the last closing the line.
  if (marks.count != 18 || marks.at[8] != marks.at[7] + 1 + kKilledWord.size() ||
      !TakePlayer(event, marks, 8, kill.victimId, kill.victimTeam) ||
      marks.at[16] != marks.at[15] + kWith.size() - 1 || !IsWithAt(event.data() + marks.at[15]) ||
      event[marks.at[17]] != '"' || marks.at[17] != event.size() - 1 ||
      marks.at[17] == marks.at[16] + 1 || event.substr(marks.at[16]) == kWith) {
    // The last: a weapon named " with ", which the careful reading takes
    // for the words before the weapon, finding none.
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

// The quick reading of a line whose marks are found (ReadLogLineQuickly).
bool ReadMarkedLineQuickly(std::string_view line, const Marks& marks, KillLine& kill,
                           LineKind& kind, FrameMemo* memo) {
  line = WithoutCr(line);
  if (line.empty()) {
    kind = LineKind::Blank;
    return true;
  }
  if (!ReadFrame(line, kill.time, memo)) {
    kind = LineKind::Malformed;
    return true;
  }
  return ReadQuickly(line.substr(kFrameBytes), marks, kill, kind);
}

}  // namespace

#if defined(__SSE2__)
const char* FindLine(const char* at, const char* stop, Marks& marks) {
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

#else
const char* FindLine(const char* at, const char* stop, Marks& marks) {
  marks.count = 0;
  return static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(stop - at)));
}
#endif

LineKind ReadMarkedLine(std::string_view line, const Marks& marks, KillLine& kill,
                        FrameMemo* memo) {
  LineKind kind;
  if (ReadMarkedLineQuickly(line, marks, kill, kind, memo)) return kind;
  return ReadEventCarefully(WithoutCr(line).substr(kFrameBytes), kill);
}

bool ReadLogLineQuickly(std::string_view line, KillLine& kill, LineKind& kind, FrameMemo* memo) {
  // A longer line's event (even without its CR) is too long to be read the
  // quick way, which then looks at its frame alone and needs no marks.
  constexpr std::size_t kMarkedLineBytes = kFrameBytes + UINT8_MAX + 1;
  Marks marks;
  if (line.size() > kMarkedLineBytes) return ReadMarkedLineQuickly(line, marks, kill, kind, memo);
  // The marks are found as in a file: in a copy with room for the whole
  // blocks loaded, the parts of `kill` then pointed back into `line`.
  std::array<char, kMarkedLineBytes + kBlock> padded{};
  std::copy(line.begin(), line.end(), padded.begin());
  FindLine(padded.data(), padded.data() + line.size(), marks);
  if (!ReadMarkedLineQuickly(std::string_view(padded.data(), line.size()), marks, kill, kind,
                             memo)) {
    return false;
  }
  if (kind == LineKind::Kill) {
    for (std::string_view* part :
         {&kill.killerId, &kill.killerTeam, &kill.victimId, &kill.victimTeam}) {
      *part = line.substr(static_cast<std::size_t>(part->data() - padded.data()), part->size());
    }
  }
  return true;
}

LineKind ReadLogLine(std::string_view line, KillLine& kill, FrameMemo* memo) {
  LineKind kind;
  if (ReadLogLineQuickly(line, kill, kind, memo)) return kind;
  return ReadLogLineCarefully(line, kill, memo);
}

}  // namespace kelvalues
