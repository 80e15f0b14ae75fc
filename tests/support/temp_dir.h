// TempDir: a fresh folder under the system's temporary folder for one test,
// removed with everything in it when the object goes. path() is empty (and
// Ok() false) when it could not be made. Test thread only.
#pragma once

#include <filesystem>
#include <string>

namespace orvik::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  bool Ok() const { return !path_.empty(); }
  const std::filesystem::path& path() const { return path_; }

  // Writes `content` byte for byte to `name` in the folder.
  void WriteFile(const std::string& name, const std::string& content) const;
  // The whole content of `name` in the folder ("" when missing).
  std::string ReadFile(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

}  // namespace orvik::testing
