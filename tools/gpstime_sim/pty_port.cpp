#include "gpstime_sim/pty_port.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

namespace orvik::tools {
namespace {

using core::Status;
using core::StatusCode;

Status IoError(const std::string& what, int error) {
  return Status::Error(StatusCode::kIoError, what + ": " + std::strerror(error));
}

bool SetFlag(int fd, int get, int set, int flag) {
  const int flags = ::fcntl(fd, get);
  return flags >= 0 && ::fcntl(fd, set, flags | flag) == 0;
}

// Points `link` at `target`, replacing a symlink atomically (a new link
// renamed over the old), and refusing to touch anything that is no symlink.
Status PlaceLink(const std::filesystem::path& link, const std::string& target) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::file_status status = fs::symlink_status(link, error);
  if (fs::exists(status) && !fs::is_symlink(status)) {
    return Status::Error(StatusCode::kInvalidArgument,
                         link.string() + " exists and is not a symlink; not replacing it");
  }
  fs::path temporary = link;
  temporary += ".gpstime-sim." + std::to_string(::getpid());
  fs::remove(temporary, error);
  fs::create_symlink(target, temporary, error);
  if (error) return IoError("cannot create link " + temporary.string(), error.value());
  fs::rename(temporary, link, error);
  if (error) {
    fs::remove(temporary, error);
    return IoError("cannot create link " + link.string(), error.value());
  }
  return Status::Ok();
}

}  // namespace

core::Result<PtyPort> PtyPort::Create(const std::filesystem::path& dir, int port_number) {
  termios raw{};
  ::cfmakeraw(&raw);
  raw.c_cflag |= CLOCAL | CREAD;
  int master_fd = -1;
  int slave_fd = -1;
  if (::openpty(&master_fd, &slave_fd, nullptr, &raw, nullptr) != 0) {
    return IoError("cannot create a pseudo-terminal", errno);
  }
  platform::UniqueFd master(master_fd);
  platform::UniqueFd slave(slave_fd);
  if (!SetFlag(master.get(), F_GETFL, F_SETFL, O_NONBLOCK) ||
      !SetFlag(master.get(), F_GETFD, F_SETFD, FD_CLOEXEC) ||
      !SetFlag(slave.get(), F_GETFL, F_SETFL, O_NONBLOCK) ||
      !SetFlag(slave.get(), F_GETFD, F_SETFD, FD_CLOEXEC)) {
    return IoError("cannot configure the pseudo-terminal", errno);
  }
  char name[128] = {};
  if (::ptsname_r(master.get(), name, sizeof name) != 0) {
    return IoError("cannot name the pseudo-terminal", errno);
  }
  const std::filesystem::path link = dir / ("COM" + std::to_string(port_number));
  Status placed = PlaceLink(link, name);
  if (!placed.ok()) return placed;
  return PtyPort(std::move(master), std::move(slave), name, link);
}

PtyPort::PtyPort(platform::UniqueFd master, platform::UniqueFd slave, std::string slave_path,
                 std::filesystem::path link_path)
    : master_(std::move(master)),
      slave_(std::move(slave)),
      slave_path_(std::move(slave_path)),
      link_path_(std::move(link_path)),
      owns_link_(true) {}

PtyPort::PtyPort(PtyPort&& other) noexcept
    : master_(std::move(other.master_)),
      slave_(std::move(other.slave_)),
      slave_path_(std::move(other.slave_path_)),
      link_path_(std::move(other.link_path_)),
      owns_link_(std::exchange(other.owns_link_, false)) {}

PtyPort::~PtyPort() {
  if (!owns_link_) return;
  std::error_code error;
  // Another simulator may have taken the name over since; leave its link.
  if (std::filesystem::read_symlink(link_path_, error) == slave_path_ && !error) {
    std::filesystem::remove(link_path_, error);
  }
}

std::size_t PtyPort::QueuedForReader() const {
  int queued = 0;
  if (::ioctl(slave_.get(), TIOCINQ, &queued) != 0 || queued < 0) return 0;
  return static_cast<std::size_t>(queued);
}

std::size_t PtyPort::DiscardQueued() const {
  // Reading, not tcflush(): a flush empties only the line discipline's queue
  // and leaves the larger pty buffer behind it full of stale bytes.
  constexpr std::size_t kMaxDiscard = 1 << 20;
  char buffer[4096];
  std::size_t discarded = 0;
  while (discarded < kMaxDiscard) {
    const ssize_t count = ::read(slave_.get(), buffer, sizeof buffer);
    if (count <= 0) break;
    discarded += static_cast<std::size_t>(count);
  }
  return discarded;
}

}  // namespace orvik::tools
