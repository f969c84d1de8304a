// The Metamod entry points and the table of table getters.
#include "host_bind.h"
#include "plugin_shell.h"
#include "server_output.h"

namespace {

// Every getter not named is null: the plugin hooks only these two tables.
const META_FUNCTIONS kMetaFunctions = {
    .pfnGetEntityAPI2 = GetEntityAPI2,
    .pfnGetEngineFunctions = GetEngineFunctions,
};

}  // namespace

// Any interface version is accepted: the manager compares ours with its own.
KEL_EXPORT int Meta_Query(char* /*interfaceVersion*/, plugin_info_t** info,
                          mutil_funcs_t* utils) noexcept {
  if (info) *info = &g_pluginInfo;
  HostApi::BindMetamodUtils(utils, &g_pluginInfo);
  return 1;
}

KEL_EXPORT int Meta_Attach(PLUG_LOADTIME /*now*/, META_FUNCTIONS* functionTable,
                           meta_globals_t* metaGlobals, gamedll_funcs_t* gameLibrary) noexcept {
  if (!metaGlobals) {
    ErrorLog("Meta_Attach called with null pMGlobals");
    return 0;
  }
  // Kept before the next test, so they stay kept when it fails.
  HostApi::BindMetaGlobals(metaGlobals);
  if (!functionTable) {
    ErrorLog("Meta_Attach called with null pFunctionTable");
    return 0;
  }
  *functionTable = kMetaFunctions;
  HostApi::BindGameLibrary(gameLibrary);
  MapStart();
  return 1;
}

// Nothing is freed or unregistered: the engine keeps the console variables
// and server commands.
KEL_EXPORT int Meta_Detach(PLUG_LOADTIME /*now*/, PL_UNLOAD_REASON /*reason*/) noexcept {
  return 1;
}
