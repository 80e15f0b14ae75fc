// FakeTextFiles: an in-memory TextFiles for tests. Files are a name -> content
// map; a test can make writes fail or make one name unreadable. Not
// thread-safe: use it from one thread at a time.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "core/status.h"
#include "core/text_files.h"

namespace orvik::testing {

class FakeTextFiles : public core::TextFiles {
 public:
  // Creates or overwrites the file `name`.
  void Set(std::string_view name, std::string_view content);
  // Returns the stored content, or nullopt when no such file exists.
  std::optional<std::string> Get(std::string_view name) const;
  bool Exists(std::string_view name) const;

  // While set, every ReplaceAtomically fails with kIoError and changes nothing.
  void FailWrites(bool fail) { fail_writes_ = fail; }
  // Reading `name` returns nullopt (cannot be opened) even when the file exists.
  void MakeUnreadable(std::string_view name);
  // Reading `name` fails with kIoError and `message`, as a name that is no
  // regular file or a failing read does.
  void FailReads(std::string_view name, std::string_view message);

  // Number of ReplaceAtomically calls, failed ones included.
  int WriteCount() const { return write_count_; }
  // The largest `max_bytes` any ReadAtMost asked for; 0 before the first.
  std::size_t LargestReadAsked() const { return largest_read_asked_; }

  core::Result<std::optional<std::string>> ReadAtMost(std::string_view name,
                                                      std::size_t max_bytes) override;
  core::Status ReplaceAtomically(std::string_view name, std::string_view content) override;

 private:
  std::map<std::string, std::string, std::less<>> files_;
  std::set<std::string, std::less<>> unreadable_;
  std::map<std::string, std::string, std::less<>> read_errors_;
  bool fail_writes_ = false;
  int write_count_ = 0;
  std::size_t largest_read_asked_ = 0;
};

}  // namespace orvik::testing
