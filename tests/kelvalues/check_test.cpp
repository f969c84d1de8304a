// kelvalues check on crafted files: every warning with its lines, the
// figures the plugin would hold, and the statuses.
#include "check.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "temp_folder.h"

namespace kelvalues {
namespace {

class CheckTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& content) {
    std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

  static std::vector<std::string> Lines(const std::string& report) {
    std::vector<std::string> lines;
    std::istringstream in(report);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  TempFolder folder_;
  const std::string dir_ = folder_.path();
};

// One file with every mistake an operator makes by hand.  Each expected
// warning names where it is and a phrase of what it says; the report must
// hold each exactly once and no other warning.
TEST_F(CheckTest, WarnsOfEachMistakeWithItsLines) {
  const std::string content =
      "\xEF\xBB\xBFsteamid,value\r\n"  // 1: mark, CR LF, header
      "STEAM_0:0:1,1000\r\n"           // 2
      "\n"                             // 3: blank
      "STEAM_0:0:2,abc\n"              // 4: no digits
      "STEAM_0:0:3,1000abc\n"          // 5: junk after the digits
      "BOT,1000\n"                     // 6: no player's id
      "STEAM_1:0:4,1000\n"             // 7: another form
      "STEAM_0:0:5,99999999999\n"      // 8: clamped, an outlier
      "STEAM_0:0:6,1000\n"             // 9: duplicate of 12
      "STEAM_0:0:8, 1000 \n"           // 10: blanks around the value are fine
      "no comma here\n"                // 11
      "STEAM_0:0:6,1000\n"             // 12
      "xyz,1000\n"                     // 13: not a Steam id
      "STEAM_0:0:7,1000";              // 14: no line end
  const CheckResult result = CheckValuesFile(Write("values.txt", content));
  EXPECT_EQ(result.status, kCheckDoNotInstall);  // line 8 moves the average

  const std::vector<std::string> lines = Lines(result.report);
  ASSERT_GE(lines.size(), 2u) << result.report;
  // 9 x 1000 and 2^31 - 1 over 13 distinct ids (the blank line's empty id
  // and the line without a comma among them).
  EXPECT_EQ(lines[0], dir_ +
                          "/values.txt: 14 lines, 13 distinct ids, sum 2147492647, "
                          "average 165191742");
  EXPECT_EQ(lines[1], "the plugin would log: kel: read 13 player values from \"" + dir_ +
                          "/values.txt\" (average 165191742)");

  struct Expected {
    std::string where;
    std::string phrase;
  };
  const std::vector<Expected> expected = {
      {"line 1", "byte-order mark"},
      {"lines 1-2", "CR LF line ends"},
      {"line 3", "blank line"},
      {"line 11", "no comma; the plugin reads \"no comma here\" as an id with the value 0"},
      {"line 1", "value \"value\" has no digits"},
      {"line 4", "value \"abc\" has no digits"},
      {"line 5", "value \"1000abc\" has other text after its digits; the plugin reads it as 1000"},
      {"line 8", "\"99999999999\" is beyond the 32-bit range; the plugin reads it as 2147483647"},
      {"line 7",
       "\"STEAM_1:0:4\" never matches a player, whose id is compared byte for byte: "
       "write STEAM_0:0:4"},
      {"line 1", "\"steamid\" is not a Steam id"},
      {"line 6", "\"BOT\" is not a player's own Steam id"},
      {"line 13", "\"xyz\" is not a Steam id"},
      {"lines 9, 12", "\"STEAM_0:0:6\" is given 2 times; the plugin keeps the last value, 1000"},
      {"line 8", "value 2147483647 lies far outside the others"},
      // Without line 8: 9000 over 12 ids.  Unknown players are drawn 91 to
      // 100 % of the average.
      {"without line 8",
       " the average would be 750 and unknown players would be given 682 to "
       "750; with it the average is 165191742 and unknown players are given "
       "150324485 to 165191742"},
  };
  std::vector<std::string> warnings;
  for (const std::string& line : lines) {
    if (line.starts_with("warning: ")) warnings.push_back(line.substr(9));
  }
  for (const Expected& e : expected) {
    int found = 0;
    for (const std::string& w : warnings) {
      const bool placed = w.starts_with(e.where + ": ") || w.starts_with(e.where + " ");
      if (placed && w.find(e.phrase) != std::string::npos) ++found;
    }
    EXPECT_EQ(found, 1) << e.where << ": " << e.phrase << "\n" << result.report;
  }
  EXPECT_EQ(warnings.size(), expected.size()) << result.report;
  EXPECT_EQ(lines.back(),
            "kelvalues: do not install this file: unknown players would be given values far "
            "from what the others hold");
}

// Ten values of 1000 and one more, each line ending in `end`.
std::string TenAnd(const std::string& last, const char* end = "\n") {
  std::string text;
  for (int i = 1; i <= 10; ++i) text += "STEAM_0:0:" + std::to_string(i) + ",1000" + end;
  return text + "STEAM_0:1:1," + last + end;
}

// The status a cron job acts on (0 and 1 install, 3 does not), and what
// the report says for each.
TEST_F(CheckTest, StatusSaysWhetherThePluginLoadsIt) {
  struct Case {
    const char* name;
    std::string content;  // empty name below: the path is made another way
    int status;
    const char* says;  // a phrase of the report
  };
  const std::string folder = dir_;
  // Windows refuses to open a folder before the loader sees its type; the
  // loader tells it apart all the same, so both say the same.
  const char* const kFolderSays = "\": not a regular file";
  const Case cases[] = {
      {"clean", "STEAM_0:0:1,1000\nSTEAM_0:1:1,1200\n", kCheckClean,
       "kel: read 2 player values from"},
      {"harmless CR LF ends", TenAnd("1200", "\r\n"), kCheckWarnings, "CR LF line ends"},
      // The outlier moves the average from 1000 to 1363 and to 1545: by
      // 36 % the drawn default still fits, by 55 % it no longer does.
      {"an outlier moving the average by a third", TenAnd("5000"), kCheckWarnings,
       "with it the average is 1363"},
      {"an outlier moving the average by more than half", TenAnd("7000"), kCheckDoNotInstall,
       "with it the average is 1545"},
      {"a typo beyond 32 bits", TenAnd("9999999999"), kCheckDoNotInstall,
       "do not install this file"},
      {"negative sum loads, but unknown players get values below 0",
       "STEAM_0:0:1,5\nSTEAM_0:0:2,-55\n", kCheckDoNotInstall,
       "warning: the values sum to -50; the average is -25, so unknown players are given -25 to "
       "-22"},
      {"zero sum", "STEAM_0:0:1,5\nSTEAM_0:0:2,-5\n", kCheckNotLoadable,
       "warning: the values sum to 0; the plugin does not load a file without values"},
      {"empty", "", kCheckNotLoadable, "could not read player values from"},
      {"a byte-order mark alone", "\xEF\xBB\xBF", kCheckNotLoadable, ": 0 lines, 0 distinct ids"},
      {"missing", "", kCheckNotLoadable, "\": no such file"},
      {"a folder", "", kCheckNotLoadable, kFolderSays},
  };
  for (const Case& c : cases) {
    const std::string name = c.name;
    std::string path;
    if (name == "missing") {
      path = dir_ + "/no_such_file.txt";
    } else if (name == "a folder") {
      path = folder;
    } else {
      path = Write("case.txt", c.content);
    }
    const CheckResult result = CheckValuesFile(path);
    EXPECT_EQ(result.status, c.status) << c.name << "\n" << result.report;
    EXPECT_NE(result.report.find(c.says), std::string::npos) << c.name << "\n" << result.report;
    if (c.status == kCheckClean) {
      EXPECT_EQ(result.report.find("warning"), std::string::npos) << result.report;
    }
  }
}

}  // namespace
}  // namespace kelvalues
