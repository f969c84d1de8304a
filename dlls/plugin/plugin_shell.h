// Shared between the files of the plugin shell.
#pragma once

#include "host_abi.h"

#if defined(_WIN32)
#define KEL_EXPORT extern "C"  // exported by name through kel_mm.def
#else
#define KEL_EXPORT extern "C" __attribute__((visibility("default")))
#endif

extern plugin_info_t g_pluginInfo;

// Registers the console variables and server commands with the engine.
void RegisterCvarsAndCommands();

// Prepares all state for a new map; also run when the plugin is attached.
void MapStart();

KEL_EXPORT int GetEntityAPI2(DLL_FUNCTIONS* table, int* interfaceVersion);
KEL_EXPORT int GetEngineFunctions(enginefuncs_t* table, int* interfaceVersion);
