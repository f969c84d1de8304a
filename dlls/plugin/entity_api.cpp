// The game event hooks and their table.
#include <cstring>

#include "balance_watch.h"
#include "boundary.h"
#include "dispatcher.h"
#include "host_api.h"
#include "join_limit.h"
#include "plugin_shell.h"
#include "roster.h"
#include "server_output.h"
#include "slot_values.h"

namespace {

using HostApi::HookResult;

int Spawn(edict_t* entity) noexcept {
  return AtHook([entity] {
    if (std::strcmp(HostApi::ClassName(HostApi::EdictVars(entity)), "worldspawn") == 0) {
      MapStart();
      HostApi::SetHookResult(HookResult::Handled);
    }
    return 0;
  });
}

void ClientDisconnect(edict_t* entity) noexcept {
  AtHook([entity] {
    RefreshBalanceOnDisconnect(entity);  // he still counts until he is gone
    TheSlotValues().Forget(HostApi::IndexOfEdict(entity));
  });
}

void ClientCommand(edict_t* entity) noexcept {
  AtHook([entity] {
    // Only a player the game has set up can run a command.
    if (!HostApi::IsFree(entity) && HostApi::HasGameObject(entity)) DispatchClientCommand(entity);
  });
}

void ClientUserInfoChanged(edict_t* entity, char* /*infoBuffer*/) noexcept {
  AtHook([entity] {
    // Before the roster records the change, which the judgement compares with.
    JudgeTeamChange(entity);
    RefreshBalanceOnUserInfo(entity);
    RecordTeamChange(entity);
  });
}

void StartFrame() noexcept {
  AtHook([] { BalanceStartFrame(); });
}

// Handed over through GetEntityAPI2, so these run before the game's own.
// Every entry not named is null: the game's own function runs alone there.
constexpr DLL_FUNCTIONS kGameHooks = {
    .pfnSpawn = Spawn,
    .pfnClientDisconnect = ClientDisconnect,
    .pfnClientCommand = ClientCommand,
    .pfnClientUserInfoChanged = ClientUserInfoChanged,
    .pfnStartFrame = StartFrame,
};

// These two go to the server log, with a line end.
void NullGameTable() { LogToServer("GetEntityAPI2 called with null pFunctionTable\n"); }
void GameVersionMismatch(int requested, int ours) {
  LogToServer("GetEntityAPI2 version mismatch; requested=%d ours=%d\n", requested, ours);
}

}  // namespace

KEL_EXPORT int GetEntityAPI2(DLL_FUNCTIONS* table, int* interfaceVersion) noexcept {
  return HandOverTable(table, interfaceVersion, kGameHooks, INTERFACE_VERSION,
                       {NullGameTable, GameVersionMismatch});
}
