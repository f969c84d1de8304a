// A private folder under /tmp (Windows: its temporary folder) for one
// test, removed with all it holds.
#pragma once

#if defined(_WIN32)
#include <process.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <string>

namespace kelvalues {

class TempFolder {
 public:
#if defined(_WIN32)
  // No mkdtemp: a name of the process and a count, taken only when new.
  TempFolder() {
    static unsigned count = 0;
    const std::filesystem::path temp = std::filesystem::temp_directory_path();
    for (unsigned attempt = 0; attempt < 1000; ++attempt) {
      const std::filesystem::path path =
          temp / ("kelvalues-test-" + std::to_string(_getpid()) + "-" + std::to_string(count++));
      if (std::filesystem::create_directory(path)) {
        path_ = path.string();
        return;
      }
    }
    std::abort();  // no test can run without it
  }
#else
  TempFolder() {
    char pattern[] = "/tmp/kelvalues-test-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();  // no test can run without it
    path_ = pattern;
  }
#endif
  ~TempFolder() { std::filesystem::remove_all(path_); }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace kelvalues
