// The plugin shell as the plugin manager and the engine meet it: entry
// points, handshakes, tables, registrations and the map start.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "command_table.h"
#include "console_variables.h"
#include "sim_fixture.h"

namespace {

using kelsim_test::SimFixture;

class ShellTest : public SimFixture {
 protected:
  template <typename Fn>
  Fn Entry(const char* name) {
    void* symbol = server.Symbol(name);
    EXPECT_NE(symbol, nullptr) << name;
    return reinterpret_cast<Fn>(symbol);
  }
  // Calls the table getter NAME, whose table is a Table; -1 when the plugin
  // has no such entry point.
  template <typename Table>
  int CallGetter(const char* name, void* table, int* version) {
    const auto getter = Entry<int (*)(Table*, int*)>(name);
    return getter ? getter(static_cast<Table*>(table), version) : -1;
  }
};

// The registrations follow the plugin's own tables: every variable of its
// own in table order, with its default and flags, and every command word.
TEST_F(ShellTest, RegistersItsCvarsInTableOrderWithDefaultsAndFlags) {
  const auto& cvars = server.RegisteredCvars();
  std::size_t registered = 0;
  for (const ConsoleVariable& row : kConsoleVariables) {
    if (row.registration == CvarRegistration::NotOurs) {
      for (const auto& cvar : cvars) EXPECT_NE(cvar.name, row.name) << "not the plugin's own";
      continue;
    }
    ASSERT_LT(registered, cvars.size()) << row.name;
    const auto& cvar = cvars[registered++];
    EXPECT_EQ(cvar.name, row.name);
    EXPECT_EQ(cvar.defaultValue, row.defaultValue) << row.name;
    EXPECT_EQ(cvar.flags, static_cast<int>(row.registration)) << row.name;
    EXPECT_EQ(server.Cvar(row.name), row.defaultValue) << row.name;
  }
  EXPECT_EQ(registered, cvars.size());
  EXPECT_GE(registered, 3u);
  EXPECT_EQ(static_cast<int>(CvarRegistration::Server), FCVAR_SERVER);
  EXPECT_EQ(static_cast<int>(CvarRegistration::Protected), FCVAR_PROTECTED);
}

TEST_F(ShellTest, RegistersEveryCommandWordInTableOrder) {
  std::vector<std::string> expected;
  for (const CommandRow& row : CommandTable()) {
    for (const char* word : row.words)
      if (word) expected.emplace_back(word);
  }
  EXPECT_EQ(server.RegisteredCommands(), expected);
  EXPECT_GE(expected.size(), 10u);
}

TEST_F(ShellTest, MetaQueryGivesThePluginInformation) {
  const plugin_info_t* info = server.PluginInfo();
  ASSERT_NE(info, nullptr);
  EXPECT_STREQ(info->ifvers, "5:10");
  EXPECT_STREQ(info->name, "Kelvane");
  EXPECT_STREQ(info->version, kPluginVersion);
  EXPECT_STREQ(info->date, "Mon Feb 16 02:39:40 2004");
  EXPECT_STREQ(info->logtag, "KEL");
  EXPECT_EQ(info->loadable, PT_ANYPAUSE);
  EXPECT_EQ(info->unloadable, PT_ANYPAUSE);
}

TEST_F(ShellTest, MetaAttachFillsOnlyTheTwoGetters) {
  const META_FUNCTIONS& table = server.MetaFunctions();
  EXPECT_EQ(reinterpret_cast<void*>(table.pfnGetEntityAPI2), server.Symbol("GetEntityAPI2"));
  EXPECT_EQ(reinterpret_cast<void*>(table.pfnGetEngineFunctions),
            server.Symbol("GetEngineFunctions"));
  EXPECT_NE(table.pfnGetEntityAPI2, nullptr);
  EXPECT_NE(table.pfnGetEngineFunctions, nullptr);
  EXPECT_EQ(table.pfnGetEntityAPI, nullptr);
  EXPECT_EQ(table.pfnGetEntityAPI_Post, nullptr);
  EXPECT_EQ(table.pfnGetEntityAPI2_Post, nullptr);
  EXPECT_EQ(table.pfnGetNewDLLFunctions, nullptr);
  EXPECT_EQ(table.pfnGetNewDLLFunctions_Post, nullptr);
  EXPECT_EQ(table.pfnGetEngineFunctions_Post, nullptr);
}

TEST_F(ShellTest, HookTableSetsExactlyTheFiveHooks) {
  const DLL_FUNCTIONS& hooks = server.GameHooks();
  void* entries[sizeof(DLL_FUNCTIONS) / sizeof(void*)];
  std::memcpy(entries, &hooks, sizeof(entries));
  std::vector<int> set;
  for (int i = 0; i < static_cast<int>(sizeof(entries) / sizeof(void*)); ++i)
    if (entries[i]) set.push_back(i);
  EXPECT_EQ(set, (std::vector<int>{1, 16, 19, 20, 25}));

  // Asked again, the getter gives the same table and says nothing.
  auto getter = Entry<GETENTITYAPI2_FN>("GetEntityAPI2");
  ASSERT_NE(getter, nullptr);
  server.ClearObservations();
  DLL_FUNCTIONS table{};
  int version = INTERFACE_VERSION;
  EXPECT_NE(getter(&table, &version), 0);
  EXPECT_EQ(std::memcmp(&table, &hooks, sizeof(table)), 0);
  EXPECT_TRUE(server.LogLines().empty());
  EXPECT_TRUE(server.ErrorLines().empty());
}

// The manager's two table getters refuse alike: a null table, or a version
// other than the plugin's, is answered 0 with one line, the plugin's
// version written back and the table left untouched.  GetEntityAPI2 says it
// in the log; GetEngineFunctions on the manager's error channel, one line
// each: the manager ends the line, the plugin must not.
TEST_F(ShellTest, TableGettersRefuseNullTableAndWrongVersion) {
  using kelsim::SimServer;
  const struct {
    const char* name;
    int (ShellTest::*call)(const char* name, void* table, int* version);
    int version;
    const std::vector<std::string>& (SimServer::*said)() const;
    const std::vector<std::string>& (SimServer::*unsaid)() const;
    std::string nullLine, mismatchLine;
  } getters[] = {
      {"GetEntityAPI2", &ShellTest::CallGetter<DLL_FUNCTIONS>, INTERFACE_VERSION,
       &SimServer::LogLines, &SimServer::ErrorLines,
       "GetEntityAPI2 called with null pFunctionTable\n",
       "GetEntityAPI2 version mismatch; requested=139 ours=140\n"},
      {"GetEngineFunctions", &ShellTest::CallGetter<enginefuncs_t>, ENGINE_INTERFACE_VERSION,
       &SimServer::ErrorLines, &SimServer::LogLines,
       "GetEngineFunctions called with null pengfuncsFromEngine",
       "GetEngineFunctions version mismatch; requested=137 ours=138"},
  };
  for (const auto& getter : getters) {
    SCOPED_TRACE(getter.name);
    server.ClearObservations();
    int version = getter.version;
    EXPECT_EQ((this->*getter.call)(getter.name, nullptr, &version), 0);
    EXPECT_EQ((server.*getter.said)(), std::vector<std::string>{getter.nullLine});
    EXPECT_TRUE((server.*getter.unsaid)().empty());

    server.ClearObservations();
    std::vector<unsigned char> table(sizeof(DLL_FUNCTIONS) + sizeof(enginefuncs_t), 0);
    version = getter.version - 1;
    EXPECT_EQ((this->*getter.call)(getter.name, table.data(), &version), 0);
    EXPECT_EQ(version, getter.version);
    EXPECT_EQ((server.*getter.said)(), std::vector<std::string>{getter.mismatchLine});
    EXPECT_TRUE((server.*getter.unsaid)().empty());
    EXPECT_EQ(std::count(table.begin(), table.end(), 0), static_cast<std::ptrdiff_t>(table.size()))
        << "a refused table stays untouched";
  }
}

TEST_F(ShellTest, GetEngineFunctionsCopiesAnAllNullPrefixAndNothingBeyond) {
  auto getter = Entry<GET_ENGINE_FUNCTIONS_FN>("GetEngineFunctions");
  ASSERT_NE(getter, nullptr);
  // The manager's table is longer than the 144 entries the plugin knows.
  constexpr std::size_t kPrefix = sizeof(enginefuncs_t);
  std::vector<unsigned char> table(kPrefix + 64, 0xAB);
  int version = ENGINE_INTERFACE_VERSION;
  EXPECT_NE(getter(reinterpret_cast<enginefuncs_t*>(table.data()), &version), 0);
  EXPECT_EQ(version, ENGINE_INTERFACE_VERSION);
  for (std::size_t i = 0; i < kPrefix; ++i) ASSERT_EQ(table[i], 0) << "byte " << i;
  for (std::size_t i = kPrefix; i < table.size(); ++i) ASSERT_EQ(table[i], 0xAB) << "byte " << i;
  EXPECT_TRUE(server.ErrorLines().empty());
}

TEST_F(ShellTest, MetaAttachRefusesNullMetaGlobals) {
  auto attach = Entry<META_ATTACH_FN>("Meta_Attach");
  ASSERT_NE(attach, nullptr);
  server.ClearObservations();
  META_FUNCTIONS table{};
  EXPECT_EQ(attach(PT_ANYTIME, &table, nullptr, nullptr), 0);
  EXPECT_EQ(server.ErrorLines(),
            (std::vector<std::string>{"Meta_Attach called with null pMGlobals"}));
  EXPECT_EQ(table.pfnGetEntityAPI2, nullptr);
}

TEST_F(ShellTest, MetaAttachWithNullTableStillKeepsTheMetaGlobals) {
  auto attach = Entry<META_ATTACH_FN>("Meta_Attach");
  ASSERT_NE(attach, nullptr);
  server.ClearObservations();
  static meta_globals_t substitute{};  // outlives the test: the plugin keeps it
  substitute.mres = MRES_UNSET;
  EXPECT_EQ(attach(PT_ANYTIME, nullptr, &substitute, nullptr), 0);
  EXPECT_EQ(server.ErrorLines(),
            (std::vector<std::string>{"Meta_Attach called with null pFunctionTable"}));

  // The next hook writes its result into the globals kept just now, so the
  // manager's own stay unset.
  allowHostErrors = true;
  server.Frame();
  EXPECT_EQ(substitute.mres, MRES_IGNORED);
  EXPECT_EQ(server.LastResult(), MRES_UNSET);
  EXPECT_EQ(server.HostErrors(), (std::vector<std::string>{"pfnStartFrame left mres unset"}));

  // Attached properly again, results reach the manager.
  META_FUNCTIONS table{};
  EXPECT_EQ(attach(PT_ANYTIME, &table, &server.MetaGlobals(), nullptr), 1);
  server.Frame();
  EXPECT_EQ(server.LastResult(), MRES_IGNORED);
}

TEST_F(ShellTest, VersionCvarIsPutBackAtEveryMapStart) {
  EXPECT_EQ(server.Cvar("mm_kel_version"), kPluginVersion);
  for (const char* map : {"map_two", "map_three"}) {
    server.SetCvar("mm_kel_version", "9.99");
    server.ChangeMap(map);
    EXPECT_EQ(server.Cvar("mm_kel_version"), kPluginVersion) << map;
  }
}

TEST_F(ShellTest, OnlyTheWorldSpawnRunsTheMapStart) {
  server.ChangeMap();
  EXPECT_EQ(server.LastResult(), MRES_HANDLED);

  const struct {
    const char* className;
    META_RES result;
  } cases[] = {
      {"info_player_start", MRES_IGNORED},
      {"WorldSpawn", MRES_IGNORED},
      {"worldspawn ", MRES_IGNORED},
      {"", MRES_IGNORED},
      // The class name alone decides: any entity of class worldspawn.
      {"worldspawn", MRES_HANDLED},
  };
  for (const auto& c : cases) {
    server.SetCvar("mm_kel_version", "changed");
    EXPECT_EQ(server.SpawnEntity(c.className), c.result) << '"' << c.className << '"';
    EXPECT_EQ(server.Cvar("mm_kel_version"), c.result == MRES_HANDLED ? kPluginVersion : "changed")
        << '"' << c.className << '"';
  }
}

TEST_F(ShellTest, ClientCommandWithoutGameObjectReachesNothing) {
  server.SetCvar("mp_serverops", "STEAM_0:0:7");
  const int slot = server.ConnectWithoutGameObject("Early", "STEAM_0:0:7");
  ASSERT_NE(slot, 0);
  server.ClearObservations();
  for (const char* word : {"kel_help", "kel", "stv", "rrr"}) {
    EXPECT_EQ(server.ClientCommand(slot, {word}), MRES_IGNORED) << word;
    EXPECT_EQ(server.Say(slot, std::string("/") + word), MRES_IGNORED) << word;
  }
  EXPECT_TRUE(server.Client(slot).hud.empty());
  EXPECT_TRUE(server.Client(slot).chat.empty());
  EXPECT_TRUE(server.Client(slot).commands.empty());
  EXPECT_TRUE(server.ConsoleLines().empty());
  EXPECT_TRUE(server.LogLines().empty());
  // Not superseded, so the game showed the chat lines.
  EXPECT_EQ(PlayerChat(slot).size(), 4u);
}

TEST_F(ShellTest, MetaDetachReturnsOneAndEndsNothing) {
  auto detach = Entry<META_DETACH_FN>("Meta_Detach");
  ASSERT_NE(detach, nullptr);
  EXPECT_EQ(detach(PT_ANYTIME, PNL_COMMAND), 1);
  // Still working after a detach call: nothing was torn down.
  server.ChangeMap();
  EXPECT_EQ(server.LastResult(), MRES_HANDLED);
}

TEST_F(ShellTest, UnloadedLibraryLeavesItsCommandsDead) {
  const std::size_t commands = server.RegisteredCommands().size();
  const std::size_t cvars = server.RegisteredCvars().size();
  server.Unload();
  // dlclose really unmapped it: a load starts from fresh static state.
  EXPECT_FALSE(server.StayedMappedAtUnload());
  EXPECT_FALSE(server.ServerCommand({"kel_help"}));
  EXPECT_EQ(server.RegisteredCommands().size(), commands);
  // Loaded again, it takes its commands and the manager's copies of its
  // variables back, and registers nothing twice.
  server.ClearObservations();
  ASSERT_TRUE(server.Load(kelsim_test::PluginLibraryPath(), PT_ANYTIME)) << server.LoadError();
  EXPECT_EQ(server.RegisteredCommands().size(), commands);
  EXPECT_EQ(server.RegisteredCvars().size(), cvars);
  for (const std::string& line : server.ConsoleLines())
    EXPECT_EQ(line.find("already defined"), std::string::npos) << line;
  EXPECT_TRUE(server.ServerCommand({"kel_help"}));
}

}  // namespace
