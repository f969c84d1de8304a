// The simulated server's own promises: the host behaviours a plugin must live
// with, reproduced so that the plugin's tests can catch a plugin that does
// not.  These reach into the simulator's tables directly (sim_state.h) to call
// the engine and manager entries the way a careless plugin might.
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "plugin_call.h"
#include "plugin_version.h"
#include "sim_fixture.h"
#include "sim_state.h"

namespace {

#if defined(__i386__)
// Where the first argument of the last RecordArguments call stood: the
// stack pointer at the call.
uintptr_t g_firstArgumentAt = 0;
int RecordArguments(int first, int second) {
  g_firstArgumentAt = reinterpret_cast<uintptr_t>(&first);
  return first * 10 + second;
}

__attribute__((stdcall)) int Difference(int first, int second) { return first - second; }

// The trampoline leaves the stack pointer exactly as far off 16 as asked,
// passes the arguments in order and hands back the result; so it does for
// a stdcall function, which pops its own arguments.
TEST(MisalignedCall, CallsWithTheStackAsFarOffAsAsked) {
  const uint32_t words[] = {4, 2};
  for (const uint32_t misalignment : {0u, 4u, 8u, 12u}) {
    const uint32_t result = kelsim::detail::kelsim_call_misaligned(
        reinterpret_cast<const void*>(&RecordArguments), words, 2, misalignment);
    EXPECT_EQ(result, 42u);
    EXPECT_EQ(g_firstArgumentAt % 16, misalignment);
  }
  EXPECT_EQ(kelsim::detail::kelsim_call_misaligned(reinterpret_cast<const void*>(&Difference),
                                                   words, 2, 4),
            2u);
}
#endif

using kelsim_test::kAliens;
using kelsim_test::kMarines;
using kelsim_test::kReadyRoom;
using kelsim_test::SimFixture;
using Strings = std::vector<std::string>;

class SimServerTest : public SimFixture {
 protected:
  enginefuncs_t& Engine() { return kelsim::detail::g_state->engine.prefix; }
  mutil_funcs_t& Utils() { return kelsim::detail::g_state->utils; }
  plid_t Plugin() { return const_cast<plid_t>(server.PluginInfo()); }
  int TextMsg() { return Engine().pfnRegUserMsg("TextMsg", -1); }
  void SendText(int slot, const std::string& text) {
    Engine().pfnMessageBegin(MSG_ONE, TextMsg(), nullptr, server.Edict(slot));
    Engine().pfnWriteByte(HUD_PRINTTALK);
    Engine().pfnWriteString(text.c_str());
    Engine().pfnMessageEnd();
  }
};

TEST_F(SimServerTest, ManagerLogsAlwaysEndTheLineThemselves) {
  server.ClearObservations();
  Utils().pfnLogConsole(Plugin(), "%s", "plain");
  Utils().pfnLogConsole(Plugin(), "%s", "ends in a line end\n");
  Utils().pfnLogConsole(Plugin(), "two\nlines");
  EXPECT_EQ(server.ConsoleLines(), (Strings{"plain", "ends in a line end", "", "two", "lines"}));

  Utils().pfnLogError(Plugin(), "%s", "oops\n");
  EXPECT_EQ(server.ErrorLines(), (Strings{"oops", ""}));
}

TEST_F(SimServerTest, ManagerLogsReadTheirTextAsAFormat) {
  server.ClearObservations();
  // A player's "100%% sure" passed as the format is not shown as written.
  Utils().pfnLogConsole(Plugin(), "100%% sure");
  Utils().pfnLogConsole(Plugin(), "%s", "100%% sure");
  EXPECT_EQ(server.ConsoleLines(), (Strings{"100% sure", "100%% sure"}));
}

TEST_F(SimServerTest, ManagerLogsCutLongTextsToTheirBuffer) {
  server.ClearObservations();
  Utils().pfnLogConsole(Plugin(), "%s", std::string(3000, 'x').c_str());
  ASSERT_EQ(server.ConsoleLines().size(), 1u);
  EXPECT_EQ(server.ConsoleLines()[0], std::string(1022, 'x'));
}

TEST_F(SimServerTest, AuthIdsComeFromRotatingBuffers) {
  const int alice = Join("Alice", "STEAM_0:0:1");
  const int bob = Join("Bob", "STEAM_0:0:2");
  const char* kept = Engine().pfnGetPlayerAuthId(server.Edict(alice));
  EXPECT_STREQ(kept, "STEAM_0:0:1");
  for (int i = 0; i < kelsim::detail::kAuthIdBuffers; ++i)
    Engine().pfnGetPlayerAuthId(server.Edict(bob));
  EXPECT_STREQ(kept, "STEAM_0:0:2") << "a kept pointer is overwritten by later calls";
  EXPECT_STREQ(Engine().pfnGetPlayerAuthId(server.Edict(0)), "");
}

TEST_F(SimServerTest, CommandWordsBeyondTheLastAreEmpty) {
  EXPECT_STREQ(Engine().pfnCmd_Argv(0), "") << "outside any command";
  EXPECT_EQ(Engine().pfnCmd_Argc(), 0);
  kelsim::detail::g_state->argStack.push_back({"say", "hi there"});
  EXPECT_EQ(Engine().pfnCmd_Argc(), 2);
  EXPECT_STREQ(Engine().pfnCmd_Argv(1), "hi there");
  EXPECT_STREQ(Engine().pfnCmd_Argv(2), "");
  EXPECT_STREQ(Engine().pfnCmd_Argv(-1), "");
  kelsim::detail::g_state->argStack.pop_back();
}

TEST_F(SimServerTest, SlotsNeverConnectedAreNullAndLeaversKeepTheirEdict) {
  EXPECT_EQ(Engine().pfnPEntityOfEntIndex(3), nullptr);
  EXPECT_EQ(Engine().pfnPEntityOfEntIndex(0), server.Edict(0));
  EXPECT_EQ(Engine().pfnPEntityOfEntIndex(999), nullptr);
  EXPECT_EQ(Engine().pfnPEntityOfEntOffset(0), server.Edict(0));

  const int slot = Join("Leaver", "STEAM_0:0:5", kAliens);
  edict_t* edict = server.Edict(slot);
  void* object = edict->pvPrivateData;
  ASSERT_NE(object, nullptr);
  server.Disconnect(slot);
  EXPECT_EQ(Engine().pfnPEntityOfEntIndex(slot), edict);
  EXPECT_EQ(edict->free, 0);
  EXPECT_EQ(edict->pvPrivateData, object);
  EXPECT_EQ(server.Name(slot), "");
  EXPECT_STREQ(Engine().pfnGetPlayerAuthId(edict), "");
  EXPECT_EQ(server.Team(slot), kReadyRoom);
  EXPECT_EQ(Engine().pfnIndexOfEdict(edict), slot);
  // A newcomer takes a slot never used before the leaver's.
  EXPECT_NE(Join("Next", "STEAM_0:0:6"), slot);
}

TEST_F(SimServerTest, UserMessagesOver192BytesStopTheServer) {
  const int slot = Join("Reader", "STEAM_0:0:1");
  // A destination byte, the text and its terminator: 190 characters fit.
  SendText(slot, std::string(190, 'a'));
  EXPECT_FALSE(server.Fatal());
  ASSERT_EQ(server.Client(slot).chat.size(), 1u);
  EXPECT_EQ(server.Client(slot).chat[0].destination, HUD_PRINTTALK);

  allowHostErrors = true;
  SendText(slot, std::string(191, 'a'));
  EXPECT_TRUE(server.Fatal());
  EXPECT_NE(server.FatalReason().find("TextMsg of 193 bytes"), std::string::npos);
  EXPECT_EQ(server.Client(slot).chat.size(), 1u) << "never delivered";
}

TEST_F(SimServerTest, OnScreenTextIsDecodedAndNotBoundByTheUserMessageLimit) {
  const int slot = Join("Reader", "STEAM_0:0:1");
  const std::string text(400, 'h');
  for (int effect : {0, 2}) {
    Engine().pfnMessageBegin(MSG_ONE, SVC_TEMPENTITY, nullptr, server.Edict(slot));
    Engine().pfnWriteByte(TE_TEXTMESSAGE);
    Engine().pfnWriteByte(3);       // channel
    Engine().pfnWriteShort(-8192);  // x = -1
    Engine().pfnWriteShort(1638);   // y = 0.2
    Engine().pfnWriteByte(effect);
    for (int c : {1, 2, 3, 4, 5, 6, 7, 8}) Engine().pfnWriteByte(c);
    Engine().pfnWriteShort(25);     // fade in
    Engine().pfnWriteShort(65535);  // fade out: unsigned
    Engine().pfnWriteShort(1280);   // hold
    if (effect == 2) Engine().pfnWriteShort(64);
    Engine().pfnWriteString(text.c_str());
    Engine().pfnMessageEnd();
  }
  EXPECT_FALSE(server.Fatal());
  const auto& hud = server.Client(slot).hud;
  ASSERT_EQ(hud.size(), 2u);
  EXPECT_EQ(hud[0].channel, 3);
  EXPECT_EQ(hud[0].x, -8192);
  EXPECT_EQ(hud[0].y, 1638);
  EXPECT_EQ(hud[0].r1, 1);
  EXPECT_EQ(hud[0].a2, 8);
  EXPECT_EQ(hud[0].fadein, 25);
  EXPECT_EQ(hud[0].fadeout, 65535);
  EXPECT_EQ(hud[0].hold, 1280);
  EXPECT_FALSE(hud[0].fxTime.has_value());
  EXPECT_EQ(hud[1].fxTime, 64);
  EXPECT_EQ(hud[1].text, text);
}

TEST_F(SimServerTest, MalformedMessagesAreReported) {
  const int slot = Join("Reader", "STEAM_0:0:1");
  allowHostErrors = true;
  // The lambdas reach the engine through their arguments: the fixture's
  // members are not theirs to see.
  using Send = void (*)(enginefuncs_t&, int textMsg, edict_t* world, edict_t* reader);
  const struct {
    const char* what;
    Send send;
    const char* error;
  } cases[] = {
      {"MSG_ONE to the world",
       [](enginefuncs_t& e, int msg, edict_t* world, edict_t*) {
         e.pfnMessageBegin(MSG_ONE, msg, nullptr, world);
         e.pfnMessageEnd();
       },
       "MSG_ONE without a client edict"},
      {"a write outside a message",
       [](enginefuncs_t& e, int, edict_t*, edict_t*) { e.pfnWriteByte(1); },
       "pfnWriteByte outside a message"},
      {"a message never ended",
       [](enginefuncs_t& e, int msg, edict_t*, edict_t* reader) {
         e.pfnMessageBegin(MSG_ONE, msg, nullptr, reader);
         e.pfnMessageBegin(MSG_ONE, msg, nullptr, reader);
         e.pfnWriteByte(3);
         e.pfnWriteString("x");
         e.pfnMessageEnd();
       },
       "the previous message was never ended"},
      {"a chat text without terminator",
       [](enginefuncs_t& e, int msg, edict_t*, edict_t* reader) {
         e.pfnMessageBegin(MSG_ONE, msg, nullptr, reader);
         e.pfnWriteByte(3);
         e.pfnWriteByte('x');
         e.pfnMessageEnd();
       },
       "malformed TextMsg"},
      {"an unknown message type",
       [](enginefuncs_t& e, int, edict_t*, edict_t* reader) {
         e.pfnMessageBegin(MSG_ONE, 200, nullptr, reader);
         e.pfnMessageEnd();
       },
       "unknown message type 200"},
  };
  for (const auto& c : cases) {
    const std::size_t before = server.HostErrors().size();
    c.send(Engine(), TextMsg(), server.Edict(0), server.Edict(slot));
    ASSERT_GT(server.HostErrors().size(), before) << c.what;
    EXPECT_NE(server.HostErrors().back().find(c.error), std::string::npos)
        << c.what << ": " << server.HostErrors().back();
  }
  EXPECT_EQ(server.Client(slot).chat.size(), 1u) << "only the second of the unended pair";
}

TEST_F(SimServerTest, ClientCommandsRunOnlyWhenEndedAndOnlyAtTheNextFrame) {
  const int slot = Join("Mover", "STEAM_0:0:1");
  allowHostErrors = false;
  char percentS[] = "%s";
  Engine().pfnClientCommand(server.Edict(slot), percentS, "jointeamtwo");
  server.Frame();
  EXPECT_EQ(server.Team(slot), kReadyRoom) << "no line end: never run";

  Engine().pfnClientCommand(server.Edict(slot), percentS, "jointeamtwo;");
  EXPECT_EQ(server.Team(slot), kReadyRoom) << "not inside the call that sent it";
  server.Frame();
  EXPECT_EQ(server.Team(slot), kAliens);

  Engine().pfnClientCommand(server.Edict(slot), percentS, "readyroom\n");
  server.ProcessClientCommands();
  EXPECT_EQ(server.Team(slot), kReadyRoom);
  EXPECT_EQ(ClientCommands(slot), (Strings{"jointeamtwo", "jointeamtwo;", "readyroom\n"}));
}

TEST_F(SimServerTest, AutoassignPicksTheSmallerTeamAndMarinesOnATie) {
  char percentS[] = "%s";
  const int first = Join("First", "STEAM_0:0:1");
  Engine().pfnClientCommand(server.Edict(first), percentS, "autoassign\n");
  server.Frame();
  EXPECT_EQ(server.Team(first), kMarines) << "0 against 0";

  const int second = Join("Second", "STEAM_0:0:2");
  Engine().pfnClientCommand(server.Edict(second), percentS, "autoassign\n");
  server.Frame();
  EXPECT_EQ(server.Team(second), kAliens) << "1 against 0";
}

TEST_F(SimServerTest, ChatLinesTheGameShows) {
  const int marine = Join("Marine", "STEAM_0:0:1", kMarines);
  const int alien = Join("Alien", "STEAM_0:0:2", kAliens);
  const int mate = Join("Mate", "STEAM_0:0:3", kMarines);
  EXPECT_EQ(server.Say(marine, "hello all"), MRES_IGNORED);
  EXPECT_EQ(server.SayTeam(marine, "psst"), MRES_IGNORED);
  EXPECT_EQ(PlayerChat(mate), (Strings{"Marine: hello all", "Marine: psst"}));
  EXPECT_EQ(PlayerChat(alien), (Strings{"Marine: hello all"}));
  EXPECT_TRUE(server.Client(alien).chat.empty()) << "no plugin notice";
}

TEST_F(SimServerTest, RenameReachesTheNameAfterThePluginsHook) {
  const int slot = Join("Old", "STEAM_0:0:1");
  server.Rename(slot, "New");
  EXPECT_EQ(server.Name(slot), "New");
}

TEST_F(SimServerTest, EachServerLoadsAFreshPrivateCopy) {
  const std::string path = server.PluginPath();
  EXPECT_EQ(path.rfind(server.PluginDirectory() + "/", 0), 0u) << path;
  EXPECT_NE(path, kelsim_test::PluginLibraryPath());
  EXPECT_STREQ(Utils().pfnGetPluginPath(Plugin()), path.c_str());
}

// The plugin reads calendar time through the C library's time(); the
// simulated server's own time() answers it.  A map start that loads the
// values file seeds the C generator with that time, which shows here.
TEST_F(SimServerTest, TheCalendarThePluginReadsIsTheServers) {
  constexpr long long kSet = 1'234'567'890;
  server.SetCalendarTime(kSet);
  server.Frame(0.5f);
  server.Frame(0.6f);
  server.ChangeMap();  // the host clock restarts; the calendar runs on
  EXPECT_EQ(server.CalendarTime(), kSet + 1);
  EXPECT_EQ(std::time(nullptr), kSet + 1);

  std::ofstream(server.PluginDirectory() + "/player_values.txt") << "STEAM_0:0:1,100\n";
  server.ChangeMap();
  const int drawnAfterTheMapStart = std::rand();
  std::srand(static_cast<unsigned>(kSet + 1));
  EXPECT_EQ(drawnAfterTheMapStart, std::rand());

  server.AdvanceCalendarTime(-2.0);
  EXPECT_EQ(server.CalendarTime(), kSet - 1);
  server.UseRealCalendarTime();
  EXPECT_GT(server.CalendarTime(), kSet + 1'000'000);
}

TEST_F(SimServerTest, UserIdsAndInfoKeysOfPlayersBotsAndTheServer) {
  char team[] = "team";
  char name[] = "name";
  const int alice = Join("Alice", "STEAM_0:0:1", kMarines);
  const int bot = server.ConnectBot("Botty");
  ASSERT_NE(bot, 0);
  EXPECT_EQ(server.Edict(bot)->v.flags & FL_FAKECLIENT, FL_FAKECLIENT);
  EXPECT_STREQ(Engine().pfnGetPlayerAuthId(server.Edict(bot)), "BOT");

  // The pointer to a client's buffer stays; its text follows every move,
  // whether the game moves him on its own or answers his client command.
  char* info = Engine().pfnGetInfoKeyBuffer(server.Edict(alice));
  const struct {
    int team;
    const char* key;
  } teams[] = {{kReadyRoom, ""}, {kAliens, "team_two"}, {3, "team_three"},
               {4, "team_four"}, {-1, "team-1"},        {kMarines, "team_one"}};
  for (const auto& t : teams) {
    server.SetTeam(alice, t.team);
    EXPECT_STREQ(Engine().pfnInfoKeyValue(info, team), t.key) << t.team;
  }
  char percentS[] = "%s";
  Engine().pfnClientCommand(server.Edict(alice), percentS, "jointeamtwo\n");
  server.Frame();
  // A kept value is overwritten by later calls, as in the engine.
  const char* kept = Engine().pfnInfoKeyValue(info, team);
  EXPECT_STREQ(kept, "team_two");
  for (int i = 1; i < kelsim::detail::kInfoValueBuffers; ++i)
    EXPECT_STREQ(Engine().pfnInfoKeyValue(info, name), "Alice");
  EXPECT_STREQ(kept, "team_two") << "not yet overwritten";
  Engine().pfnInfoKeyValue(info, name);
  EXPECT_STREQ(kept, "Alice");

  char gamedir[] = "*gamedir";
  char absent[] = "no_such_key";
  EXPECT_STREQ(Engine().pfnInfoKeyValue(Engine().pfnGetInfoKeyBuffer(nullptr), gamedir), "mymod");
  EXPECT_STREQ(Engine().pfnInfoKeyValue(info, absent), "");
  EXPECT_STREQ(Engine().pfnGetInfoKeyBuffer(server.Edict(0)), "");
  // An info value holds neither backslashes nor quotes: a hostile name
  // cannot forge a team.
  const int forger = Join("x\\team\\team_two\"", "STEAM_0:0:3", kMarines);
  EXPECT_EQ(server.InfoKey(forger, "team"), "team_one");
  EXPECT_EQ(server.InfoKey(forger, "name"), "xteamteam_two");

  // User ids: one per connection, from 1 on, never reused.
  EXPECT_EQ(Engine().pfnGetPlayerUserId(server.Edict(alice)), 1);
  EXPECT_EQ(Engine().pfnGetPlayerUserId(server.Edict(bot)), 2);
  EXPECT_EQ(server.UserId(forger), 3);
  server.Disconnect(alice);
  EXPECT_EQ(Engine().pfnGetPlayerUserId(server.Edict(alice)), -1);
  EXPECT_STREQ(Engine().pfnInfoKeyValue(info, team), "") << "his info left with him";
  ASSERT_EQ(server.Connect("Alice", "STEAM_0:0:1", alice), alice);
  EXPECT_EQ(Engine().pfnGetPlayerUserId(server.Edict(alice)), 4);
  EXPECT_EQ(Engine().pfnGetPlayerUserId(server.Edict(0)), -1);
  EXPECT_EQ(Engine().pfnGetPlayerUserId(nullptr), -1);
  EXPECT_EQ(Engine().pfnGetPlayerUserId(server.Edict(20)), -1) << "never used";
}

TEST_F(SimServerTest, ClientPrintfReachesConnectedPlayersWithinTheirChannel) {
  const int bob = Join("Bob", "STEAM_0:0:1");
  const int bot = server.ConnectBot("Botty");
  server.Frame();
  server.ClearObservations();
  Engine().pfnClientPrintf(server.Edict(bob), print_console, "100%s sure, ");
  Engine().pfnClientPrintf(server.Edict(bob), print_console, "first\nsecond\nthird");
  Engine().pfnClientPrintf(server.Edict(bob), print_center, "mid\n");
  const kelsim::ClientLog& log = server.Client(bob);
  EXPECT_EQ(log.console, (Strings{"100%s sure, first", "second"}));
  EXPECT_EQ(log.consolePending, "third");
  ASSERT_EQ(log.printed.size(), 3u);
  EXPECT_EQ(log.printed[2].type, print_center);
  EXPECT_EQ(log.printed[2].text, "mid\n");
  Strings transcript;
  for (const kelsim::Event& event : server.Events()) transcript.push_back(kelsim::Describe(event));
  EXPECT_EQ(transcript, (Strings{"[Bob console] 100%s sure, first", "[Bob console] second",
                                 "[Bob center print] mid"}));

  // A bot and a slot without a client get nothing; the server console says so.
  Engine().pfnClientPrintf(server.Edict(bot), print_console, "hello\n");
  Engine().pfnClientPrintf(server.Edict(20), print_chat, "hello\n");
  EXPECT_TRUE(server.Client(bot).printed.empty());
  EXPECT_EQ(server.ConsoleLines(),
            (Strings{"ClientPrintf: Botty is a fake client, nothing sent",
                     "ClientPrintf: entity 20 is no connected client, nothing sent"}));

  // 4,000 bytes a frame, the chat message included: the type byte, a length
  // byte and 192 bytes of data, then each text with its type byte and end.
  server.Frame();
  server.ClearObservations();
  SendText(bob, std::string(190, 'c'));
  Engine().pfnClientPrintf(server.Edict(bob), print_console, std::string(3804, 'x').c_str());
  EXPECT_TRUE(server.HostErrors().empty()) << "exactly 4,000 bytes";
  allowHostErrors = true;
  Engine().pfnClientPrintf(server.Edict(bob), print_console, "y");
  SendText(bob, "after the overflow");
  ASSERT_EQ(server.HostErrors().size(), 1u);
  EXPECT_NE(server.HostErrors()[0].find("(Bob) overflowed: 4003 bytes"), std::string::npos)
      << server.HostErrors()[0];
  EXPECT_EQ(server.Client(bob).consolePending.size(), 3804u) << "the y never arrived";
  EXPECT_EQ(server.Client(bob).chat.size(), 1u);
  server.Frame();
  Engine().pfnClientPrintf(server.Edict(bob), print_console, "z");
  EXPECT_EQ(server.Client(bob).printed.size(), 2u) << "the next frame carries again";
  EXPECT_EQ(server.HostErrors().size(), 1u);

  Engine().pfnClientPrintf(server.Edict(bob), print_console, nullptr);
  Engine().pfnClientPrintf(server.Edict(bob), static_cast<PRINT_TYPE>(3), "x");
  EXPECT_EQ(server.HostErrors().size(), 3u);
}

// The cvar_t the engine holds, as a frame hook would keep and read it.
TEST(SimCvarPointerTest, FollowsEveryChangeAndKeepsAValueSetBeforeRegistration) {
  kelsim::SimServer server;
  server.SetCvar("kel_handicapteam", "aliens");  // a server.cfg line before the plugin
  ASSERT_TRUE(server.Load(kelsim_test::PluginLibraryPath())) << server.LoadError();
  enginefuncs_t& engine = kelsim::detail::g_state->engine.prefix;
  const cvar_t* handicap = engine.pfnCVarGetPointer("kel_handicapteam");
  ASSERT_NE(handicap, nullptr);
  EXPECT_STREQ(handicap->string, "aliens");
  EXPECT_EQ(handicap->flags, FCVAR_PROTECTED);
  EXPECT_EQ(engine.pfnCVarGetPointer("no_such_variable"), nullptr);

  server.ChangeMap();
  const cvar_t* version = engine.pfnCVarGetPointer("MM_KEL_VERSION");
  ASSERT_NE(version, nullptr);
  EXPECT_STREQ(version->name, "mm_kel_version");
  // The engine reads a number from the text as atof does.
  const float versionValue = static_cast<float>(std::atof(kPluginVersion));
  const struct {
    const char* how;
    void (*change)(kelsim::SimServer&, enginefuncs_t&);
    const char* string;
    float value;
  } changes[] = {
      {"as the plugin set it at the map start", [](kelsim::SimServer&, enginefuncs_t&) {},
       kPluginVersion, versionValue},
      {"kelsim's cvar step",
       [](kelsim::SimServer& s, enginefuncs_t&) { s.SetCvar("mm_kel_version", "2.5"); }, "2.5",
       2.5f},
      {"pfnCVarSetString",
       [](kelsim::SimServer&, enginefuncs_t& e) { e.pfnCVarSetString("mm_kel_version", "-3"); },
       "-3", -3.0f},
      {"a text too long to stay inside the string object",
       [](kelsim::SimServer& s, enginefuncs_t&) {
         s.SetCvar("mm_kel_version", "7.0000000000000000000000000000000000000001");
       },
       "7.0000000000000000000000000000000000000001", 7.0f},
      {"the next map start", [](kelsim::SimServer& s, enginefuncs_t&) { s.ChangeMap(); },
       kPluginVersion, versionValue},
  };
  for (const auto& c : changes) {
    c.change(server, engine);
    EXPECT_STREQ(version->string, c.string) << c.how;
    EXPECT_FLOAT_EQ(version->value, c.value) << c.how;
    EXPECT_EQ(engine.pfnCVarGetPointer("mm_kel_version"), version) << c.how;
  }
  // Unloaded and loaded again: the engine still holds the same record.
  server.Unload();
  ASSERT_TRUE(server.Load(kelsim_test::PluginLibraryPath())) << server.LoadError();
  EXPECT_EQ(engine.pfnCVarGetPointer("kel_handicapteam"), handicap);
  EXPECT_TRUE(server.HostErrors().empty());
}

TEST_F(SimServerTest, TrapsNameTheEntryAndStopTheProcess) {
  // "fast" forks without exec: the i386 tests run under qemu-user, and a
  // machine without binfmt_misc cannot exec the test binary again
  // ("Exec format error"), which the "threadsafe" style needs.
  GTEST_FLAG_SET(death_test_style, "fast");
  HostFn* entries = reinterpret_cast<HostFn*>(&Engine());
  EXPECT_DEATH(entries[0](), "engine function entry 0");
  EXPECT_DEATH(entries[59](), "entry 59 \\(pfnCVarSetFloat\\)");
  EXPECT_DEATH(Utils().pfnCenterSay(), "plugin-manager utility entry 4 \\(pfnCenterSay\\)");
}

}  // namespace
