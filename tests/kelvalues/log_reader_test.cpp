// Reading server logs: what each kind of line counts as, and folders of
// plain, compressed and cut files read the same in any order.
#include "log_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "command_line.h"
#include "rating.h"
#include "readings_agree.h"
#include "temp_folder.h"

namespace kelvalues {
namespace {

// The counter a line moved, by name; "none" when it moved none and
// "several" when it moved more than one.
std::string CounterMoved(const LogCounts& c) {
  const std::pair<const char*, uint64_t> counters[] = {
      {"counted", c.counted},     {"otherEvents", c.otherEvents},
      {"teamKills", c.teamKills}, {"suicides", c.suicides},
      {"world", c.world},         {"notSteam", c.notSteam},
      {"badNames", c.badNames},   {"badUtf8", c.badUtf8},
      {"malformed", c.malformed}, {"longLines", c.longLines},
      {"future", c.future},
  };
  std::string moved = "none";
  for (const auto& [name, count] : counters) {
    if (count == 0) continue;
    if (count > 1 || moved != "none") return "several";
    moved = name;
  }
  return moved;
}

constexpr const char* kFrame = "L 03/14/2024 - 21:07:55: ";

TEST(LogReader, EachKindOfLineCountsAsWhatItIs) {
  struct Case {
    const char* what;
    std::string event;  // after the frame
    const char* counter;
    const char* killer = nullptr;  // the rated killer's id, for counted kills
  };
  const std::string bob = "\"Bob<2><STEAM_0:0:22><team_two>\"";
  const Case cases[] = {
      {"a kill", "\"Al<1><STEAM_0:1:11><team_one>\" killed " + bob + " with \"rifle\"", "counted",
       "STEAM_0:1:11"},
      {"STEAM_1 ids are rated as STEAM_0",
       "\"Al<1><STEAM_1:1:11><team_one>\" killed " + bob + " with \"rifle\"", "counted",
       "STEAM_0:1:11"},
      {"blanks and UTF-8 in a name",
       "\"[x] J\xC3\xBCrgen 2<1><STEAM_0:1:11><team_one>\" killed " + bob + " with \"rifle\"",
       "counted", "STEAM_0:1:11"},
      {"CRLF", "\"Al<1><STEAM_0:1:11><team_one>\" killed " + bob + " with \"rifle\"\r", "counted",
       "STEAM_0:1:11"},
      {"a user id of -1 and marks in the weapon",
       "\"Al<-1><STEAM_0:1:11><team_one>\" killed " + bob + " with \"<rifle>\"", "counted",
       "STEAM_0:1:11"},
      {"team kill", "\"Al<1><STEAM_0:1:11><team_two>\" killed " + bob + " with \"claws\"",
       "teamKills"},
      {"teams under any names, read from the right",
       "\"Al<1><STEAM_0:1:11><Blue Moths>\" killed \"Bob<2><STEAM_0:0:22><\xC3\xA9quipe 2>\" with "
       "\"rifle\"",
       "counted", "STEAM_0:1:11"},
      {"teams of 12 bytes that differ only in their last four",
       "\"Al<1><STEAM_0:1:11><team_red_one>\" killed \"Bob<2><STEAM_0:0:22><team_red_two>\" with "
       "\"rifle\"",
       "counted", "STEAM_0:1:11"},
      {"a team kill under a name of 19 bytes",
       "\"Al<1><STEAM_0:1:11><the long team name>\" killed \"Bob<2><STEAM_0:0:22><the long team "
       "name>\" with \"rifle\"",
       "teamKills"},
      {"a kill of oneself", bob + " killed " + bob + " with \"blast\"", "suicides"},
      {"oneself under two forms of the id",
       "\"Bob<2><STEAM_1:0:22><team_one>\" killed " + bob + " with \"rifle\"", "suicides"},
      {"oneself with leading zeros in the id",
       "\"Bob<2><STEAM_0:0:0022><team_one>\" killed " + bob + " with \"rifle\"", "suicides"},
      {"oneself as [U:1:N]", "\"Bob<2><[U:1:44]><team_one>\" killed " + bob + " with \"rifle\"",
       "suicides"},
      {"oneself as a 64-bit id",
       "\"Bob<2><76561197960265772><team_one>\" killed " + bob + " with \"rifle\"", "suicides"},
      {"a killer as [U:1:N]", "\"Al<1><[U:1:23]><team_one>\" killed " + bob + " with \"rifle\"",
       "counted", "STEAM_0:1:11"},
      {"committed suicide", bob + " committed suicide with \"world\"", "suicides"},
      {"killed by the world", "\"world\" killed " + bob + " with \"trigger_hurt\"", "world"},
      {"a player without id", "\"Al<1><><team_one>\" killed " + bob + " with \"rifle\"", "world"},
      {"nine digits, not the eight they end in",
       "\"Al<1><STEAM_1:1:123456789><team_one>\" killed \"B<2><STEAM_0:1:23456789>"
       "<team_two>\" with \"rifle\"",
       "counted", "STEAM_0:1:123456789"},
      {"an account beyond 32 bits",
       "\"Al<1><STEAM_0:1:2147483648><team_one>\" killed " + bob + " with \"rifle\"", "notSteam"},
      {"a letter among the digits",
       "\"Al<1><STEAM_0:1:12a45><team_one>\" killed " + bob + " with \"rifle\"", "notSteam"},
      {"a bot", "\"[BOT] Al<1><BOT><team_one>\" killed " + bob + " with \"rifle\"", "notSteam"},
      {"HLTV", bob + " killed \"tv<3><HLTV><team_one>\" with \"rifle\"", "notSteam"},
      {"LAN", "\"Al<1><STEAM_ID_LAN><team_one>\" killed " + bob + " with \"rifle\"", "notSteam"},
      {"pending", "\"Al<1><STEAM_ID_PENDING><team_one>\" killed " + bob + " with \"rifle\"",
       "notSteam"},
      {"VALVE_ID", "\"Al<1><VALVE_ID_LAN><team_one>\" killed " + bob + " with \"rifle\"",
       "notSteam"},
      {"a quote in the killer's name",
       "\"A\"l<1><STEAM_0:1:11><team_one>\" killed " + bob + " with \"rifle\"", "badNames"},
      {"a quote in the victim's name",
       "\"Al<1><STEAM_0:1:11><team_one>\" killed \"B\"b<2><STEAM_0:0:22><team_two>\" with "
       "\"rifle\"",
       "badNames"},
      {"a name that looks like a kill",
       "\"x\" killed \"y<1><STEAM_0:1:11><team_one>\" killed " + bob + " with \"rifle\"",
       "badNames"},
      {"< in a name", "\"A<l<1><STEAM_0:1:11><team_one>\" killed " + bob + " with \"rifle\"",
       "badNames"},
      {"> in a name", "\"A>l<1><STEAM_0:1:11><team_one>\" killed " + bob + " with \"rifle\"",
       "badNames"},
      {"a lone continuation byte in the victim's name",
       "\"Al<1><STEAM_0:1:11><team_one>\" killed \"B\x80ob<2><STEAM_0:0:22><team_two>\" with "
       "\"rifle\"",
       "badUtf8"},
      {"invalid UTF-8",
       "\"A\xC0\xAFl<1><STEAM_0:1:11><team_one>\" killed " + bob + " with \"rifle\"", "badUtf8"},
      {"a surrogate",
       "\"A\xED\xA0\x80l<1><STEAM_0:1:11><team_one>\" killed " + bob + " with \"rifle\"",
       "badUtf8"},
      {"cut in the weapon", "\"Al<1><STEAM_0:1:11><team_one>\" killed " + bob + " with \"ri",
       "malformed"},
      {"cut in the victim", "\"Al<1><STEAM_0:1:11><team_one>\" killed \"Bob<2><STEAM_0:0:2",
       "malformed"},
      {"a burst of marks after the killer's first four",
       "\"<1><STEAM_0:1:11" + std::string(70, '<') + "><m>\" killed " + bob + " with \"rifle\"",
       "malformed"},
      {"long names, ids and weapon: marks in three blocks",
       "\"" + std::string(31, 'N') + "<12345><STEAM_0:1:1234567890><team_one>\" killed \"" +
           std::string(31, 'M') + "<2><STEAM_0:0:22><team_two>\" with \"" + std::string(40, 'w') +
           "\"",
       "counted", "STEAM_0:1:1234567890"},
      {"a kill of over 255 bytes, more than any server writes",
       "\"Al<1><STEAM_0:1:11><team_one>\" killed " + bob + " with \"" + std::string(200, 'w') +
           "\"",
       "counted", "STEAM_0:1:11"},
      {"a cut UTF-8 sequence at the line's end",
       "\"Al<1><STEAM_0:1:11><team_one>\" killed " + bob + " with \"ri\xC3\"", "badUtf8"},
      {"a user id that is no number",
       "\"Al<x><STEAM_0:1:11><team_one>\" killed " + bob + " with \"rifle\"", "malformed"},
      {"words after the weapon",
       "\"Al<1><STEAM_0:1:11><team_one>\" killed " + bob + " with \"rifle\" (headshot)",
       "malformed"},
      {"a chat line saying killed", bob + " say \"killed \"", "otherEvents"},
      {"a chat line quoting a suicide", bob + " say \"x\" committed suicide with \"y\"",
       "suicides"},
      {"a chat line quoting a kill", bob + " say \"x\" killed \"y\"", "malformed"},
      {"a suicide's words without the weapon's quote",
       bob + " committed suicide with world>\" say \"gg\"", "otherEvents"},
      {"a weapon named \" with \"",
       "\"Al<1><STEAM_0:1:11><team_one>\" killed " + bob + " with \" with \"", "malformed"},
      {"the log's first line", "Log file started (file \"logs/L0314000.log\")", "otherEvents"},
  };
  // Every line reads the same both ways, or the quick way declines it; the
  // quick way is no dead branch (it reads a plain kill).
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string line = kFrame + c.event;
    KillTally tally;
    LogCounts counts;
    TallyLine(line, tally, counts);
    EXPECT_EQ(counts.lines, 1u);
    EXPECT_EQ(CounterMoved(counts), c.counter);
    bool quick = false;
    EXPECT_EQ(Disagreement(line, quick), "");
    if (&c == &cases[0]) {
      EXPECT_TRUE(quick);
    }
    if (c.killer) {
      ASSERT_EQ(tally.Players().size(), 2u);
      EXPECT_EQ(tally.Players()[0].Id(), c.killer);
      EXPECT_EQ(tally.Players()[0].kills, 1u);
      EXPECT_EQ(tally.Players()[1].deaths, 1u);
    }
  }
  // Lines whose frame is wrong count as malformed whatever follows.
  const std::string kill = "\"Al<1><STEAM_0:1:11><team_one>\" killed " + bob + " with \"rifle\"";
  for (const char* frame : {"L 13/14/2024 - 21:07:55: ", "L 03/14/2024 - 24:07:55: ",
                            "L 03/14/24 - 21:07:55: ", "03/14/2024 - 21:07:55: "}) {
    SCOPED_TRACE(frame);
    KillTally tally;
    LogCounts counts;
    TallyLine(std::string(frame) + kill, tally, counts);
    EXPECT_EQ(CounterMoved(counts), "malformed");
  }
  // A kill dated after the tally's latest time counts as dated in the
  // future, and rates nobody; one dated at it counts.
  const int64_t latest = 1710450475;  // 03/14/2024 21:07:55 as if UTC
  for (const auto& [frame, counter] : {std::pair{"L 03/14/2024 - 21:07:56: ", "future"},
                                       std::pair{"L 03/14/2024 - 21:07:55: ", "counted"},
                                       std::pair{"L 03/15/2031 - 21:07:55: ", "future"}}) {
    SCOPED_TRACE(frame);
    KillTally tally(30, latest);
    LogCounts counts;
    TallyLine(std::string(frame) + kill, tally, counts);
    EXPECT_EQ(CounterMoved(counts), counter);
    EXPECT_EQ(tally.Players().size(), counter == std::string("future") ? 0u : 2u);
  }
}

// ---- folders of files ------------------------------------------------------

std::string KillLines(const char* date, int count, const char* killer, const char* victim) {
  std::string text;
  for (int k = 0; k < count; ++k) {
    text += std::string("L ") + date + " - 12:00:" + (k % 60 < 10 ? "0" : "") +
            std::to_string(k % 60) + ": \"K<1><" + killer + "><team_one>\" killed \"V<2><" +
            victim + "><team_two>\" with \"rifle\"\n";
  }
  return text;
}

void WritePlain(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

void WriteGzip(const std::string& path, const std::string& text) {
  gzFile file = gzopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(gzwrite(file, text.data(), static_cast<unsigned>(text.size())),
            static_cast<int>(text.size()));
  ASSERT_EQ(gzclose(file), Z_OK);
}

struct Reading {
  LogCounts counts;
  std::vector<std::pair<std::string, double>> strengths;
};

Reading ReadAll(const std::vector<std::string>& paths, double halfLifeDays) {
  Reading reading;
  std::vector<std::string> files;
  std::vector<std::string> unreadable;
  std::string error;
  EXPECT_TRUE(ListLogFiles(paths, files, unreadable, error)) << error;
  KillTally tally(halfLifeDays);
  EXPECT_TRUE(unreadable.empty());
  for (const std::string& file : files) {
    EXPECT_TRUE(ReadLogFile(file, tally, reading.counts, error)) << error;
  }
  const Fit fit = FitStrengths(tally);
  EXPECT_TRUE(fit.converged);
  for (std::size_t i = 0; i < tally.Players().size(); ++i) {
    reading.strengths.emplace_back(tally.Players()[i].Id(), fit.strength[i]);
  }
  std::sort(reading.strengths.begin(), reading.strengths.end());
  return reading;
}

// The frame memo, carried from line to line, skips the date and the minute
// a line shares with the one before; each line still reads as it does
// alone, a leap second and bad seconds after a good minute among them.
TEST(LogReader, FrameMemoReadsEachLineAsAlone) {
  const std::string kill =
      "\"Al<1><STEAM_0:1:11><team_one>\" killed \"Bob<2><STEAM_0:0:22><team_two>\" with \"rifle\"";
  const struct {
    const char* frame;
    bool good;
  } lines[] = {
      {"L 03/14/2024 - 21:07:55: ", true},  {"L 03/14/2024 - 21:07:56: ", true},
      {"L 03/14/2024 - 21:07:61: ", false}, {"L 03/14/2024 - 21:07:6x: ", false},
      {"L 03/14/2024 - 21:07:59: ", true},  {"L 03/14/2024 - 21:08:60: ", true},
      {"L 03/14/2024 - 21:08:30: ", true},  {"L 03/14/2024 - 21:08:30 - ", false},
      {"L 03/15/2024 - 21:08:31: ", true},  {"L 03/15/2024 - 24:08:31: ", false},
      {"L 03/15/2024 - 21:08:31: ", true},
  };
  FrameMemo memo;
  std::vector<int64_t> times;
  for (const auto& [frame, good] : lines) {
    SCOPED_TRACE(frame);
    const std::string line = frame + kill;
    KillLine alone;
    KillLine remembered;
    const LineKind kind = ReadLogLineCarefully(line, alone);
    EXPECT_EQ(kind, good ? LineKind::Kill : LineKind::Malformed);
    ASSERT_EQ(ReadLogLine(line, remembered, &memo), kind);
    if (good) {
      EXPECT_EQ(remembered.time, alone.time);
      times.push_back(alone.time);
    }
  }
  // 21:08:60, the first of its minute, is 21:09:00, thirty seconds after
  // 21:08:30; the next day's 21:08:31 is a day and a second after that.
  ASSERT_EQ(times.size(), 7u);
  EXPECT_EQ(times[3] - times[2], 61);
  EXPECT_EQ(times[3] - times[4], 30);
  EXPECT_EQ(times[5] - times[4], 86400 + 1);
}

TEST(LogReader, FolderOfPlainGzipAndCutFilesReadsTheSameInAnyOrder) {
  TempFolder temp;
  const std::string root = temp.path();
  std::filesystem::create_directories(root + "/old/deeper");
  // The newest kills are in the file whose name sorts first, so the weights
  // cannot depend on reading the days in order.
  WritePlain(root + "/a.log", KillLines("06/30/2024", 30, "STEAM_0:0:1", "STEAM_0:1:2"));
  WriteGzip(root + "/old/b.log.gz", KillLines("01/10/2024", 40, "STEAM_0:1:2", "STEAM_0:0:1"));
  WritePlain(root + "/old/deeper/c.log",
             KillLines("03/01/2024", 20, "STEAM_0:0:3", "STEAM_0:0:1") +
                 "L 03/01/2024 - 13:00:00: \"K<1><STEAM_0:0:3><m>\" killed \"V<2><STE");
  WritePlain(root + "/old/notes.txt", KillLines("06/30/2024", 50, "STEAM_0:0:9", "STEAM_0:0:8"));
  // A compressed file cut at 60 %: what came before the cut counts.
  const std::string cut = root + "/old/d.log.gz";
  std::string many;
  for (int minute = 0; minute < 60; ++minute) {
    many += KillLines("02/02/2024", 60, "STEAM_0:0:4", "STEAM_0:1:2");
  }
  WriteGzip(cut, many);
  std::filesystem::resize_file(cut, std::filesystem::file_size(cut) * 6 / 10);

  const Reading byFolder = ReadAll({root}, 30);
  EXPECT_EQ(byFolder.counts.files, 4u);
  EXPECT_EQ(byFolder.counts.truncatedFiles, 1u);
  EXPECT_EQ(byFolder.counts.unreadableFiles, 0u);
  EXPECT_EQ(byFolder.counts.malformed, 1u);  // c.log's last line, without its end
  const uint64_t fromCut = byFolder.counts.counted - 90;
  EXPECT_GT(fromCut, 3600u / 4);
  EXPECT_LT(fromCut, 3600u);
  ASSERT_EQ(byFolder.strengths.size(), 4u);  // notes.txt is not a log

  // The same files named one by one, backwards, and twice.
  const Reading byFiles =
      ReadAll({cut, root + "/old/deeper/c.log", root + "/old/b.log.gz", root + "/a.log", root}, 30);
  EXPECT_EQ(byFiles.counts.files, byFolder.counts.files);
  EXPECT_EQ(byFiles.counts.counted, byFolder.counts.counted);
  EXPECT_EQ(byFiles.strengths, byFolder.strengths);

  std::vector<std::string> files;
  std::vector<std::string> unreadable;
  std::string error;
  EXPECT_FALSE(ListLogFiles({root + "/missing.log"}, files, unreadable, error));
  EXPECT_NE(error.find("missing.log"), std::string::npos) << error;
}

TEST(LogReader, OverlongLinesAreSkippedAndTheNextLineRead) {
  TempFolder temp;
  const std::string path = temp.path() + "/long.log";
  const std::string kill = KillLines("06/30/2024", 1, "STEAM_0:0:1", "STEAM_0:1:2");
  // One line just within the bound, one beyond it, one far beyond the
  // reader's piece, each followed by a kill.
  const std::string fits =
      "L 06/30/2024 - 12:00:00: " + std::string(kMaxLineBytes - 25, 'x') + "\n";
  WritePlain(path, fits + kill + std::string(kMaxLineBytes + 1, 'y') + "\n" + kill +
                       std::string(3u << 20, 'z') + "\n" + kill);
  KillTally tally;
  LogCounts counts;
  std::string error;
  ASSERT_TRUE(ReadLogFile(path, tally, counts, error)) << error;
  EXPECT_EQ(counts.longLines, 2u);
  EXPECT_EQ(counts.otherEvents, 1u);
  EXPECT_EQ(counts.counted, 3u);
}

// What the counts of lines of each kind say.
auto Kinds(const LogCounts& c) {
  return std::make_tuple(c.lines, c.counted, c.otherEvents, c.malformed, c.longLines);
}

// A file reads alike wherever the reader's pieces end: pieces of 1 to 200
// bytes end at each of its bytes, inside lines shorter and longer than
// each piece, and a first piece that ends a few bytes around each line's
// start and its limit ends, among others, right after the first
// kMaxLineBytes + 1 bytes of an overlong line (which once wrote a byte past
// the reader's buffer).
TEST(LogReader, EveryPieceBoundaryReadsAlike) {
  TempFolder temp;
  const std::string path = temp.path() + "/pieces.log";
  const std::string kill = KillLines("06/30/2024", 1, "STEAM_0:0:1", "STEAM_0:1:2");
  auto event = [](std::size_t bytes, char fill) {
    return "L 06/30/2024 - 12:00:00: " + std::string(bytes - 25, fill) + "\n";
  };
  const std::string text = kill + event(kMaxLineBytes, 'a') + kill + event(kMaxLineBytes + 1, 'b') +
                           kill + event(kMaxLineBytes - 1, 'c') + event(kMaxLineBytes + 2, 'd') +
                           kill + event(2 * kMaxLineBytes + 7, 'e') +
                           kill.substr(0, kill.size() - 1);  // the last line without its LF
  WritePlain(path, text);
  const auto read = [&path](std::size_t pieceBytes) {
    KillTally tally;
    LogCounts counts;
    std::string error;
    EXPECT_TRUE(ReadLogFile(path, tally, counts, error, pieceBytes)) << error;
    return counts;
  };
  const LogCounts whole = read(kReadPieceBytes);
  EXPECT_EQ(Kinds(whole),
            std::make_tuple(uint64_t{7}, uint64_t{5}, uint64_t{2}, uint64_t{0}, uint64_t{3}));
  std::set<std::size_t> pieces;
  for (std::size_t piece = 1; piece <= 200; ++piece) pieces.insert(piece);
  for (std::size_t start = 0; start < text.size(); start = text.find('\n', start) + 1) {
    for (const std::size_t end : {start, start + kMaxLineBytes + 1}) {
      for (std::size_t piece = std::max<std::size_t>(end, 3) - 2; piece <= end + 2; ++piece) {
        pieces.insert(piece);
      }
    }
    if (text.find('\n', start) == std::string::npos) break;
  }
  for (const std::size_t piece : pieces) {
    ASSERT_EQ(Kinds(read(piece)), Kinds(whole)) << "pieces of " << piece << " bytes";
  }
}

// How a file is told plain or compressed, and what its end or a fault
// comes to, read in pieces of a byte, of a few and whole: the first two
// bytes alone make it compressed; a compressed file cut anywhere is
// truncated and read up to the cut; one that is corrupt, a missing file
// and a folder are unreadable, with the reason after the quoted path.
TEST(LogReader, FilesAreToldApartAndTheirFaultsCounted) {
  TempFolder temp;
  const std::string kills = KillLines("06/30/2024", 40, "STEAM_0:0:1", "STEAM_0:1:2");
  std::string compressed;
  {
    const std::string path = temp.path() + "/whole.gz";
    WriteGzip(path, kills);
    std::ifstream in(path, std::ios::binary);
    compressed.assign(std::istreambuf_iterator<char>(in), {});
  }
  // The first block after the 10 bytes of the header, of a type there is none of.
  std::string corrupt = compressed;
  corrupt[10] = '\xff';
  const auto pathOf = [&temp](const char* name) { return temp.path() + "/" + name; };
  struct Case {
    const char* name;
    std::string content;  // written to the file; "folder" and "missing" write none
    bool read;
    uint64_t lines, counted, malformed, truncated, unreadable;
    std::string why;  // what the error says after the path, "" for none, "*" for anything
  };
  const Case cases[] = {
      {"plain", kills, true, 40, 40, 0, 0, 0, ""},
      {"plain, its last line without LF", kills.substr(0, kills.size() - 1), true, 40, 40, 0, 0, 0,
       ""},
      {"empty", "", true, 0, 0, 0, 0, 0, ""},
      {"a byte of the magic", "\x1f", true, 1, 0, 1, 0, 0, ""},
      {"the magic's bytes swapped", "\x8b\x1f\n" + kills, true, 41, 40, 1, 0, 0, ""},
      {"compressed", compressed, true, 40, 40, 0, 0, 0, ""},
      {"the magic alone", "\x1f\x8b", true, 0, 0, 0, 1, 0, ""},
      {"compressed, cut in its header", compressed.substr(0, 5), true, 0, 0, 0, 1, 0, ""},
      {"compressed, corrupt", corrupt, false, 0, 0, 0, 0, 1,
       pathOf("compressed, corrupt") + ": invalid block type"},
      {"missing", "", false, 0, 0, 0, 0, 1, "No such file or directory"},
      {"folder", "", false, 0, 0, 0, 0, 1, "*"},
  };
  for (const Case& c : cases) {
    const std::string path = pathOf(c.name);
    if (std::string(c.name) == "folder") {
      std::filesystem::create_directory(path);
    } else if (std::string(c.name) != "missing") {
      WritePlain(path, c.content);
    }
    for (const std::size_t pieceBytes : {std::size_t{1}, std::size_t{7}, kReadPieceBytes}) {
      SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(pieceBytes));
      KillTally tally;
      LogCounts counts;
      std::string error;
      EXPECT_EQ(ReadLogFile(path, tally, counts, error, pieceBytes), c.read) << error;
      EXPECT_EQ(
          std::make_tuple(counts.files, counts.lines, counts.counted, counts.malformed,
                          counts.truncatedFiles, counts.unreadableFiles),
          std::make_tuple(uint64_t{1}, c.lines, c.counted, c.malformed, c.truncated, c.unreadable));
      const std::string said = "cannot read " + QuoteArgument(path) + ": ";
      if (c.why.empty()) {
        EXPECT_EQ(error, "");
      } else {
        EXPECT_EQ(error.substr(0, said.size()), said);
        EXPECT_GT(error.size(), said.size());
        if (c.why != "*") {
          EXPECT_EQ(error.substr(said.size()), c.why);
        }
      }
    }
  }
}

}  // namespace
}  // namespace kelvalues
