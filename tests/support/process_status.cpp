#include "support/process_status.h"

#include <set>
#include <sstream>
#include <string>
#include <system_error>

#include "support/file_text.h"
#include "support/wait_until.h"

namespace orvik::testing {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr int kClockCapabilityBit = 25;         // CAP_SYS_TIME
constexpr std::size_t kCommandNameLength = 15;  // what the kernel keeps of a program's name

fs::path ProcPath(pid_t pid, const char* entry) {
  return fs::path("/proc") / std::to_string(pid) / entry;
}

// The value of `field` ("State", "Name", ...) in /proc/<pid>/status.
std::string StatusField(const std::string& status, const std::string& field) {
  for (const std::string& line : SplitLines(status)) {
    if (!line.starts_with(field + ":")) continue;
    const std::size_t value = line.find_first_not_of(" \t", field.size() + 1);
    return value == std::string::npos ? "" : line.substr(value);
  }
  return "";
}

bool Ended(const std::string& status) { return StatusField(status, "State").starts_with("Z"); }

// Whether the exec of `wanted` is done: /proc names it as the executable,
// or the process ended (a zombie has no executable left) under its name.
bool Became(pid_t pid, const fs::path& wanted) {
  std::error_code error;
  if (fs::read_symlink(ProcPath(pid, "exe"), error) == wanted) return true;
  const std::string status = ReadFileText(ProcPath(pid, "status"));
  return Ended(status) &&
         StatusField(status, "Name") == wanted.filename().string().substr(0, kCommandNameLength);
}

// Inodes of the sockets among the descriptors of `pid`.
std::set<std::string> SocketInodes(pid_t pid) {
  std::set<std::string> inodes;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(ProcPath(pid, "fd"), error)) {
    std::error_code link_error;
    const std::string target = fs::read_symlink(entry.path(), link_error).string();
    if (target.starts_with("socket:[")) inodes.insert(target.substr(8, target.size() - 9));
  }
  return inodes;
}

}  // namespace

::testing::AssertionResult CannotSetClock(pid_t pid, const fs::path& program,
                                          std::chrono::milliseconds limit) {
  const fs::path wanted = fs::weakly_canonical(program);
  const auto settled = [&] {
    return Became(pid, wanted) || Ended(ReadFileText(ProcPath(pid, "status")));
  };
  if (!WaitUntil(settled, limit) || !Became(pid, wanted)) {
    return ::testing::AssertionFailure() << "process " << pid << " never ran " << wanted;
  }
  const std::string status = ReadFileText(ProcPath(pid, "status"));
  for (const char* set : {"CapBnd", "CapPrm", "CapEff"}) {
    const std::string mask = StatusField(status, set);
    if (mask.empty()) {
      return ::testing::AssertionFailure() << "capability sets of " << pid << " not found";
    }
    if ((std::stoull(mask, nullptr, 16) >> kClockCapabilityBit) & 1) {
      return ::testing::AssertionFailure()
             << "process " << pid << " holds CAP_SYS_TIME: " << set << " " << mask;
    }
  }
  return ::testing::AssertionSuccess();
}

bool MapsLibrary(pid_t pid, const fs::path& library) {
  const std::string wanted = " " + fs::weakly_canonical(library).string();
  for (const std::string& line : SplitLines(ReadFileText(ProcPath(pid, "maps")))) {
    if (line.ends_with(wanted)) return true;
  }
  return false;
}

bool HasOpen(pid_t pid, const fs::path& device) {
  std::error_code error;
  const fs::path wanted = fs::weakly_canonical(device, error);
  for (const auto& entry : fs::directory_iterator(ProcPath(pid, "fd"), error)) {
    std::error_code link_error;
    if (fs::read_symlink(entry.path(), link_error) == wanted) return true;
  }
  return false;
}

std::int64_t BytesWritten(pid_t pid) {
  const std::string written = StatusField(ReadFileText(ProcPath(pid, "io")), "wchar");
  return written.empty() ? -1 : std::stoll(written);
}

int ServedConnections(pid_t pid, std::uint16_t port) {
  const std::set<std::string> inodes = SocketInodes(pid);
  constexpr const char* kEstablished = "01";
  int count = 0;
  for (const char* table : {"net/tcp", "net/tcp6"}) {
    // "sl local_address rem_address st tx:rx tr:when retrnsmt uid timeout inode ..."
    for (const std::string& line : SplitLines(ReadFileText(ProcPath(pid, table)))) {
      std::istringstream fields(line);
      std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
      if (!(fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
            timeout >> inode)) {
        continue;
      }
      const std::size_t colon = local.rfind(':');
      if (state != kEstablished || colon == std::string::npos || !inodes.contains(inode)) continue;
      count += std::stoul(local.substr(colon + 1), nullptr, 16) == port ? 1 : 0;
    }
  }
  return count;
}

}  // namespace orvik::testing
