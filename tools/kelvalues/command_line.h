// What the kelvalues commands share on the command line.
#pragma once

#include <string>
#include <string_view>

namespace kelvalues {

// The exit status of every command given wrong arguments.
constexpr int kExitUsage = 2;

// Prints "kelvalues: MESSAGE" as one line to standard error; gives
// kExitUsage.
int UsageError(std::string_view message);

// An argument from the command line, fit for a one-line message: quoted,
// cut at 64 bytes, line ends and other control bytes escaped.
std::string QuoteArgument(std::string_view text);

}  // namespace kelvalues
