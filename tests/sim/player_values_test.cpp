// Stories of the player values file on a running server: where the plugin
// looks for it, when a map start loads it, and the C generator it seeds
// only when the load succeeds.  Whether the values are loaded shows in stv.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sim_server.h"

namespace {

using Strings = std::vector<std::string>;

constexpr const char* kNotLoaded = "Sorry, player values not loaded";

std::vector<int> Draws(int n) {
  std::vector<int> out;
  for (int i = 0; i < n; ++i) out.push_back(std::rand());
  return out;
}

class PlayerValuesFile : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Load(KEL_PLUGIN_PATH)) << server.LoadError();
    server.ChangeMap();
  }
  void TearDown() override {
    EXPECT_FALSE(server.Fatal()) << server.FatalReason();
    EXPECT_EQ(server.HostErrors(), Strings{});
  }

  // Writes a file at `relative` to the plugin library's directory.
  void WriteFile(const std::string& relative, const std::string& content) {
    const std::filesystem::path path = std::filesystem::path(server.PluginDirectory()) / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    ASSERT_TRUE(out.good()) << path;
  }
  void RemoveFile(const std::string& relative) {
    std::filesystem::remove(std::filesystem::path(server.PluginDirectory()) / relative);
  }

  // Asks stv on the server console: false when it refuses for want of values.
  bool ValuesLoaded() {
    server.ClearObservations();
    EXPECT_TRUE(server.ServerCommand({"stv"}));
    return server.ConsoleLines() != Strings{kNotLoaded};
  }

  // Starts a map with the generator seeded by the test first, and tells
  // whether the plugin reseeded it with the calendar time meanwhile.
  enum class Seeding { Untouched, ByClock, Other };
  Seeding ChangeMapAndWatchTheGenerator() {
    constexpr unsigned kSeed = 20040216;
    server.SeedRandom(kSeed);
    const std::vector<int> fromSeed = Draws(4);
    server.SeedRandom(kSeed);
    const long long before = std::time(nullptr);
    server.ChangeMap();
    const long long after = std::time(nullptr);
    const std::vector<int> seen = Draws(4);
    if (seen == fromSeed) return Seeding::Untouched;
    for (long long t = before; t <= after; ++t) {
      std::srand(static_cast<unsigned>(t));
      if (Draws(4) == seen) return Seeding::ByClock;
    }
    return Seeding::Other;
  }

  // The value stv shows for `name` ("| <value> - <name>"), or a failure.
  int ShownValue(const std::string& name) {
    server.ClearObservations();
    EXPECT_TRUE(server.ServerCommand({"stv"}));
    for (const std::string& line : server.ConsoleLines()) {
      const std::string tail = " - " + name;
      if (line.size() > tail.size() + 2 && line.compare(0, 2, "| ") == 0 &&
          line.compare(line.size() - tail.size(), tail.size(), tail) == 0) {
        return std::atoi(line.c_str() + 2);
      }
    }
    ADD_FAILURE() << "stv shows no value for " << name;
    return -1;
  }

  kelsim::SimServer server;
};

TEST_F(PlayerValuesFile, DefaultFileBesideTheLibraryLoadsAndSeedsFromTheClock) {
  // Attach and the first map found no file.
  EXPECT_FALSE(ValuesLoaded());
  WriteFile("player_values.txt", "STEAM_0:1:1,1500\nSTEAM_0:0:2,900\n");
  EXPECT_EQ(server.Cvar("kel_playervaluesfile"), "player_values.txt");
  EXPECT_EQ(ChangeMapAndWatchTheGenerator(), Seeding::ByClock);
  EXPECT_TRUE(ValuesLoaded());
}

TEST_F(PlayerValuesFile, MapStartWithoutTheFileLeavesTheGeneratorAlone) {
  EXPECT_EQ(ChangeMapAndWatchTheGenerator(), Seeding::Untouched);
  EXPECT_FALSE(ValuesLoaded());

  // Also after a good map: the next map's failed load does not reseed.
  WriteFile("player_values.txt", "a,5\n");
  EXPECT_EQ(ChangeMapAndWatchTheGenerator(), Seeding::ByClock);
  RemoveFile("player_values.txt");
  EXPECT_EQ(ChangeMapAndWatchTheGenerator(), Seeding::Untouched);
  EXPECT_FALSE(ValuesLoaded());

  // A file whose values sum to 0 fails the same way.
  WriteFile("player_values.txt", "a,5\nb,-5\n");
  EXPECT_EQ(ChangeMapAndWatchTheGenerator(), Seeding::Untouched);
  EXPECT_FALSE(ValuesLoaded());
}

TEST_F(PlayerValuesFile, CvarNamesAPathUnderTheLibraryDirectory) {
  server.SetCvar("kel_playervaluesfile", "stats/values.txt");
  WriteFile("values.txt", "a,5\n");  // the right name in the wrong directory
  EXPECT_EQ(ChangeMapAndWatchTheGenerator(), Seeding::Untouched);
  EXPECT_FALSE(ValuesLoaded());

  WriteFile("stats/values.txt", "a,5\n");
  EXPECT_EQ(ChangeMapAndWatchTheGenerator(), Seeding::ByClock);
  EXPECT_TRUE(ValuesLoaded());
}

TEST_F(PlayerValuesFile, EmptyCvarNamesTheDirectoryWhichFails) {
  WriteFile("player_values.txt", "a,5\n");
  server.ChangeMap();
  ASSERT_TRUE(ValuesLoaded());
  server.SetCvar("kel_playervaluesfile", "");
  EXPECT_EQ(ChangeMapAndWatchTheGenerator(), Seeding::Untouched);
  EXPECT_FALSE(ValuesLoaded());
}

TEST_F(PlayerValuesFile, CvarChangeWaitsForTheNextMapStart) {
  WriteFile("player_values.txt", "a,5\n");
  server.ChangeMap();
  server.SetCvar("kel_playervaluesfile", "elsewhere.txt");
  EXPECT_TRUE(ValuesLoaded()) << "read at map start only";
  server.ChangeMap();
  EXPECT_FALSE(ValuesLoaded());
}

// Every load writes one line to the server log, at attach and at every map
// start: how many values it read and their average, or why it read none.
TEST_F(PlayerValuesFile, EveryLoadSaysInTheLogHowItWent) {
  const std::string path = server.PluginDirectory() + "/player_values.txt";
  const std::string missing =
      "kel: could not read player values from \"" + path + "\": no such file\n";
  EXPECT_EQ(server.LogLines(), (Strings{missing, missing})) << "attach, then the first map";

  const struct {
    const char* what;
    std::string contents;  // of player_values.txt; "-" for no file at all
    std::string fileCvar;
    std::string line;
  } cases[] = {
      {"two values", "STEAM_0:1:1,1500\nSTEAM_0:0:2,900\n", "player_values.txt",
       "kel: read 2 player values from \"" + path + "\" (average 1200)\n"},
      {"a byte-order mark", "\xEF\xBB\xBFSTEAM_0:1:1,1500\r\nSTEAM_0:0:2,900\r\n",
       "player_values.txt", "kel: read 2 player values from \"" + path + "\" (average 1200)\n"},
      {"no file", "-", "player_values.txt", missing},
      {"values summing to 0", "a,5\nb,-5\n", "player_values.txt",
       "kel: could not read player values from \"" + path + "\": no values\n"},
      {"the folder itself", "a,5\n", "",
       "kel: could not read player values from \"" + server.PluginDirectory() +
           "/\": not a regular file\n"},
      {"a link to itself", "a,5\n", "loop.txt",
       "kel: could not read player values from \"" + server.PluginDirectory() +
           "/loop.txt\": cannot be read\n"},
  };
  const std::string loop = server.PluginDirectory() + "/loop.txt";
  ASSERT_EQ(symlink(loop.c_str(), loop.c_str()), 0);
  for (const auto& c : cases) {
    if (c.contents == "-") {
      RemoveFile("player_values.txt");
    } else {
      WriteFile("player_values.txt", c.contents);
    }
    server.SetCvar("kel_playervaluesfile", c.fileCvar);
    server.ClearObservations();
    server.ChangeMap();
    EXPECT_EQ(server.LogLines(), Strings{c.line}) << c.what;
  }
  RemoveFile("loop.txt");
}

// A seed whose first rand() % 10 is `draw`.
unsigned SeedDrawing(int draw) {
  unsigned seed = 1;
  for (std::srand(seed); std::rand() % 10 != draw; std::srand(++seed)) {
  }
  return seed;
}

// A stats job rewriting the file made one map start miss it.  The next map
// must see only the new file: Ann, not listed any more, gets a default from
// the new average, not her old value; and the old entries do not dilute
// that average (Di, never listed, would get a third of it).
TEST_F(PlayerValuesFile, FailedMapStartDoesNotPoisonTheNextLoad) {
  const int ann = server.Connect("Ann", "STEAM_0:1:100");
  const int bo = server.Connect("Bo", "STEAM_0:0:200");
  const int di = server.Connect("Di", "STEAM_0:0:400");
  // A map start puts everyone in the ready room; they go back to their teams.
  const auto newMap = [&] {
    server.ChangeMap();
    server.SetTeam(ann, 1);
    server.SetTeam(bo, 2);
    server.SetTeam(di, 2);
  };

  WriteFile("player_values.txt", "STEAM_0:1:100,1500\nSTEAM_0:0:200,900\nSTEAM_0:1:300,3000\n");
  newMap();
  EXPECT_EQ(ShownValue("Ann"), 1500);
  EXPECT_EQ(ShownValue("Bo"), 900);

  RemoveFile("player_values.txt");
  newMap();
  EXPECT_FALSE(ValuesLoaded());

  WriteFile("player_values.txt", "STEAM_0:0:200,2000\n");
  newMap();
  // stv values the players in slot order: Ann draws first.
  server.SeedRandom(SeedDrawing(3));
  EXPECT_EQ(ShownValue("Ann"), 1940);
  EXPECT_EQ(ShownValue("Bo"), 2000);
  const int diValue = ShownValue("Di");
  EXPECT_GE(diValue, 1820);
  EXPECT_LE(diValue, 2000);
  EXPECT_EQ(ShownValue("Ann"), 1940) << "a default is kept for the map";
}

// The default of an unknown player is drawn from the plugin's generator,
// which the test controls: with an average of 1000, a draw of 7 gives 929
// (double precision), 1 gives 990.
TEST_F(PlayerValuesFile, UnknownPlayerGetsTheDrawnShareOfTheAverage) {
  WriteFile("player_values.txt", "STEAM_0:1:1,1000\nSTEAM_0:1:2,1000\n");
  server.ChangeMap();
  const struct {
    int draw;
    int value;
  } cases[] = {{7, 929}, {1, 990}, {0, 1000}, {9, 910}};
  int next = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.draw);
    const std::string name = "New" + std::to_string(++next);
    const int slot = server.Connect(name, "STEAM_0:0:9" + std::to_string(next));
    server.SetTeam(slot, 1);
    // stv asks the store for every listed player; the earlier newcomers
    // keep their defaults and draw nothing, so this one draws first.
    server.SeedRandom(SeedDrawing(c.draw));
    EXPECT_EQ(ShownValue(name), c.value);
  }
}

}  // namespace
