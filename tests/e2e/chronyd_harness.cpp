#include "e2e/chronyd_harness.h"

#include <pwd.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "support/file_text.h"
#include "support/wait_until.h"

namespace orvik::testing {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr const char* kChronydPath = "/usr/sbin/chronyd";
constexpr const char* kChronyUser = "_chrony";

const fs::path kCommandSocketName = "chronyd.sock";
const fs::path kRefclockSocketName = "refclock.sock";

}  // namespace

bool ChronydInstalled() { return fs::exists(kChronydPath) && ::getpwnam(kChronyUser) != nullptr; }

ChronydUnderTest::ChronydUnderTest(std::string_view refclock_options) {
  if (dir_.path().empty()) return;
  run_dir_ = dir_.path() / "run";
  config_ = dir_.path() / "chrony.conf";
  std::error_code error;
  // chronyd works as _chrony once started: it must pass through the test's
  // folder into the run folder, which is its own.
  fs::permissions(dir_.path(),
                  fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec, error);
  fs::create_directory(run_dir_, error);
  if (const passwd* user = ::getpwnam(kChronyUser)) {
    if (::chown(run_dir_.c_str(), user->pw_uid, user->pw_gid) != 0) run_dir_.clear();
  }
  fs::permissions(run_dir_, fs::perms::owner_all | fs::perms::group_all, error);

  std::ofstream config(config_);
  config << "refclock SOCK " << RefclockSocket().string() << " " << refclock_options << "\n"
         << "bindcmdaddress " << (run_dir_ / kCommandSocketName).string() << "\n"
         << "cmdport 0\n"
         << "port 0\n"
         << "pidfile " << (run_dir_ / "chronyd.pid").string() << "\n";
}

fs::path ChronydUnderTest::RefclockSocket() const { return run_dir_ / kRefclockSocketName; }

::testing::AssertionResult ChronydUnderTest::Start(std::chrono::milliseconds limit) {
  if (!ChronydInstalled()) {
    return ::testing::AssertionFailure() << kChronydPath << " or the user " << kChronyUser
                                         << " is missing: install chrony with scripts/setup.sh";
  }
  if (run_dir_.empty() || !fs::exists(config_)) {
    return ::testing::AssertionFailure() << "the folder for chronyd could not be prepared";
  }
  ProcessOptions options;
  options.argv = {kChronydPath, "-x", "-U", "-d", "-f", config_.string()};
  options.stderr_file = dir_.path() / "chronyd.log";
  chronyd_ = std::make_unique<ChildProcess>(options);
  if (!chronyd_->started()) {
    return ::testing::AssertionFailure() << chronyd_->failure() << "\nchronyd's log:\n" << Log();
  }
  const bool ready = WaitUntil(
      [this] {
        return fs::is_socket(RefclockSocket()) && fs::is_socket(run_dir_ / kCommandSocketName);
      },
      limit, 20ms);
  if (!ready || !chronyd_->Running()) {
    return ::testing::AssertionFailure() << "chronyd made no sockets\nchronyd's log:\n" << Log();
  }
  return ::testing::AssertionSuccess();
}

std::string ChronydUnderTest::Chronyc(std::string_view command) const {
  ProcessOptions options;
  options.argv = {"chronyc", "-n", "-h", (run_dir_ / kCommandSocketName).string(),
                  std::string(command)};
  options.capture_stdout = true;
  ChildProcess chronyc(options);
  return chronyc.ReadRest(5s);
}

bool ChronydUnderTest::GpsSelected() const {
  for (const std::string& line : SplitLines(Chronyc("sources"))) {
    if (line.starts_with("#* GPS ")) return true;
  }
  return false;
}

std::optional<double> ChronydUnderTest::EstimatedOffsetSeconds() const {
  // "System time     : 0.003000000 seconds slow of NTP time"
  for (const std::string& line : SplitLines(Chronyc("tracking"))) {
    if (!line.starts_with("System time")) continue;
    std::istringstream fields(line.substr(line.find(':') + 1));
    double seconds = 0;
    std::string unit, direction;
    if (!(fields >> seconds >> unit >> direction)) return std::nullopt;
    if (direction == "slow") return seconds;
    if (direction == "fast") return -seconds;
    return std::nullopt;
  }
  return std::nullopt;
}

std::string ChronydUnderTest::Log() const { return ReadFileText(dir_.path() / "chronyd.log"); }

}  // namespace orvik::testing
