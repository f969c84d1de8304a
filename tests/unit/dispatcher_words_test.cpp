// Recognising a command word in the words the host hands over.
#include <gtest/gtest.h>

#include "commands/dispatcher.h"

namespace {

struct WordCase {
  const char* word0;
  const char* word1;
  const char* word;
  bool expected;
};

TEST(IsCommand, WholeWordOrSlashWordInChatIgnoringAsciiCase) {
  const WordCase cases[] = {
      // the word as word 0, from a console
      {"stv", "", "stv", true},
      {"MoveLast", "", "movelast", true},
      {"KEL_HELP", "x", "kel_help", true},
      {"stv", "please", "stv", true},  // arguments after a console word do not matter
      // in chat
      {"say", "/stv", "stv", true},
      {"say_team", "/stv", "stv", true},
      {"say", "/STV", "stv", true},
      {"SAY", "/sl", "sl", true},
      {"Say_Team", "/Kel", "kel", true},
      // no trimming, no prefix match
      {"say", "/stv please", "stv", false},
      {"say", "/stv ", "stv", false},
      {"say", " /stv", "stv", false},
      {"say", "/st", "stv", false},
      {"say", "/stvx", "stv", false},
      {"say", "stv", "stv", false},
      {"say", "//stv", "stv", false},
      {"say", "/", "stv", false},
      {"say", "", "stv", false},
      {"st", "", "stv", false},
      {"stv2", "", "stv", false},
      {" stv", "", "stv", false},
      // "/word" is chat only
      {"/stv", "", "stv", false},
      {"sayteam", "/stv", "stv", false},
      {"say_", "/stv", "stv", false},
      {"tell", "/stv", "stv", false},
      // "say" itself as a word
      {"say", "/say", "say", true},
      // ASCII case only: bytes above 127 compare as they are
      {"k\xC9l", "", "k\xE9l", false},
      {"k\xC9l", "", "k\xC9l", true},
  };
  for (const WordCase& c : cases) {
    EXPECT_EQ(IsCommand(CommandWords{c.word0, c.word1}, c.word), c.expected)
        << '"' << c.word0 << "\" \"" << c.word1 << "\" as " << c.word;
  }
}

TEST(IsCommand, NullsAreNoCommand) {
  EXPECT_FALSE(IsCommand(CommandWords{"stv", ""}, nullptr));
  EXPECT_FALSE(IsCommand(CommandWords{nullptr, "/stv"}, "stv"));
  EXPECT_FALSE(IsCommand(CommandWords{"say", nullptr}, "stv"));
}

}  // namespace
