// The pure parts of the output paths: bounded formatting, console line
// splitting, the chat and HUD encodings and the operator id match.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "bounded_text.h"
#include "chat.h"
#include "hud_text.h"
#include "operators.h"
#include "reply.h"
#include "server_output.h"

namespace {

std::vector<std::string> Pieces(std::string_view text, std::size_t maxBytes) {
  std::vector<std::string> pieces;
  ForEachConsolePiece(text, maxBytes, [&](std::string_view piece) { pieces.emplace_back(piece); });
  return pieces;
}

using Lines = std::vector<std::string>;

TEST(FormatBounded, CutsAtCapacityLessOneAndNeverReadsArgumentsAsFormat) {
  EXPECT_EQ(FormatBounded(256, "%s joined", "50%s %n %d"), "50%s %n %d joined");
  EXPECT_EQ(FormatBounded(6, "%s", "abcdefgh"), "abcde");
  EXPECT_EQ(FormatBounded(6, "%s", "abcde"), "abcde");
  EXPECT_EQ(FormatBounded(0, "%s", "abc"), "");
}

TEST(ForEachConsolePiece, OneCallPerLineWithoutLineEnds) {
  EXPECT_EQ(Pieces("", 10), Lines{});
  EXPECT_EQ(Pieces("one", 10), Lines{"one"});
  EXPECT_EQ(Pieces("one\n", 10), Lines{"one"});
  EXPECT_EQ(Pieces("\n", 10), Lines{""});
  EXPECT_EQ(Pieces("a\n\nb\n", 10), (Lines{"a", "", "b"}));
  EXPECT_EQ(Pieces("a\nb", 10), (Lines{"a", "b"}));
  EXPECT_EQ(Pieces("100% %s\n", 10), Lines{"100% %s"});
}

TEST(ForEachConsolePiece, LongLinesComeOutWholeInPieces) {
  EXPECT_EQ(Pieces("abcdefghij", 4), (Lines{"abcd", "efgh", "ij"}));
  EXPECT_EQ(Pieces("abcdefgh\nxy\n", 4), (Lines{"abcd", "efgh", "xy"}));
  const std::string line(2500, 'x');
  const Lines pieces = Pieces(line + "\nend\n", kConsolePieceBytes);
  ASSERT_EQ(pieces.size(), 4u);
  EXPECT_EQ(pieces[0].size(), 1000u);
  EXPECT_EQ(pieces[1].size(), 1000u);
  EXPECT_EQ(pieces[2].size(), 500u);
  EXPECT_EQ(pieces[3], "end");
}

TEST(PieceLength, DoesNotSplitAUtf8Character) {
  // "ab" + e-acute (2 bytes) + euro sign (3 bytes)
  const std::string text = "ab\xC3\xA9\xE2\x82\xAC";
  EXPECT_EQ(PieceLength(text, 3), 2u);  // would split the e-acute
  EXPECT_EQ(PieceLength(text, 4), 4u);
  EXPECT_EQ(PieceLength(text, 5), 4u);  // would split the euro sign
  EXPECT_EQ(PieceLength(text, 6), 4u);
  EXPECT_EQ(PieceLength(text, 7), 7u);
  // Bytes that are no UTF-8: cut where the size says.
  EXPECT_EQ(PieceLength(std::string(8, '\x80'), 5), 5u);
  // A single character longer than the piece is split rather than looped on.
  EXPECT_EQ(PieceLength("\xE2\x82\xAC", 1), 1u);
  EXPECT_EQ(Pieces(text, 3), (Lines{"ab", "\xC3\xA9", "\xE2\x82\xAC"}));
}

TEST(CutToBytes, NeverEndsInsideAUtf8Character) {
  // "ab" + e-acute (2 bytes) + euro sign (3 bytes) + "c"
  const std::string text =
      "ab\xC3\xA9\xE2\x82\xAC"
      "c";
  struct Case {
    std::string_view text;
    std::size_t maxBytes;
    std::string_view cut;
  };
  const Case cases[] = {
      {"abcdef", 3, "abc"},  // plain ASCII: exactly where the size says
      {"abc", 3, "abc"},
      {"abc", 0, ""},
      {text, 2, "ab"},
      {text, 3, "ab"},  // would split the e-acute
      {text, 4, "ab\xC3\xA9"},
      {text, 5, "ab\xC3\xA9"},  // would split the euro sign
      {text, 6, "ab\xC3\xA9"},
      {text, 7, "ab\xC3\xA9\xE2\x82\xAC"},
      {"\xE2\x82\xAC", 1, ""},  // a character wider than the room goes whole
      {"\xF0\x9F\x98\x80!", 3, ""},
      // No UTF-8 (Latin-1, stray continuation bytes): cut at the size.
      {std::string_view("\x80\x80\x80\x80\x80", 5), 3, "\x80\x80\x80"},
      {"caf\xE9s", 4, "caf\xE9"},
      {"\xC3\xA9\x80\x80", 3, "\xC3\xA9\x80"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CutToBytes(c.text, c.maxBytes), c.cut) << c.text << " cut to " << c.maxBytes;
  }
  // The chat text keeps its line end after the cut.
  const std::string euroAtTheEdge = std::string(188, 'a') + "\xE2\x82\xAC" + "tail\n";
  EXPECT_EQ(ChatTextToSend(euroAtTheEdge), std::string(188, 'a') + "\n");
}

TEST(ChatTextToSend, FitsOneUserMessage) {
  // destination byte + text + terminator = 192
  const std::string fits(190, 'a');
  EXPECT_EQ(ChatTextToSend(fits), fits);
  EXPECT_EQ(ChatTextToSend(std::string(191, 'a')), fits);
  EXPECT_EQ(ChatTextToSend(std::string(300, 'a') + "\n"), std::string(189, 'a') + "\n");
}

struct EncodingCase {
  float value;
  int expected;
};

TEST(HudEncoding, PositionsAreScaledTruncatedAndClamped) {
  const EncodingCase cases[] = {
      {-1.0f, -8192},  {0.4f, 3276},   {0.1f, 819},      {0.0f, 0},
      {-0.1f, -819},   {3.99f, 32686}, {4.0f, 32767},    {-4.0f, -32768},
      {-5.0f, -32768}, {1e30f, 32767}, {-1e30f, -32768},
  };
  for (const EncodingCase& c : cases) EXPECT_EQ(HudPosition(c.value), c.expected) << c.value;
  EXPECT_EQ(HudPosition(std::numeric_limits<float>::quiet_NaN()), 0);
}

TEST(HudEncoding, DurationsAreScaledTruncatedAndClamped) {
  const EncodingCase cases[] = {
      {4.0f, 1024}, {8.0f, 2048},     {2.0f, 512},     {0.1f, 25},       {0.0f, 0},
      {-1.0f, 0},   {255.99f, 65533}, {256.0f, 65535}, {1000.0f, 65535}, {1e30f, 65535},
  };
  for (const EncodingCase& c : cases) EXPECT_EQ(HudDuration(c.value), c.expected) << c.value;
  EXPECT_EQ(HudDuration(std::numeric_limits<float>::quiet_NaN()), 0);
}

struct OpsCase {
  const char* list;
  const char* id;
  bool expected;
};

TEST(ServerOpsListHoldsId, OnlyAWholeIdCounts) {
  const OpsCase cases[] = {
      {"STEAM_0:1:123456", "STEAM_0:1:123456", true},
      {"STEAM_0:0:7,STEAM_0:1:123456", "STEAM_0:1:123456", true},
      {"STEAM_0:0:7;STEAM_0:1:123456", "STEAM_0:0:7", true},
      {"STEAM_0:0:7\tSTEAM_0:1:123456", "STEAM_0:0:7", true},
      {"\"STEAM_0:0:7\"", "STEAM_0:0:7", true},
      {" 12345 ", "12345", true},
      // a part of a listed id is not that id
      {"STEAM_0:1:123456", "STEAM_0:1:12", false},
      {"STEAM_0:1:123456", "0:1:123456", false},
      {"XSTEAM_0:1:1", "STEAM_0:1:1", false},
      {"STEAM_0:1:1_", "STEAM_0:1:1", false},
      {"STEAM_0:1:12:", "STEAM_0:1:12", false},
      {"STEAM_0:0:1", "STEAM_0:1:1", false},
      // a later whole occurrence still counts after a partial one
      {"STEAM_0:1:123456,STEAM_0:1:12", "STEAM_0:1:12", true},
      {"STEAM_0:1:123,STEAM_0:1:12", "STEAM_0:1:12", true},
      // case-sensitive
      {"steam_0:1:5", "STEAM_0:1:5", false},
      // an empty id or list
      {"STEAM_0:1:5", "", false},
      {"", "", false},
      {"", "STEAM_0:1:5", false},
  };
  for (const OpsCase& c : cases) {
    EXPECT_EQ(ServerOpsListHoldsId(c.list, c.id), c.expected)
        << "list \"" << c.list << "\", id \"" << c.id << '"';
  }
}

}  // namespace

// The console copy of a report: whole while it fits in 2,000 bytes, else
// cut at a line end with the cut line last, never more than 2,000 bytes.
TEST(ConsoleCopyLines, WholeWhileItFitsElseCutAtALineEnd) {
  const std::string line99(98, 'x');  // 99 bytes with its line end
  const auto lines = [&](int n) {
    std::string text;
    for (int k = 0; k < n; ++k) text += line99 + "\n";
    return text;
  };
  const std::string cut(kConsoleCopyCutLine);
  const struct {
    const char* what;
    std::string text;
    std::size_t printed;  // lines printed, the cut line included
    bool isCut;
  } cases[] = {
      {"nothing", "", 0, false},
      {"exactly 2,000 bytes", lines(20) + std::string(19, 'y') + "\n", 21, false},
      {"one byte more", lines(20) + std::string(20, 'y') + "\n", 20, true},
      {"a last line without line end", "a\nb", 2, false},
      {"a first line too long for any copy", std::string(2500, 'z') + "\nshort\n", 1, true},
  };
  for (const auto& c : cases) {
    const std::vector<std::string_view> printed = ConsoleCopyLines(c.text);
    ASSERT_EQ(printed.size(), c.printed) << c.what;
    std::size_t bytes = 0;
    std::string joined;
    for (const std::string_view piece : printed) {
      bytes += piece.size();
      joined += piece;
    }
    EXPECT_LE(bytes, kConsoleCopyMaxBytes) << c.what;
    if (c.isCut) {
      EXPECT_EQ(printed.back(), cut) << c.what;
      joined.resize(joined.size() - cut.size());
      EXPECT_EQ(c.text.substr(0, joined.size()), joined) << c.what;
    } else {
      EXPECT_EQ(joined, c.text) << c.what;
    }
  }
}
