// The game event hooks and their table.
#include <cstring>

#include "commands/balance.h"
#include "commands/dispatcher.h"
#include "host_api.h"
#include "plugin_shell.h"
#include "roster/messages.h"
#include "roster/roster.h"

namespace {

using HostApi::HookResult;

int Spawn(edict_t* entity) {
  if (std::strcmp(HostApi::ClassName(HostApi::EdictVars(entity)), "worldspawn") == 0) {
    MapStart();
    HostApi::SetHookResult(HookResult::Handled);
  } else {
    HostApi::SetHookResult(HookResult::Ignored);
  }
  return 0;
}

void ClientDisconnect(edict_t* entity) {
  RefreshBalanceOnDisconnect(entity);  // he still counts until the engine lets him go
  HostApi::SetHookResult(HookResult::Ignored);
}

void ClientCommand(edict_t* entity) {
  GameObject* player = HostApi::GameObjectOf(entity);
  if (entity && !HostApi::IsFree(entity) && player) {
    DispatchClientCommand(entity, player);  // sets the result itself
    return;
  }
  HostApi::SetHookResult(HookResult::Ignored);
}

void ClientUserInfoChanged(edict_t* entity, char* /*infoBuffer*/) {
  RefreshBalance();
  RecordTeamChange(entity);
  HostApi::SetHookResult(HookResult::Ignored);
}

void StartFrame() {
  BalanceStartFrame();
  HostApi::SetHookResult(HookResult::Ignored);
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

KEL_EXPORT int GetEntityAPI2(DLL_FUNCTIONS* table, int* interfaceVersion) {
  if (!table) {
    LogToServer("GetEntityAPI2 called with null pFunctionTable\n");
    return 0;
  }
  if (!interfaceVersion || *interfaceVersion != INTERFACE_VERSION) {
    LogToServer("GetEntityAPI2 version mismatch; requested=%d ours=%d\n",
                interfaceVersion ? *interfaceVersion : 0, INTERFACE_VERSION);
    if (interfaceVersion) *interfaceVersion = INTERFACE_VERSION;
    return 0;
  }
  std::memcpy(table, &kGameHooks, sizeof(kGameHooks));
  return 1;
}
