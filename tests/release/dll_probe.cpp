// A stand-in for the plugin, built in several deliberately wrong shapes by
// check-dll-selftest.sh to show that tools/check-dll.sh rejects each of
// them.  PROBE_CDECL_GIVEFNPTRS builds GiveFnptrsToDll with the wrong
// calling convention; PROBE_USES_RUNTIME makes the library need the C++
// runtime, so that a build without static runtimes imports its DLL.
#include <cstring>
#include <string>

#if defined(PROBE_CDECL_GIVEFNPTRS)
#define PROBE_GIVEFNPTRS_CALL
#else
#define PROBE_GIVEFNPTRS_CALL __stdcall
#endif

#if defined(PROBE_DLLEXPORT)
#define PROBE_EXPORT extern "C" __declspec(dllexport)
#else
#define PROBE_EXPORT extern "C"
#endif

namespace {
void* g_engine = nullptr;
void* g_globals = nullptr;
std::string* g_name = nullptr;
}  // namespace

PROBE_EXPORT void PROBE_GIVEFNPTRS_CALL GiveFnptrsToDll(void* engine, void* globals) {
  g_engine = engine;
  g_globals = globals;
#if defined(PROBE_USES_RUNTIME)
  g_name = new std::string(static_cast<const char*>(globals));
#endif
}
PROBE_EXPORT int Meta_Query(char*, void**, void*) { return g_engine != nullptr; }
PROBE_EXPORT int Meta_Attach(int, void*, void*, void*) { return g_globals != nullptr; }
PROBE_EXPORT int Meta_Detach(int, int) { return g_name == nullptr; }
PROBE_EXPORT int GetEntityAPI2(void* table, int*) { return table != nullptr; }
PROBE_EXPORT int GetEngineFunctions(void* table, int*) { return table != nullptr; }
// Exported only where a .def file lists it.
extern "C" int ProbeHelper(const char* text) { return static_cast<int>(std::strlen(text)); }
