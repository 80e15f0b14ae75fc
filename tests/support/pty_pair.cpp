#include "support/pty_pair.h"

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace orvik::testing {
namespace {

using Clock = std::chrono::steady_clock;

void MakeRaw(int fd) {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) return;
  ::cfmakeraw(&tio);
  ::tcsetattr(fd, TCSANOW, &tio);
}

}  // namespace

PtyPair::PtyPair() {
  int master = -1;
  int slave = -1;
  if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return;
  master_.reset(master);
  slave_.reset(slave);
  std::array<char, 128> name{};
  if (::ttyname_r(slave, name.data(), name.size()) == 0) slave_path_ = name.data();
  // Line settings of a pty live on the slave side; both directions use them.
  MakeRaw(slave);
}

bool PtyPair::WriteToMaster(std::string_view bytes) {
  return WriteToMaster(std::span<const std::uint8_t>(
      reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

bool PtyPair::WriteToMaster(std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  for (int attempt = 0; attempt < 1000 && done < bytes.size(); ++attempt) {
    const ssize_t put = ::write(master_.get(), bytes.data() + done, bytes.size() - done);
    if (put > 0) {
      done += static_cast<std::size_t>(put);
    } else if (put < 0 && errno != EINTR) {
      return false;
    }
  }
  return done == bytes.size();
}

std::string PtyPair::ReadFromMaster(std::size_t max_bytes, std::chrono::milliseconds timeout) {
  std::string got;
  const Clock::time_point deadline = Clock::now() + timeout;
  while (got.size() < max_bytes) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) break;
    pollfd fd{master_.get(), POLLIN, 0};
    const int ready = ::poll(&fd, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0 || (fd.revents & POLLIN) == 0) break;
    std::array<char, 256> chunk{};
    const std::size_t want = std::min(chunk.size(), max_bytes - got.size());
    const ssize_t n = ::read(master_.get(), chunk.data(), want);
    if (n <= 0) break;
    got.append(chunk.data(), static_cast<std::size_t>(n));
  }
  return got;
}

void PtyPair::CloseMaster() { master_.reset(); }

void PtyPair::SetCookedMode() {
  termios tio{};
  if (::tcgetattr(slave_.get(), &tio) != 0) return;
  tio.c_iflag |= ICRNL | IXON | BRKINT;
  tio.c_oflag |= OPOST | ONLCR;
  tio.c_lflag |= ECHO | ICANON | ISIG | IEXTEN;
  ::tcsetattr(slave_.get(), TCSANOW, &tio);
}

}  // namespace orvik::testing
