#include "write_file_windows.h"

#include <windows.h>

#include <cstdint>
#include <string_view>

namespace kelvalues {

namespace {

// "WHAT PATH: the system's message", on one line.
std::string ErrorText(const char* what, const std::string& path, DWORD code) {
  char buffer[256] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, 0, buffer, sizeof buffer, nullptr);
  std::string message(buffer, length);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  if (message.empty()) message = "error " + std::to_string(code);
  return std::string(what) + " " + path + ": " + message;
}

bool WriteAll(HANDLE file, std::string_view text) {
  while (!text.empty()) {
    constexpr std::size_t kMostAtOnce = 1 << 30;
    const auto chunk = static_cast<DWORD>(text.size() < kMostAtOnce ? text.size() : kMostAtOnce);
    DWORD wrote = 0;
    if (WriteFile(file, text.data(), chunk, &wrote, nullptr) == 0) return false;
    text.remove_prefix(wrote);
  }
  return true;
}

// A device that exists is written into: NUL or CON cannot be replaced.
bool IsDevice(const std::string& path) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool device = GetFileType(file) != FILE_TYPE_DISK;
  (void)CloseHandle(file);
  return device;
}

bool WriteIntoDevice(const std::string& path, const std::string& text, std::string& error) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = ErrorText("cannot write", path, GetLastError());
    return false;
  }
  const bool ok = WriteAll(file, text);
  const DWORD code = GetLastError();
  (void)CloseHandle(file);
  if (!ok) error = ErrorText("cannot write", path, code);
  return ok;
}

// A new file beside `path`, named after it and the process and a counter,
// created only if no file of that name exists.
HANDLE CreateBeside(const std::string& path, std::string& temp) {
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    temp =
        path + "." + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt) + ".tmp";
    const HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

bool WriteFileWhole(const std::string& path, const std::string& text, std::string& error) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    error = ErrorText("cannot replace", path, ERROR_DIRECTORY);
    return false;
  }
  if (IsDevice(path)) return WriteIntoDevice(path, text, error);

  std::string temp;
  const HANDLE file = CreateBeside(path, temp);
  if (file == INVALID_HANDLE_VALUE) {
    error = ErrorText("cannot create a file beside", path, GetLastError());
    return false;
  }
  bool ok = true;
  if (!WriteAll(file, text)) {
    error = ErrorText("cannot write", temp, GetLastError());
    ok = false;
  } else if (FlushFileBuffers(file) == 0) {
    error = ErrorText("cannot flush", temp, GetLastError());
    ok = false;
  }
  if (CloseHandle(file) == 0 && ok) {
    error = ErrorText("cannot write", temp, GetLastError());
    ok = false;
  }
  // One step: a reader sees the old file or the whole new one.
  if (ok && MoveFileExA(temp.c_str(), path.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
    error = ErrorText("cannot replace", path, GetLastError());
    ok = false;
  }
  if (!ok) (void)DeleteFileA(temp.c_str());
  return ok;
}

}  // namespace kelvalues
