// Loading the real plugin library the way the plugin manager does.
#include <dlfcn.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "plugin_call.h"
#include "sim_state.h"

namespace kelsim::detail {

namespace {

// The interface version this simulated manager speaks.
constexpr int kOurMajor = 5;
constexpr int kOurMinor = 10;
char g_ourVersion[] = "5:10";

// "major:minor" and nothing else.  from_chars, not sscanf: a number too
// large for an int is refused instead of being undefined behaviour.
bool ParseVersion(const char* text, int& major, int& minor) {
  if (!text) return false;
  const char* const end = text + std::strlen(text);
  const auto [colon, majorError] = std::from_chars(text, end, major);
  if (majorError != std::errc() || colon == end || *colon != ':') return false;
  const auto [stop, minorError] = std::from_chars(colon + 1, end, minor);
  return minorError == std::errc() && stop == end;
}

template <typename T>
T Resolve(void* library, const char* name) {
  return reinterpret_cast<T>(dlsym(library, name));
}

bool AnySet(const void* table, std::size_t bytes) {
  const auto* entries = static_cast<void* const*>(table);
  for (std::size_t i = 0; i < bytes / sizeof(void*); ++i)
    if (entries[i]) return true;
  return false;
}

}  // namespace

bool SimState::Fail(const std::string& why) {
  loadError = why;
  if (library) {
    dlclose(library);
    library = nullptr;
  }
  info = nullptr;
  for (ServerCommandEntry& command : commands) command.live = false;
  for (auto& [name, cvar] : cvars) cvar.orphaned = cvar.registered;
  return false;
}

// The engine's and the manager's checks in their order, each failing with
// its own message.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
bool SimState::LoadPlugin(const std::string& path, PLUG_LOADTIME now) {
  if (library) {
    loadError = "a plugin is already loaded";
    return false;
  }
  loadError.clear();

  // A private copy: dlopen of a path already open would hand back the same
  // instance, static state and all.
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path copy = fs::path(directory) / fs::path(path).filename();
  fs::copy_file(path, copy, fs::copy_options::overwrite_existing, error);
  if (error) return Fail("cannot copy " + path + ": " + error.message());
  pluginPath = copy.string();

  library = dlopen(pluginPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* why = dlerror();
    return Fail(std::string("dlopen failed: ") + (why ? why : "unknown error"));
  }

  const auto query = Resolve<META_QUERY_FN>(library, "Meta_Query");
  if (!query) return Fail("no Meta_Query: not a plugin");
  if (const auto init = Resolve<void (*)(void)>(library, "Meta_Init"))
    CallPlugin(stackMisalignment, init);

  const auto give = Resolve<GIVE_ENGINE_FUNCTIONS_FN>(library, "GiveFnptrsToDll");
  if (!give) return Fail("no GiveFnptrsToDll");
  CallPlugin(stackMisalignment, give, &engine.prefix, &globals);

  plugin_info_t* queried = nullptr;
  if (CallPlugin(stackMisalignment, query, &g_ourVersion[0], &queried, &utils) != 1)
    return Fail("Meta_Query did not return 1");
  if (!queried) return Fail("Meta_Query gave no plugin information");
  info = queried;

  int major = 0;
  int minor = 0;
  if (!ParseVersion(info->ifvers, major, minor))
    return Fail(std::string("unreadable interface version \"") +
                (info->ifvers ? info->ifvers : "(null)") + "\"");
  if (major != kOurMajor)
    return Fail("incompatible interface version " + std::string(info->ifvers));
  if (minor > kOurMinor)
    return Fail("plugin needs a newer plugin manager (" + std::string(info->ifvers) + ")");
  if (minor < kOurMinor)
    Note("plugin uses an older interface version " + std::string(info->ifvers));

  if (info->loadable < now)
    return Fail(info->loadable > PT_STARTUP ? "plugin load deferred: not loadable now"
                                            : "plugin refused: not loadable now");

  const auto attach = Resolve<META_ATTACH_FN>(library, "Meta_Attach");
  if (!attach) return Fail("no Meta_Attach");
  metaFunctions = META_FUNCTIONS{};
  if (CallPlugin(stackMisalignment, attach, now, &metaFunctions, &metaGlobals, &gameLibrary) != 1)
    return Fail("Meta_Attach did not return 1");

  // Each getter gets a zero-filled table of full size and a preset version;
  // a 0 return is only reported.
  auto report = [this](const char* getter, int ok) {
    if (ok == 0) HostError(std::string(getter) + " returned 0");
  };
  const META_FUNCTIONS& mf = metaFunctions;
  newHooks = NEW_DLL_FUNCTIONS{};
  newHooksPost = NEW_DLL_FUNCTIONS{};
  hooks = DLL_FUNCTIONS{};
  postHooks = DLL_FUNCTIONS{};
  engineHooks = EngineTable{};
  engineHooksPost = EngineTable{};
  if (mf.pfnGetNewDLLFunctions) {
    int version = NEW_DLL_FUNCTIONS_VERSION;
    report("GetNewDLLFunctions",
           CallPlugin(stackMisalignment, mf.pfnGetNewDLLFunctions, &newHooks, &version));
  }
  if (mf.pfnGetNewDLLFunctions_Post) {
    int version = NEW_DLL_FUNCTIONS_VERSION;
    report("GetNewDLLFunctions_Post",
           CallPlugin(stackMisalignment, mf.pfnGetNewDLLFunctions_Post, &newHooksPost, &version));
  }
  if (mf.pfnGetEntityAPI2) {
    int version = INTERFACE_VERSION;
    report("GetEntityAPI2", CallPlugin(stackMisalignment, mf.pfnGetEntityAPI2, &hooks, &version));
  } else if (mf.pfnGetEntityAPI) {
    report("GetEntityAPI",
           CallPlugin(stackMisalignment, mf.pfnGetEntityAPI, &hooks, INTERFACE_VERSION));
  }
  if (mf.pfnGetEntityAPI2_Post) {
    int version = INTERFACE_VERSION;
    report("GetEntityAPI2_Post",
           CallPlugin(stackMisalignment, mf.pfnGetEntityAPI2_Post, &postHooks, &version));
  } else if (mf.pfnGetEntityAPI_Post) {
    report("GetEntityAPI_Post",
           CallPlugin(stackMisalignment, mf.pfnGetEntityAPI_Post, &postHooks, INTERFACE_VERSION));
  }
  if (mf.pfnGetEngineFunctions) {
    int version = ENGINE_INTERFACE_VERSION;
    report("GetEngineFunctions",
           CallPlugin(stackMisalignment, mf.pfnGetEngineFunctions, &engineHooks.prefix, &version));
  }
  if (mf.pfnGetEngineFunctions_Post) {
    int version = ENGINE_INTERFACE_VERSION;
    report("GetEngineFunctions_Post", CallPlugin(stackMisalignment, mf.pfnGetEngineFunctions_Post,
                                                 &engineHooksPost.prefix, &version));
  }
  // This simulator dispatches only the game's pre hooks; anything else the
  // plugin asks for would silently not run, so say so.
  if (AnySet(&newHooks, sizeof(newHooks)) || AnySet(&newHooksPost, sizeof(newHooksPost)) ||
      AnySet(&postHooks, sizeof(postHooks)) || AnySet(&engineHooks, sizeof(engineHooks)) ||
      AnySet(&engineHooksPost, sizeof(engineHooksPost)))
    HostError("the plugin hooks functions this simulator does not dispatch");
  return true;
}

void SimState::UnloadPlugin() {
  if (!library) return;
  if (const auto detach = Resolve<META_DETACH_FN>(library, "Meta_Detach")) {
    if (CallPlugin(stackMisalignment, detach, PT_ANYTIME, PNL_COMMAND) != 1)
      HostError("Meta_Detach did not return 1");
  }
  dlclose(library);
  library = nullptr;
  // A library with a unique symbol or a NODELETE flag stays mapped after
  // dlclose, static state and all, and a later dlopen hands it back as it
  // was: the manager's reload would not be the fresh start it looks like.
  if (void* kept = dlopen(pluginPath.c_str(), RTLD_NOW | RTLD_NOLOAD)) {
    stayedMapped = true;
    Note("the library stays mapped after dlclose: its static state survives a reload");
    dlclose(kept);
  } else {
    stayedMapped = false;
  }
  info = nullptr;
  metaFunctions = META_FUNCTIONS{};
  hooks = DLL_FUNCTIONS{};
  // The engine keeps the commands, but their code is gone; the manager keeps
  // its copies of the console variables.
  for (ServerCommandEntry& command : commands) command.live = false;
  for (auto& [name, cvar] : cvars) cvar.orphaned = cvar.registered;
  std::error_code ignored;
  std::filesystem::remove(pluginPath, ignored);
}

}  // namespace kelsim::detail
