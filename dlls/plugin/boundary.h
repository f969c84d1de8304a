// The C boundary, and the policy for everything that crosses it.
//
// The engine and the plugin manager call the plugin through the six exported
// entry points, the five game hooks and the server command callback.  Each
// of them is a noexcept function, and each game hook and the command
// callback runs its body through AtHook below.
//
//  - Nothing unwinds into the host, which is C.  The library is built
//    without exceptions (checked here), so no code of the plugin can throw:
//    what would have thrown ends the process instead, with a line on stderr
//    (runtime.cpp: memory exhausted, or a container's length or range error,
//    which the plugin's bounded inputs cannot reach).  The guards' job is
//    therefore not to catch but to give the host its answer.
//  - A game hook answers the manager through mres: AtHook sets
//    MRES_IGNORED before the body runs, so the game's own handler runs
//    unless the body says otherwise (MRES_SUPERCEDE for a command the plugin
//    took, MRES_HANDLED after a map start).
//  - An entry point that fails writes one line saying why and returns 0
//    (false); its failures are those its host contract lists.
#pragma once

#include "host_api.h"

#if defined(__cpp_exceptions) || defined(__EXCEPTIONS)
#error "the plugin is built with -fno-exceptions: see the policy above"
#endif

template <typename Body>
decltype(auto) AtHook(Body&& body) noexcept {
  HostApi::SetHookResult(HostApi::HookResult::Ignored);
  return body();
}
