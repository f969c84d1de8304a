// The standard log lines as log readers parse them: every field quoted or
// bracketed where the game's own lines have it, and no player text able to
// end a field, start a line or grow a line without bound.
#include "standard_log.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(StandardLogLine, PlayerAndWorldLinesInTheGamesForm) {
  const struct {
    LogSubject who;
    const char* key;
    const char* value;
    const char* expected;
  } cases[] = {
      {{"Carol", 4, "STEAM_0:0:2003", "team_one"},
       "",
       "",
       "\"Carol<4><STEAM_0:0:2003><team_one>\" triggered \"kel_deathmove\"\n"},
      {{"Heidi", 9, "STEAM_0:1:2008", ""},
       "team",
       "aliens",
       "\"Heidi<9><STEAM_0:1:2008><>\" triggered \"kel_deathmove\" (team \"aliens\")\n"},
      // A quote would end the name early for a reader, a line end would
      // start a line the player wrote; % stays, the line is never a format.
      {{"a\"b\nL 01/01/2000 - 00:00:00: x%s", -1, "ST\"EAM", "te\ram"},
       "command",
       "k\"el\n",
       "\"a'b L 01/01/2000 - 00:00:00: x%s<-1><ST'EAM><te am>\" triggered \"kel_deathmove\" "
       "(command \"k'el \")\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PlayerTriggeredLine(c.who, "kel_deathmove", c.key, c.value), c.expected)
        << c.expected;
  }
  EXPECT_EQ(WorldTriggeredLine("kel_autobalance", "team", "marines"),
            "World triggered \"kel_autobalance\" (team \"marines\")\n");
  EXPECT_EQ(WorldTriggeredLine("kel_autobalance"), "World triggered \"kel_autobalance\"\n");
  EXPECT_EQ(WorldTriggeredLine("kel_command", "command", "ml"),
            "World triggered \"kel_command\" (command \"ml\")\n");
}

TEST(StandardLogLine, EveryFieldIsCutAtACharactersStart) {
  const std::string plain(200, 'x');
  EXPECT_EQ(LogFieldText(plain), std::string(kLogFieldMaxBytes, 'x'));
  // 62 ASCII bytes, then a two-byte character that would straddle byte 63:
  // it goes whole to the next piece, never split.
  const std::string straddling = std::string(62, 'x') + "\xC3\xA9" + "tail";
  EXPECT_EQ(LogFieldText(straddling), std::string(62, 'x'));
  EXPECT_EQ(LogFieldText(std::string(61, 'x') + "\xC3\xA9"), std::string(61, 'x') + "\xC3\xA9");

  const std::string longName(300, 'n');
  const std::string line =
      PlayerTriggeredLine({longName, 1, longName, longName}, longName, longName, longName);
  EXPECT_EQ(line.size(),
            6 * kLogFieldMaxBytes + std::string("\"<1><><>\" triggered \"\" ( \"\")\n").size());
}

}  // namespace
