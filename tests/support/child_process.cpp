#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <system_error>
#include <utility>

#include "support/process_status.h"
#include "support/wait_until.h"

extern char** environ;

namespace orvik::testing {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using platform::UniqueFd;

namespace {

// How long the exec may take before the start counts as failed.
constexpr auto kExecLimit = 10s;

// The test's environment with `overrides` ("NAME=value") put over it.
std::vector<std::string> MergedEnvironment(const std::vector<std::string>& overrides) {
  std::map<std::string, std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    entries[text.substr(0, text.find('='))] = text;
  }
  for (const std::string& text : overrides) entries[text.substr(0, text.find('='))] = text;
  std::vector<std::string> merged;
  for (auto& [name, text] : entries) merged.push_back(text);
  return merged;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& text : strings) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// The file `name` stands for: itself when it names a path, else the first
// executable of that name in PATH (as given when there is none).
fs::path ResolveProgram(const std::string& name) {
  if (name.find('/') != std::string::npos) return fs::weakly_canonical(name);
  const char* path = std::getenv("PATH");
  std::string_view folders = path != nullptr ? path : "/usr/bin:/bin";
  while (!folders.empty()) {
    const std::size_t colon = folders.find(':');
    const fs::path candidate = fs::path(folders.substr(0, colon)) / name;
    if (::access(candidate.c_str(), X_OK) == 0) return fs::weakly_canonical(candidate);
    if (colon == std::string_view::npos) break;
    folders.remove_prefix(colon + 1);
  }
  return name;
}

}  // namespace

ChildProcess::ChildProcess(const ProcessOptions& options) {
  if (options.argv.empty()) {
    failure_ = "no program to start";
    return;
  }
  const fs::path program = ResolveProgram(options.argv[0]);
  std::vector<std::string> arguments;
  if (options.niceness != 0) arguments = {"nice", "-n", std::to_string(options.niceness)};
  for (const char* word : {"setpriv", "--bounding-set", "-sys_time", "--"}) {
    arguments.emplace_back(word);
  }
  arguments.push_back(program.string());
  arguments.insert(arguments.end(), options.argv.begin() + 1, options.argv.end());

  const bool inherited = options.streams == StandardStreams::kInherited;
  UniqueFd read_end;
  UniqueFd write_end;
  if (options.streams == StandardStreams::kStderrReaderGone ||
      (inherited && options.capture_stdout)) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
      failure_ = "no pipe for " + program.string();
      return;
    }
    read_end.reset(ends[0]);
    write_end.reset(ends[1]);
  }
  // A copy that closes at the exec; duplicated onto the number itself, that
  // number stays open in the child.
  const UniqueFd handed(
      options.inherited_fd >= 0 ? ::fcntl(options.inherited_fd, F_DUPFD_CLOEXEC, 0) : -1);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (options.streams == StandardStreams::kStderrReaderGone) {
    posix_spawn_file_actions_adddup2(&actions, write_end.get(), STDERR_FILENO);
  } else if (options.streams == StandardStreams::kClosed) {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
      posix_spawn_file_actions_addclose(&actions, fd);
    }
  } else if (write_end.valid()) {
    posix_spawn_file_actions_adddup2(&actions, write_end.get(), STDOUT_FILENO);
  }
  const auto append = [&actions](int fd, const fs::path& file) {
    posix_spawn_file_actions_addopen(&actions, fd, file.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
  };
  if (inherited && !options.stderr_file.empty()) append(STDERR_FILENO, options.stderr_file);
  if (inherited && !options.capture_stdout && !options.stdout_file.empty()) {
    append(STDOUT_FILENO, options.stdout_file);
  }
  if (handed.valid())
    posix_spawn_file_actions_adddup2(&actions, handed.get(), options.inherited_fd);
  if (!options.working_dir.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, options.working_dir.c_str());
  }
  std::vector<std::string> environment = MergedEnvironment(options.environment_set);
  std::vector<char*> argv = Pointers(arguments);
  std::vector<char*> envp = Pointers(environment);
  if (::posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  // With StandardStreams::kStderrReaderGone the reading end closes here.
  if (options.capture_stdout && inherited) stdout_ = std::move(read_end);
  if (pid_ <= 0) {
    failure_ = "could not start " + program.string();
    return;
  }
  if (auto checked = CannotSetClock(pid_, program, kExecLimit); !checked) {
    failure_ = checked.message();
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
}

ChildProcess::~ChildProcess() {
  if (started()) Stop(5s);
}

bool ChildProcess::Running() {
  if (!started() || status_) return false;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) == pid_) {
    status_ = status;
    return false;
  }
  return true;
}

bool ChildProcess::ReadMore(Clock::time_point give_up) {
  while (stdout_.valid()) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(give_up - Clock::now());
    if (left.count() <= 0) return false;
    pollfd entry{stdout_.get(), POLLIN, 0};
    if (::poll(&entry, 1, static_cast<int>(left.count())) <= 0) continue;
    char chunk[1024];
    const ssize_t count = ::read(stdout_.get(), chunk, sizeof chunk);
    if (count <= 0) return false;
    buffered_.append(chunk, static_cast<std::size_t>(count));
    return true;
  }
  return false;
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds limit) {
  const auto give_up = Clock::now() + limit;
  std::size_t lf;
  while ((lf = buffered_.find('\n')) == std::string::npos) {
    if (!ReadMore(give_up)) return std::nullopt;
  }
  std::string line = buffered_.substr(0, lf);
  buffered_.erase(0, lf + 1);
  return line;
}

std::string ChildProcess::ReadRest(std::chrono::milliseconds limit) {
  const auto give_up = Clock::now() + limit;
  while (ReadMore(give_up)) {
  }
  return std::exchange(buffered_, {});
}

std::optional<int> ChildProcess::WaitForExit(std::chrono::milliseconds limit) {
  WaitUntil([this] { return !Running(); }, limit);
  return status_;
}

void ChildProcess::Signal(int signal) {
  if (Running()) ::kill(pid_, signal);
}

int ChildProcess::Stop(std::chrono::milliseconds grace) {
  if (!started()) return -1;
  Signal(SIGTERM);
  if (WaitForExit(grace)) return *status_;
  Signal(SIGKILL);
  if (!status_) {
    int status = 0;
    ::waitpid(pid_, &status, 0);  // SIGKILL cannot be ignored: this returns
    status_ = status;
  }
  return *status_;
}

}  // namespace orvik::testing
