// Calling the plugin's game event hooks the way the classic manager does:
// mres is set to MRES_UNSET before each call and read after it.
#include <algorithm>

#include "plugin_call.h"
#include "sim_state.h"

namespace kelsim::detail {

void SimState::BeginHook() {
  metaGlobals.mres = MRES_UNSET;
  metaGlobals.prev_mres = MRES_UNSET;
  metaGlobals.status = MRES_UNSET;
  metaGlobals.orig_ret = nullptr;
  metaGlobals.override_ret = nullptr;
}

void SimState::EndHook(const char* name) {
  const META_RES result = metaGlobals.mres;
  if (result == MRES_UNSET) {
    // The classic manager warns and carries on as if ignored.
    HostError(std::string(name) + " left mres unset");
  } else if (result < MRES_UNSET || result > MRES_SUPERCEDE) {
    HostError(std::string(name) + " left an invalid mres " + std::to_string(result));
  }
  metaGlobals.prev_mres = result;
  metaGlobals.status = std::max(metaGlobals.status, result);
  lastResult = result;
}

int SimState::HookSpawn(edict_t* entity) {
  if (!hooks.pfnSpawn) return 0;
  BeginHook();
  const int result = CallPlugin(stackMisalignment, hooks.pfnSpawn, entity);
  EndHook("pfnSpawn");
  return result;
}

void SimState::HookClientConnect(edict_t* entity, const std::string& name) {
  if (!hooks.pfnClientConnect) return;
  char reject[128] = {};
  BeginHook();
  CallPlugin(stackMisalignment, hooks.pfnClientConnect, entity, name.c_str(), "127.0.0.1:27005",
             &reject[0]);
  EndHook("pfnClientConnect");
}

void SimState::HookClientPutInServer(edict_t* entity) {
  if (!hooks.pfnClientPutInServer) return;
  BeginHook();
  CallPlugin(stackMisalignment, hooks.pfnClientPutInServer, entity);
  EndHook("pfnClientPutInServer");
}

void SimState::HookClientDisconnect(edict_t* entity) {
  if (!hooks.pfnClientDisconnect) return;
  BeginHook();
  CallPlugin(stackMisalignment, hooks.pfnClientDisconnect, entity);
  EndHook("pfnClientDisconnect");
}

META_RES SimState::HookClientCommand(edict_t* entity) {
  if (!hooks.pfnClientCommand) return MRES_UNSET;
  BeginHook();
  CallPlugin(stackMisalignment, hooks.pfnClientCommand, entity);
  EndHook("pfnClientCommand");
  return lastResult;
}

META_RES SimState::HookClientUserInfoChanged(edict_t* entity) {
  if (!hooks.pfnClientUserInfoChanged) return MRES_UNSET;
  const int slot = SlotOf(entity);
  char* buffer = slot != 0 ? infoBuffers[static_cast<std::size_t>(slot)].data() : noInfo;
  BeginHook();
  CallPlugin(stackMisalignment, hooks.pfnClientUserInfoChanged, entity, buffer);
  EndHook("pfnClientUserInfoChanged");
  return lastResult;
}

void SimState::HookStartFrame() {
  if (!hooks.pfnStartFrame) return;
  BeginHook();
  CallPlugin(stackMisalignment, hooks.pfnStartFrame);
  EndHook("pfnStartFrame");
}

}  // namespace kelsim::detail
