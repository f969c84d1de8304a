// A private folder under /tmp for one test, removed with all it holds.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace kelvalues {

class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/kelvalues-test-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();  // no test can run without it
    path_ = pattern;
  }
  ~TempFolder() { std::filesystem::remove_all(path_); }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace kelvalues
