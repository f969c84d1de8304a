// A log line's frame, and the careful reading of its event: searched for
// its words and taken apart from its ends, whatever it holds.
#include "log_line.h"

#include <algorithm>
#include <cstring>

#include "digits.h"

namespace kelvalues {
namespace {

constexpr uint64_t kHighBits = 0x8080808080808080ULL;  // of each byte of a word

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

// The seconds since midnight of the frame's "HH:MM:SS: ", or -1.  Read as
// one word: every line has one, and a date is mostly the line before's.
int64_t ReadTimeOfDay(std::string_view line) {
  constexpr uint64_t kColons = 0x0000FF0000FF0000ULL;  // bytes 2 and 5 of "HH:MM:SS"
  constexpr uint64_t kColonBytes = 0x00003A00003A0000ULL;
  uint64_t clock = 0;
  std::memcpy(&clock, line.data() + 15, 8);
  if ((clock & kColons) != kColonBytes || !AreDigits(clock, ~kColons) || line[23] != ':' ||
      line[24] != ' ') {
    return -1;
  }
  // Each pair of digits' value in its first byte: ten times the first and
  // the second (at most 99, so no byte carries into the next).
  const uint64_t digits = (clock & ~kColons) - (kAsciiZeros & ~kColons);
  const uint64_t pairs = digits * 10 + (digits >> 8);
  const auto hour = static_cast<int>(pairs & 0xFF);
  const auto minute = static_cast<int>(pairs >> 24 & 0xFF);
  const auto second = static_cast<int>(pairs >> 48 & 0xFF);
  if (hour > 23 || minute > 59 || second > 60) return -1;
  return int64_t{hour} * 3600 + int64_t{minute} * 60 + second;
}

// The seconds of the frame's "SS: " (its minute read before), or -1.
int64_t ReadSecond(std::string_view line) {
  const char tens = line[21];
  const char ones = line[22];
  if (tens < '0' || tens > '6' || ones < '0' || ones > '9' || line[23] != ':' || line[24] != ' ') {
    return -1;
  }
  const int second = (tens - '0') * 10 + (ones - '0');
  return second > 60 ? -1 : second;
}

// Whether the 21 bytes of a frame's date and minute at `line` are those
// at `memo`: three words, overlapping.
bool SameMinute(const char* line, const char* memo) {
  uint64_t a[3];
  uint64_t b[3];
  std::memcpy(&a[0], line, 8);
  std::memcpy(&a[1], line + 8, 8);
  std::memcpy(&a[2], line + 13, 8);
  std::memcpy(&b[0], memo, 8);
  std::memcpy(&b[1], memo + 8, 8);
  std::memcpy(&b[2], memo + 13, 8);
  return ((a[0] ^ b[0]) | (a[1] ^ b[1]) | (a[2] ^ b[2])) == 0;
}

// Whether the 15 bytes of a frame's date at `line` are those at `memo`:
// two words that overlap by a byte.
bool SameDate(const char* line, const char* memo) {
  uint64_t a[2];
  uint64_t b[2];
  std::memcpy(&a[0], line, 8);
  std::memcpy(&a[1], line + 7, 8);
  std::memcpy(&b[0], memo, 8);
  std::memcpy(&b[1], memo + 7, 8);
  return ((a[0] ^ b[0]) | (a[1] ^ b[1])) == 0;
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

bool ReadFrame(std::string_view line, int64_t& time, FrameMemo* memo) {
  if (line.size() < kFrameBytes) return false;
  constexpr std::size_t kMemoBytes = sizeof memo->text;
  static_assert(kMemoBytes == 21, "SameMinute compares 21 bytes, SameDate the first 15");
  if (memo && memo->valid && SameMinute(line.data(), memo->text)) {
    const int64_t second = ReadSecond(line);
    time = memo->minuteStart + second;
    return second >= 0;
  }
  int64_t dayStart = 0;
  if (memo && memo->valid && SameDate(line.data(), memo->text)) {
    dayStart = memo->dayStart;
  } else {
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
    dayStart = DaysFromCivil(year, month, day) * 86400;
  }
  const int64_t ofDay = ReadTimeOfDay(line);
  if (ofDay < 0) return false;
  time = dayStart + ofDay;
  if (memo) {
    // Kept only from a line read whole: a memo holds a date and a minute
    // that were read and found good.
    std::memcpy(memo->text, line.data(), kMemoBytes);
    memo->dayStart = dayStart;
    memo->minuteStart = time - ReadSecond(line);  // a leap second's 60 too
    memo->valid = true;
  }
  return true;
}

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

LineKind ReadEventCarefully(std::string_view event, KillLine& kill) {
  const std::size_t killedAt = event.find(kKilled);
  if (killedAt == std::string_view::npos) {
    return event.find(kCommittedSuicide) != std::string_view::npos ? LineKind::Suicide
                                                                   : LineKind::OtherEvent;
  }
  if (!IsValidUtf8(event)) return LineKind::BadUtf8;
  return ReadKill(event, killedAt, kill);
}

LineKind ReadLogLineCarefully(std::string_view line, KillLine& kill, FrameMemo* memo) {
  line = WithoutCr(line);
  if (line.empty()) return LineKind::Blank;
  if (!ReadFrame(line, kill.time, memo)) return LineKind::Malformed;
  return ReadEventCarefully(line.substr(kFrameBytes), kill);
}

}  // namespace kelvalues
