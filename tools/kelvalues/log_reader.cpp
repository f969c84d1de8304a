#include "log_reader.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
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

// The frame's time, or false when the line has no well-formed frame.
bool ReadFrame(std::string_view line, int64_t& time) {
  if (line.size() < kFrameBytes) return false;
  if (line[0] != 'L' || line[1] != ' ' || line[4] != '/' || line[7] != '/' ||
      line.substr(12, 3) != " - " || line[17] != ':' || line[20] != ':' ||
      line.substr(23, 2) != ": ") {
    return false;
  }
  int month, day, year, hour, minute, second;
  if (!Digits(line, 2, 2, month) || !Digits(line, 5, 2, day) || !Digits(line, 8, 4, year) ||
      !Digits(line, 15, 2, hour) || !Digits(line, 18, 2, minute) || !Digits(line, 21, 2, second)) {
    return false;
  }
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) {
    return false;
  }
  time = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
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

constexpr uint64_t kOnes = 0x0101010101010101ULL;
constexpr uint64_t kHighs = 0x8080808080808080ULL;

// The high bit of each byte of `word` that is zero (and perhaps of bytes
// above the first such, never below it).
uint64_t ZeroBytes(uint64_t word) { return (word - kOnes) & ~word & kHighs; }

// The first of '"', '<' and '>' from `p` on, or `end`; the high bits of the
// bytes passed over are added to `high`.  Eight bytes at a time.
const char* SkipPlain(const char* p, const char* end, uint64_t& high) {
  for (; end - p >= 8; p += 8) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    const uint64_t found = ZeroBytes(word ^ (kOnes * '"')) | ZeroBytes(word ^ (kOnes * '<')) |
                           ZeroBytes(word ^ (kOnes * '>'));
    if (found) {
      const int bits = __builtin_ctzll(found) & ~7;  // of the bytes before it
      high |= bits ? word & kHighs & (~uint64_t{0} >> (64 - bits)) : 0;
      return p + bits / 8;
    }
    high |= word & kHighs;
  }
  for (; p < end; ++p) {
    if (*p == '"' || *p == '<' || *p == '>') return p;
    high |= static_cast<unsigned char>(*p) & 0x80;
  }
  return end;
}

// Reads `"NAME<UID><ID><TEAM>"` forward from `at`, the opening quote, as
// well-formed lines have it: a name free of '"', '<' and '>', a user id of
// at most 10 digits (perhaps negative), an id and a team free of all three.
// The position after the closing quote, or npos for anything else, which
// the careful reading then sorts out.  The high bits of the bytes read are
// added to `high`.
std::size_t ReadPlayerForward(std::string_view event, std::size_t at, std::string_view& id,
                              std::string_view& team, uint64_t& high) {
  const char* const end = event.data() + event.size();
  const char* p = event.data() + at;
  if (p >= end || *p != '"') return std::string_view::npos;
  p = SkipPlain(p + 1, end, high);  // the name
  if (p == end || *p != '<') return std::string_view::npos;
  ++p;
  if (p < end && *p == '-') ++p;
  const char* const digits = p;
  while (p < end && IsDigit(*p)) ++p;
  if (p == digits || p - digits > 10) return std::string_view::npos;
  auto part = [&p, end, &high](std::string_view& text) {
    if (end - p < 2 || p[0] != '>' || p[1] != '<') return false;
    p += 2;
    const char* const start = p;
    p = SkipPlain(p, end, high);
    text = std::string_view(start, p - start);
    return true;
  };
  if (!part(id) || !part(team)) return std::string_view::npos;
  if (end - p < 2 || p[0] != '>' || p[1] != '"') return std::string_view::npos;
  return static_cast<std::size_t>(p + 2 - event.data());
}

constexpr std::string_view kKilledWord = " killed ";
constexpr std::string_view kWithWord = " with \"";
constexpr std::string_view kSuicideWords = " committed suicide with \"";

// The common lines read the quick way: a player's event, and a kill of one
// player by another written as servers write it.  False when the line is
// none of these and needs the careful reading.
bool ReadQuickly(std::string_view event, KillLine& kill, LineKind& kind) {
  uint64_t high = 0;  // any byte beyond ASCII read in the names, ids or teams
  const std::size_t afterKiller = ReadPlayerForward(event, 0, kill.killerId, kill.killerTeam, high);
  if (afterKiller == std::string_view::npos) return false;
  const std::string_view verb = event.substr(afterKiller);
  if (verb.substr(0, kKilledWord.size()) != kKilledWord) {
    kind = verb.substr(0, kSuicideWords.size()) == kSuicideWords ? LineKind::Suicide
                                                                 : LineKind::OtherEvent;
    return true;
  }
  const std::size_t afterVictim = ReadPlayerForward(event, afterKiller + kKilledWord.size(),
                                                    kill.victimId, kill.victimTeam, high);
  if (afterVictim == std::string_view::npos) return false;
  const std::string_view with = event.substr(afterVictim);
  if (with.substr(0, kWithWord.size()) != kWithWord || with.size() < kWithWord.size() + 2 ||
      with.back() != '"' ||
      HoldsAny(with.substr(kWithWord.size(), with.size() - kWithWord.size() - 1), "\"")) {
    return false;
  }
  for (const char c : with) high |= static_cast<unsigned char>(c) & 0x80;
  kind = high && !IsValidUtf8(event)                      ? LineKind::BadUtf8
         : kill.killerId.empty() || kill.victimId.empty() ? LineKind::World
                                                          : LineKind::Kill;
  return true;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  std::size_t k = 0;
  while (k < size) {
    // Eight bytes at a time while they are ASCII, as log lines mostly are.
    uint64_t word;
    if (size - k >= 8 && (std::memcpy(&word, bytes + k, 8), (word & 0x8080808080808080ULL) == 0)) {
      k += 8;
      continue;
    }
    const unsigned char lead = bytes[k];
    if (lead < 0x80) {
      ++k;
      continue;
    }
    std::size_t more;
    unsigned char low = 0x80, high = 0xBF;  // bounds of the first continuation byte
    if (lead >= 0xC2 && lead <= 0xDF) {
      more = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      more = 2;
      if (lead == 0xE0) low = 0xA0;   // no overlong forms
      if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      more = 3;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
      return false;
    }
    if (size - k <= more) return false;
    if (bytes[k + 1] < low || bytes[k + 1] > high) return false;
    for (std::size_t c = 2; c <= more; ++c) {
      if (bytes[k + c] < 0x80 || bytes[k + c] > 0xBF) return false;
    }
    k += more + 1;
  }
  return true;
}

LineKind ReadLogLine(std::string_view line, KillLine& kill) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.empty()) return LineKind::Blank;
  if (!ReadFrame(line, kill.time)) return LineKind::Malformed;
  const std::string_view event = line.substr(kFrameBytes);
  LineKind kind;
  if (ReadQuickly(event, kill, kind)) return kind;
  const std::size_t killedAt = event.find(kKilled);
  if (killedAt == std::string_view::npos) {
    return event.find(kCommittedSuicide) != std::string_view::npos ? LineKind::Suicide
                                                                   : LineKind::OtherEvent;
  }
  if (!IsValidUtf8(event)) return LineKind::BadUtf8;
  return ReadKill(event, killedAt, kill);
}

void TallyLine(std::string_view line, KillTally& tally, LogCounts& counts) {
  KillLine kill;
  const LineKind kind = ReadLogLine(line, kill);
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

bool ListLogFiles(const std::vector<std::string>& paths, std::vector<std::string>& files,
                  std::string& error) {
  namespace fs = std::filesystem;
  // Keyed by the canonical path, so a file named twice (or also found in a
  // folder named) is read once.
  std::set<std::string> seen;
  std::vector<std::string> found;
  auto add = [&](const fs::path& path) {
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(path, ec);
    if (seen.insert(ec ? path.string() : canonical.string()).second) found.push_back(path.string());
  };
  for (const std::string& text : paths) {
    std::error_code ec;
    const fs::file_status status = fs::status(text, ec);
    if (fs::is_regular_file(status)) {
      add(text);
    } else if (fs::is_directory(status)) {
      const auto options = fs::directory_options::skip_permission_denied;
      fs::recursive_directory_iterator it(text, options, ec), end;
      for (; !ec && it != end; it.increment(ec)) {
        std::error_code fileError;
        if (it->is_regular_file(fileError) && IsLogName(it->path())) add(it->path());
      }
      if (ec) {
        error = "cannot read the folder " + QuoteArgument(text) + ": " + ec.message();
        return false;
      }
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
  std::size_t kept = 0;   // bytes of a cut line at the buffer's start
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
        TallyLine(std::string_view(at, lf - at), tally, counts);
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
  if (kept > 0 && !skipping) TallyLine(std::string_view(buffer.data(), kept), tally, counts);
}

}  // namespace kelvalues
