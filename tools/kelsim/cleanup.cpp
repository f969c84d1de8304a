#include "cleanup.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

namespace kelsim {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// Written before the handlers are installed, read only by them.
char g_directory[4096];

// The kernel's directory entry as getdents64 returns it, on every
// architecture: an 8-byte inode, an 8-byte offset, the entry's 2-byte
// length, a type byte, then the name with its NUL.
constexpr std::size_t kEntryLengthAt = 16;
constexpr std::size_t kEntryNameAt = 19;

bool DotOrDotDot(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Only calls that are safe in a signal handler: no opendir (it allocates),
// the directory read with the system call itself.  The folder holds files
// only.
void RemoveFolder(const char* path) {
  const int folder = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return;
  alignas(8) char buffer[4096];
  for (;;) {
    const long bytes = syscall(SYS_getdents64, folder, buffer, sizeof(buffer));
    if (bytes <= 0) break;
    for (long at = 0; at < bytes;) {
      unsigned short length = 0;
      std::memcpy(&length, buffer + at + kEntryLengthAt, sizeof(length));
      const char* name = buffer + at + kEntryNameAt;
      if (!DotOrDotDot(name)) (void)unlinkat(folder, name, 0);
      if (length == 0) break;
      at += length;
    }
  }
  (void)close(folder);
  (void)rmdir(path);
}

// The signal is held until this returns, then ends the program as it
// would have without the handler.
void OnSignal(int number) {
  RemoveFolder(g_directory);
  (void)signal(number, SIG_DFL);
  (void)raise(number);
}

}  // namespace

void RemoveOnSignal(const std::string& directory) {
  if (directory.empty() || directory.size() >= sizeof(g_directory)) return;
  std::memcpy(g_directory, directory.c_str(), directory.size() + 1);
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  for (const int number : kSignals) sigaddset(&action.sa_mask, number);
  for (const int number : kSignals) {
    // A signal the caller ignores (a background job's Ctrl-C) stays ignored.
    struct sigaction before {};
    if (sigaction(number, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
    (void)sigaction(number, &action, nullptr);
  }
}

}  // namespace kelsim
