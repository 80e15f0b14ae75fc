#include "platform/posix/posix_text_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/posix/regular_file.h"
#include "platform/posix/unique_fd.h"

namespace orvik::platform {
namespace {

// Mode of a newly created file when there is no old one to copy it from.
constexpr mode_t kNewFileMode = 0644;

// As many symbolic links as the system itself follows in one path.
constexpr int kMaxLinks = 40;

std::string ErrnoText(int error) { return std::generic_category().message(error); }

core::Status IoError(const std::filesystem::path& path, std::string_view action, int error) {
  std::string message = "Cannot ";
  message += action;
  message += " '";
  message += path.string();
  message += "': ";
  message += ErrnoText(error);
  return core::Status::Error(core::StatusCode::kIoError, std::move(message));
}

// A name with a NUL byte would be cut short by the system calls.
bool IsUsableName(std::string_view name) {
  return !name.empty() && name.find('\0') == std::string_view::npos;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) {  // no progress: treat as a full disk rather than spin
      errno = ENOSPC;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Replaces `path` by the file its chain of symbolic links finally names
// (which need not exist yet). Returns 0, or the errno that stopped it (ELOOP
// after kMaxLinks links).
int FollowLinks(std::filesystem::path& path) {
  for (int links = 0; links < kMaxLinks; ++links) {
    struct stat info {};
    // Anything but a link ends the chain; a missing name is created later.
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return 0;
    std::error_code error;
    const std::filesystem::path next = std::filesystem::read_symlink(path, error);
    if (error) return error.value();
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  return ELOOP;
}

// Removes the temporary file on every path that does not end in the rename.
class TempFileGuard {
 public:
  explicit TempFileGuard(std::string path) : path_(std::move(path)) {}
  ~TempFileGuard() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TempFileGuard(const TempFileGuard&) = delete;
  TempFileGuard& operator=(const TempFileGuard&) = delete;
  void Dismiss() { path_.clear(); }

 private:
  std::string path_;
};

}  // namespace

PosixTextFiles::PosixTextFiles(std::filesystem::path directory)
    : directory_(std::move(directory)) {}

core::Result<std::optional<std::string>> PosixTextFiles::ReadAtMost(std::string_view name,
                                                                    std::size_t max_bytes) {
  const std::optional<std::string> nothing_to_read;
  if (!IsUsableName(name)) return nothing_to_read;
  const std::filesystem::path path = directory_ / name;
  RegularFileOpen file = OpenRegularFile(path, O_RDONLY);
  if (file.not_regular) {
    return core::Status::Error(core::StatusCode::kIoError, NotRegularFileMessage(path));
  }
  if (!file.fd.valid()) return nothing_to_read;

  std::string content;
  std::vector<char> buffer(std::min<std::size_t>(max_bytes, 64 * 1024));
  while (content.size() < max_bytes) {
    const std::size_t wanted = std::min(buffer.size(), max_bytes - content.size());
    const ssize_t got = ::read(file.fd.get(), buffer.data(), wanted);
    if (got < 0) {
      if (errno == EINTR) continue;
      return IoError(path, "read", errno);
    }
    if (got == 0) break;
    content.append(buffer.data(), static_cast<std::size_t>(got));
  }
  return std::optional<std::string>(std::move(content));
}

core::Status PosixTextFiles::ReplaceAtomically(std::string_view name, std::string_view content) {
  const std::filesystem::path named = directory_ / name;
  if (!IsUsableName(name)) return IoError(named, "save", EINVAL);
  std::filesystem::path target = named;
  if (const int error = FollowLinks(target); error != 0) return IoError(named, "save", error);

  // Keep the permissions and owner of the file being replaced (the temporary
  // file starts as 0600, owned by this process).
  struct stat old_info {};
  const bool had_file = ::stat(target.c_str(), &old_info) == 0;
  if (had_file && !S_ISREG(old_info.st_mode)) {
    return core::Status::Error(core::StatusCode::kIoError, NotRegularFileMessage(target));
  }

  // The temporary file lives in the target's own directory so that the final
  // rename stays within one file system and is atomic.
  const std::filesystem::path parent = target.parent_path();
  std::string temp_path = (parent / ("." + target.filename().string() + ".XXXXXX")).string();
  UniqueFd fd(::mkostemp(temp_path.data(), O_CLOEXEC));
  if (!fd.valid()) return IoError(target, "save", errno);
  TempFileGuard guard(temp_path);

  // Best effort: a file system without modes, or a process that may not give
  // files away, must not stop a save.
  static_cast<void>(::fchmod(fd.get(), had_file ? (old_info.st_mode & 07777) : kNewFileMode));
  if (had_file) static_cast<void>(::fchown(fd.get(), old_info.st_uid, old_info.st_gid));

  if (!WriteAll(fd.get(), content)) return IoError(target, "write", errno);
  if (::fsync(fd.get()) != 0) return IoError(target, "write", errno);
  if (::close(fd.release()) != 0) return IoError(target, "write", errno);
  if (::rename(temp_path.c_str(), target.c_str()) != 0) return IoError(target, "replace", errno);
  guard.Dismiss();

  // Make the rename itself durable; the new content is already in place, so a
  // failure here is not reported.
  UniqueFd dir(::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.valid()) ::fsync(dir.get());
  return core::Status::Ok();
}

}  // namespace orvik::platform
