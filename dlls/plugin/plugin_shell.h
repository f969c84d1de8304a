// Shared between the files of the plugin shell.
#pragma once

#include "host_abi.h"

#if defined(_WIN32)
#define KEL_EXPORT extern "C"  // exported by name through the .def file (exports.txt)
#else
#define KEL_EXPORT extern "C" __attribute__((visibility("default")))
#endif

extern plugin_info_t g_pluginInfo;

// Registers the console variables and the server commands with the engine.
void RegisterCvarsAndCommands();

// Prepares all state for a new map; also run when the plugin is attached.
void MapStart();

KEL_EXPORT int GetEntityAPI2(DLL_FUNCTIONS* table, int* interfaceVersion) noexcept;
KEL_EXPORT int GetEngineFunctions(enginefuncs_t* table, int* interfaceVersion) noexcept;

// The common work of the two table getters: refuses a null table or another
// interface version (calling the getter's own report, and writing our
// version back), otherwise copies our table out.  1 on success, 0 on refusal.
struct TableGetterReports {
  void (*nullTable)();
  void (*versionMismatch)(int requested, int ours);
};
template <typename Table>
int HandOverTable(Table* out, int* interfaceVersion, const Table& ours, int ourVersion,
                  TableGetterReports reports) noexcept {
  if (!out) {
    reports.nullTable();
    return 0;
  }
  if (!interfaceVersion || *interfaceVersion != ourVersion) {
    reports.versionMismatch(interfaceVersion ? *interfaceVersion : 0, ourVersion);
    if (interfaceVersion) *interfaceVersion = ourVersion;
    return 0;
  }
  *out = ours;
  return 1;
}
