#include "fakes/fake_text_files.h"

#include <algorithm>

namespace orvik::testing {

void FakeTextFiles::Set(std::string_view name, std::string_view content) {
  files_.insert_or_assign(std::string(name), std::string(content));
}

std::optional<std::string> FakeTextFiles::Get(std::string_view name) const {
  const auto it = files_.find(name);
  if (it == files_.end()) return std::nullopt;
  return it->second;
}

bool FakeTextFiles::Exists(std::string_view name) const { return files_.contains(name); }

void FakeTextFiles::MakeUnreadable(std::string_view name) { unreadable_.emplace(name); }

void FakeTextFiles::FailReads(std::string_view name, std::string_view message) {
  read_errors_.insert_or_assign(std::string(name), std::string(message));
}

core::Result<std::optional<std::string>> FakeTextFiles::ReadAtMost(std::string_view name,
                                                                   std::size_t max_bytes) {
  largest_read_asked_ = std::max(largest_read_asked_, max_bytes);
  if (const auto error = read_errors_.find(name); error != read_errors_.end()) {
    return core::Status::Error(core::StatusCode::kIoError, error->second);
  }
  if (unreadable_.contains(name)) return std::optional<std::string>();
  std::optional<std::string> content = Get(name);
  if (content && content->size() > max_bytes) content->resize(max_bytes);
  return content;
}

core::Status FakeTextFiles::ReplaceAtomically(std::string_view name, std::string_view content) {
  ++write_count_;
  if (fail_writes_) {
    return core::Status::Error(core::StatusCode::kIoError,
                               "Cannot save '" + std::string(name) + "': Input/output error");
  }
  Set(name, content);
  return core::Status::Ok();
}

}  // namespace orvik::testing
