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
  AtHook([entity] { RefreshBalanceOnDisconnect(entity); });  // he still counts until he is gone
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
constexpr DLL_FUNCTIONS kGameHooks = {
    nullptr,                //  0 pfnGameInit
    Spawn,                  //  1 pfnSpawn
    nullptr,                //  2 pfnThink
    nullptr,                //  3 pfnUse
    nullptr,                //  4 pfnTouch
    nullptr,                //  5 pfnBlocked
    nullptr,                //  6 pfnKeyValue
    nullptr,                //  7 pfnSave
    nullptr,                //  8 pfnRestore
    nullptr,                //  9 pfnSetAbsBox
    nullptr,                // 10 pfnSaveWriteFields
    nullptr,                // 11 pfnSaveReadFields
    nullptr,                // 12 pfnSaveGlobalState
    nullptr,                // 13 pfnRestoreGlobalState
    nullptr,                // 14 pfnResetGlobalState
    nullptr,                // 15 pfnClientConnect
    ClientDisconnect,       // 16 pfnClientDisconnect
    nullptr,                // 17 pfnClientKill
    nullptr,                // 18 pfnClientPutInServer
    ClientCommand,          // 19 pfnClientCommand
    ClientUserInfoChanged,  // 20 pfnClientUserInfoChanged
    nullptr,                // 21 pfnServerActivate
    nullptr,                // 22 pfnServerDeactivate
    nullptr,                // 23 pfnPlayerPreThink
    nullptr,                // 24 pfnPlayerPostThink
    StartFrame,             // 25 pfnStartFrame
    nullptr,                // 26 pfnParmsNewLevel
    nullptr,                // 27 pfnParmsChangeLevel
    nullptr,                // 28 pfnGetGameDescription
    nullptr,                // 29 pfnPlayerCustomization
    nullptr,                // 30 pfnSpectatorConnect
    nullptr,                // 31 pfnSpectatorDisconnect
    nullptr,                // 32 pfnSpectatorThink
    nullptr,                // 33 pfnSys_Error
    nullptr,                // 34 pfnPM_Move
    nullptr,                // 35 pfnPM_Init
    nullptr,                // 36 pfnPM_FindTextureType
    nullptr,                // 37 pfnSetupVisibility
    nullptr,                // 38 pfnUpdateClientData
    nullptr,                // 39 pfnAddToFullPack
    nullptr,                // 40 pfnCreateBaseline
    nullptr,                // 41 pfnRegisterEncoders
    nullptr,                // 42 pfnGetWeaponData
    nullptr,                // 43 pfnCmdStart
    nullptr,                // 44 pfnCmdEnd
    nullptr,                // 45 pfnConnectionlessPacket
    nullptr,                // 46 pfnGetHullBounds
    nullptr,                // 47 pfnCreateInstancedBaselines
    nullptr,                // 48 pfnInconsistentFile
    nullptr,                // 49 pfnAllowLagCompensation
};

}  // namespace

namespace {

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
