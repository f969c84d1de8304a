// kelsim preview: what eventeams would do with a given set of players,
// without a live server.  It builds the server (the real plugin, the values
// file beside it, the players on their teams), prints the stv report, runs
// eventeams as the server console would, prints who goes where and the
// report after.
//
//   kelsim preview --values FILE PLAYERS [--seed N] [--search quick|best]
//                  [--plugin PATH]
//
// PLAYERS is a text file, or "-" for standard input, of one player a line:
// "id,name,team", the team being marines, aliens or readyroom.  Blank lines
// and lines starting with "#" are passed over; blanks around a field are
// dropped.
#pragma once

#include <string>
#include <vector>

namespace kelsim {

struct PreviewPlayer {
  std::string id;
  std::string name;
  int team = 0;
  int line = 0;
};

inline constexpr int kMaxPreviewPlayers = 64;
// The engine keeps a name in this many characters at most.
inline constexpr std::size_t kMaxPreviewName = 31;
inline constexpr std::size_t kMaxPreviewId = 63;

// Parses a PLAYERS text.  False with `error` naming the line ("line 3:
// ...") at the first bad one; at least one player and at most 64, names
// unique, 31 characters at the most, without '"', '\' or control bytes.
bool ParsePreviewPlayers(const std::string& text, std::vector<PreviewPlayer>& players,
                         std::string& error);

// The whole command; `args` are the words after "preview".  Returns the exit
// status: 0 done, 2 a usage error (one line on standard error), 3 the host
// saw a fault of the plugin, 4 the plugin refused the values file (its
// reason on standard error, no report).
int RunPreview(const std::vector<std::string>& args, const std::string& defaultPlugin);

}  // namespace kelsim
