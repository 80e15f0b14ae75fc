// TempDir: a fresh directory for one test, removed with everything in it
// when the object goes. Check Ok() before use.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <system_error>

namespace orvik::testing {

class TempDir {
 public:
  TempDir() {
#ifdef _WIN32
    // No mkdtemp on Windows: a random name, made only if it was not there.
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      const std::filesystem::path candidate = std::filesystem::temp_directory_path() /
                                              ("orvik-test-" + std::to_string(random()));
      std::error_code error;
      if (std::filesystem::create_directory(candidate, error)) path_ = candidate;
    }
#else
    std::string pattern = (std::filesystem::temp_directory_path() / "orvik-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
#endif
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  bool Ok() const { return !path_.empty(); }
  const std::filesystem::path& path() const { return path_; }

  // Writes `content` byte for byte to `name` in the directory.
  void WriteFile(const std::string& name, const std::string& content) const {
    std::ofstream(path_ / name, std::ios::binary) << content;
  }
  // The whole content of `name` in the directory ("" when missing).
  std::string ReadFile(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  std::filesystem::path path_;
};

}  // namespace orvik::testing
