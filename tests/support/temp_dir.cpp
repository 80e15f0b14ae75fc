#include "support/temp_dir.h"

#include <stdlib.h>

#include <fstream>
#include <random>
#include <string>
#include <system_error>

#include "support/file_text.h"

namespace orvik::testing {

TempDir::TempDir() {
#ifdef _WIN32
  // No mkdtemp on Windows: a random name, made only if it was not there.
  std::random_device random;
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    const std::filesystem::path candidate =
        std::filesystem::temp_directory_path() / ("orvik-test-" + std::to_string(random()));
    std::error_code error;
    if (std::filesystem::create_directory(candidate, error)) path_ = candidate;
  }
#else
  std::string pattern = (std::filesystem::temp_directory_path() / "orvik-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
#endif
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

void TempDir::WriteFile(const std::string& name, const std::string& content) const {
  std::ofstream(path_ / name, std::ios::binary) << content;
}

std::string TempDir::ReadFile(const std::string& name) const { return ReadFileText(path_ / name); }

}  // namespace orvik::testing
