#include "support/temp_dir.h"

#include <stdlib.h>

#include <fstream>
#include <system_error>

#include "support/file_text.h"

namespace orvik::testing {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "orvik-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
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
