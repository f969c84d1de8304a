// The handles the plugin shell receives from the host and hands to HostApi.
// Only the plugin shell includes this header.
#pragma once

#include "host_abi.h"

namespace HostApi {

// Copies the first 144 entries of the engine table and keeps the globals.
void BindEngine(const enginefuncs_t* table, globalvars_t* globals);
void BindMetamodUtils(mutil_funcs_t* utils, plugin_info_t* info);
void BindMetaGlobals(meta_globals_t* globals);
void BindGameLibrary(gamedll_funcs_t* functions);

// Registers the plugin's own console variables (console_variables.h) with
// pfnCVarRegister, in the table's order.
void RegisterConsoleVariables();
// pfnAddServerCommand.
void AddServerCommand(const char* name, void (*handler)(void));

}  // namespace HostApi
