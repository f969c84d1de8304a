// What every command that makes a values file relies on: the id forms, the
// scale, and a writer that never leaves a half or unloadable file.
#include "values_out.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "player_values.h"
#include "temp_folder.h"

namespace kelvalues {
namespace {

TEST(ValuesOut, SteamIdForms) {
  struct Case {
    std::string text;
    std::optional<std::string> id;
  };
  const std::optional<std::string> none;
  const Case cases[] = {
      {"STEAM_0:1:45", "STEAM_0:1:45"},
      {"STEAM_0:0:12345678", "STEAM_0:0:12345678"},
      {"STEAM_1:1:45", "STEAM_0:1:45"},
      {"STEAM_0:1:0045", "STEAM_0:1:45"},
      {"1:748805", "STEAM_0:1:748805"},
      {"0:7", "STEAM_0:0:7"},
      {"[U:1:91]", "STEAM_0:1:45"},
      {"[U:1:4294967295]", "STEAM_0:1:2147483647"},
      {"76561197960265819", "STEAM_0:1:45"},          // base + 91
      {"76561198000000000", "STEAM_0:0:19867136"},    // base + 39734272
      {"76561202255233023", "STEAM_0:1:2147483647"},  // base + 2^32 - 1
      {"STEAM_0:1:2147483647", "STEAM_0:1:2147483647"},
      // Not players, or not ids at all.
      {"BOT", none},
      {"HLTV", none},
      {"STEAM_ID_LAN", none},
      {"STEAM_ID_PENDING", none},
      {"VALVE_ID_LAN", none},
      {"VALVE_ID_PENDING", none},
      {"UNKNOWN", none},
      {"VALVE_0:1:45", none},
      {"BOT:12", none},
      {"", none},
      {"abc", none},
      {"STEAM_0:1:", none},
      {"STEAM_0::45", none},
      {"STEAM_0:1:45 ", none},
      {" STEAM_0:1:45", none},
      {"STEAM_0:1:45:3", none},
      {"STEAM_0:1:-45", none},
      {"STEAM_0:1:+45", none},
      {"steam_0:1:45", none},
      {"STEAM_2:1:45", none},
      {"STEAM_0:2:45", none},  // X is 0 or 1
      {"2:45", none},
      {"STEAM_0:0:0", none},  // account 0
      {"[U:1:0]", none},
      {"STEAM_0:0:2147483648", none},  // account beyond 32 bits
      {"STEAM_0:1:99999999999999999999999", none},
      {"[U:1:4294967296]", none},
      {"[U:0:91]", none},
      {"[U:1:91", none},
      {"[U:1:]", none},
      {"76561197960265728", none},  // base + 0
      {"76561202255233024", none},  // base + 2^32
      {"12345", none},
      {"18446744073709551616", none},  // past 64 bits
      {"STEAM_0:1:4,5", none},
      {std::string("STEAM_0:1:4\0"
                   "5",
                   13),
       none},
  };
  for (const Case& c : cases) EXPECT_EQ(NormalizeSteamId(c.text), c.id) << '"' << c.text << '"';
}

TEST(ValuesOut, ScaleToAverage) {
  using Scores = std::vector<std::pair<std::string, double>>;
  constexpr double kInf = std::numeric_limits<double>::infinity();
  constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* name;
    Scores scores;
    double average;
    std::vector<int32_t> values;
  };
  const Case cases[] = {
      {"proportional, mean at the average",
       {{"a", 1}, {"b", 2}, {"c", 3}},
       1000,
       {500, 1000, 1500}},
      {"units do not matter", {{"a", 0.01}, {"b", 0.03}}, 1000, {500, 1500}},
      {"rounded", {{"a", 1}, {"b", 2}}, 1000, {667, 1333}},
      {"floor at 1", {{"a", 0}, {"b", 1e-9}, {"c", 3}}, 1000, {1, 1, 3000}},
      {"negative and not finite count as 0", {{"a", -5}, {"b", kNan}, {"c", 1}}, 300, {1, 1, 900}},
      {"infinite score", {{"a", kInf}, {"b", 1}}, 1000, {1, 2000}},
      {"all zero: everybody the average", {{"a", 0}, {"b", 0}}, 1000, {1000, 1000}},
      {"32-bit ceiling", {{"a", 1}, {"b", 1e3}}, 2e9, {3996004, 2147483647}},
      {"average clamped to the range", {{"a", 1}}, 1e12, {2147483647}},
      {"average below 1", {{"a", 1}, {"b", 1}}, 0, {1, 1}},
      {"other average", {{"a", 2}, {"b", 6}}, 50, {25, 75}},
      {"nothing", {}, 1000, {}},
  };
  for (const Case& c : cases) {
    const std::vector<ValueLine> lines = ScaleToAverage(c.scores, c.average);
    ASSERT_EQ(lines.size(), c.values.size()) << c.name;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      EXPECT_EQ(lines[i].id, c.scores[i].first) << c.name;
      EXPECT_EQ(lines[i].value, c.values[i]) << c.name << " #" << i;
    }
  }
  // The summary's average is the plugin's: the sum over the entries, truncated.
  EXPECT_EQ(Summary({{"a", 1}, {"b", 2}, {"c", 4}}),
            "3 entries, average 2, minimum 1, maximum 4\n");
  EXPECT_EQ(Summary({}), "0 entries\n");
}

class ValuesFileTest : public ::testing::Test {
 protected:
  std::vector<std::string> Listing() const {
    std::vector<std::string> names;
    if (DIR* dir = opendir(dir_.c_str())) {
      while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
      }
      closedir(dir);
    }
    return names;
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  static void Put(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }

  TempFolder folder_;
  const std::string dir_ = folder_.path();
};

// Each case writes to a folder holding yesterday's file: a success replaces
// it with exactly the expected text (which the plugin's own loader then
// reads with the expected count and average), a failure leaves it as it was.
// Either way nothing else remains in the folder.
TEST_F(ValuesFileTest, WritesWholeFilesOrNothing) {
  const std::string kOld = "STEAM_0:0:1,1000\n";
  struct Case {
    const char* name;
    std::vector<ValueLine> lines;
    std::string target;    // relative to the folder
    const char* expected;  // nullptr: the write fails
    int32_t average;
  };
  const Case cases[] = {
      {"sorted by id as bytes, LF ends",
       {{"STEAM_0:1:9", 5}, {"STEAM_0:0:10", 300}, {"STEAM_0:1:10", 1}},
       "values.txt",
       "STEAM_0:0:10,300\nSTEAM_0:1:10,1\nSTEAM_0:1:9,5\n",
       102},
      {"one line",
       {{"STEAM_0:1:45", 2147483647}},
       "values.txt",
       "STEAM_0:1:45,2147483647\n",
       2147483647},
      {"nothing to write", {}, "values.txt", nullptr, 0},
      {"values summing to 0", {{"STEAM_0:1:1", 5}, {"STEAM_0:1:2", -5}}, "values.txt", nullptr, 0},
      {"id twice", {{"STEAM_0:1:1", 5}, {"STEAM_0:1:1", 6}}, "values.txt", nullptr, 0},
      {"id not in the plugin's form", {{"STEAM_1:1:1", 5}}, "values.txt", nullptr, 0},
      {"id that would split a line", {{"STEAM_0:1:1\nSTEAM_0:1:2", 5}}, "values.txt", nullptr, 0},
      {"folder missing", {{"STEAM_0:1:1", 5}}, "no_such_folder/values.txt", nullptr, 0},
      {"folder is a file", {{"STEAM_0:1:1", 5}}, "values.txt/values.txt", nullptr, 0},
      {"target is a folder", {{"STEAM_0:1:1", 5}}, "subfolder", nullptr, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string old = dir_ + "/values.txt";
    Put(old, kOld);
    const std::string folder = dir_ + "/subfolder";
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    const std::string target = dir_ + "/" + c.target;
    std::string error;
    const bool ok = WriteValuesFile(c.lines, target, error);
    EXPECT_EQ(ok, c.expected != nullptr) << error;
    if (c.expected != nullptr) {
      EXPECT_EQ(Read(target), c.expected);
      PlayerValues store;
      EXPECT_EQ(store.LoadFile(target), ValuesLoad::Loaded);
      EXPECT_EQ(store.EntryCount(), c.lines.size());
      EXPECT_EQ(store.Average(), c.average);
    } else {
      EXPECT_FALSE(error.empty());
      EXPECT_EQ(Read(old), kOld);
    }
    const std::vector<std::string> expectedListing = {"subfolder", "values.txt"};
    std::vector<std::string> listing = Listing();
    std::sort(listing.begin(), listing.end());
    EXPECT_EQ(listing, expectedListing) << "a temporary file was left behind";
    ASSERT_TRUE(std::filesystem::remove(folder));
  }
}

// File modes, devices, links and standard output as Linux has them.
#if !defined(_WIN32)
TEST_F(ValuesFileTest, KeepsTheModeOfTheFileItReplaces) {
  const std::string target = dir_ + "/values.txt";
  Put(target, "STEAM_0:0:1,1000\n");
  ASSERT_EQ(chmod(target.c_str(), 0640), 0);
  std::string error;
  ASSERT_TRUE(WriteValuesFile({{"STEAM_0:1:45", 7}}, target, error)) << error;
  struct stat info {};
  ASSERT_EQ(stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
}

// What the target is stays what it was: a device is written into (an
// operator's "-o /dev/null" must not put a plain file in the device's place),
// a symbolic link keeps leading to the file that gets the new lines.
TEST_F(ValuesFileTest, LeavesDevicesAndLinksInPlace) {
  std::string error;
  ASSERT_TRUE(WriteValuesFile({{"STEAM_0:1:45", 7}}, "/dev/null", error)) << error;
  struct stat info {};
  ASSERT_EQ(stat("/dev/null", &info), 0);
  EXPECT_TRUE(S_ISCHR(info.st_mode)) << "/dev/null was replaced";

  const std::string real = dir_ + "/real.txt";
  const std::string link = dir_ + "/link.txt";
  Put(real, "STEAM_0:0:1,1000\n");
  ASSERT_EQ(symlink("real.txt", link.c_str()), 0);
  ASSERT_TRUE(WriteValuesFile({{"STEAM_0:1:45", 7}}, link, error)) << error;
  ASSERT_EQ(lstat(link.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode)) << "the link was replaced by a file";
  EXPECT_EQ(Read(real), "STEAM_0:1:45,7\n");
  std::vector<std::string> listing = Listing();
  std::sort(listing.begin(), listing.end());
  EXPECT_EQ(listing, (std::vector<std::string>{"link.txt", "real.txt"}));
}

// Standard output that cannot take the lines (a full disk, a closed pipe)
// is a failure, not a silent success.  Its text is tested by the commands'
// own tests.
TEST_F(ValuesFileTest, StandardOutputThatFailsIsAFailure) {
  (void)std::fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  ASSERT_GE(saved, 0);
  const int full = open("/dev/full", O_WRONLY);
  ASSERT_GE(full, 0);
  ASSERT_GE(dup2(full, STDOUT_FILENO), 0);
  close(full);
  std::string error;
  const bool ok = WriteValuesFile({{"STEAM_0:1:45", 7}}, "", error);
  std::clearerr(stdout);
  ASSERT_GE(dup2(saved, STDOUT_FILENO), 0);
  close(saved);
  EXPECT_FALSE(ok);
  EXPECT_NE(error.find("standard output"), std::string::npos) << error;
}
#endif

}  // namespace
}  // namespace kelvalues
