#include "e2e/e2e_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

extern char** environ;

namespace orvik::testing {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using platform::UniqueFd;

namespace {

constexpr int kClockCapabilityBit = 25;  // CAP_SYS_TIME

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

}  // namespace

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "orvik-e2e-XXXXXX").string();
  if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code error;
  if (!path_.empty()) fs::remove_all(path_, error);
}

std::string ReadFileText(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return "";
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool WriteFileAtomically(const fs::path& file, std::string_view text) {
  const fs::path temporary = file.string() + ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out) return false;
  }
  std::error_code error;
  fs::rename(temporary, file, error);
  return !error;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const std::size_t lf = text.find('\n');
    std::string_view line = text.substr(0, lf);
    if (line.ends_with('\r')) line.remove_suffix(1);
    lines.emplace_back(line);
    if (lf == std::string_view::npos) break;
    text.remove_prefix(lf + 1);
  }
  return lines;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit,
               std::chrono::milliseconds step) {
  const auto give_up = E2eClock::now() + limit;
  while (!done()) {
    if (E2eClock::now() >= give_up) return done();
    std::this_thread::sleep_for(step);
  }
  return true;
}

ChildProcess::ChildProcess(const ProcessOptions& options) {
  if (options.argv.empty()) return;
  const bool inherited = options.streams == StandardStreams::kInherited;
  UniqueFd read_end;
  UniqueFd write_end;
  if (options.streams == StandardStreams::kStderrReaderGone ||
      (inherited && options.capture_stdout)) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return;
    read_end.reset(ends[0]);
    write_end.reset(ends[1]);
  }
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
  if (inherited && !options.stderr_file.empty()) {
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, options.stderr_file.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
  }
  if (!options.working_dir.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, options.working_dir.c_str());
  }
  std::vector<std::string> arguments = options.argv;
  std::vector<std::string> environment = MergedEnvironment(options.environment_set);
  std::vector<char*> argv = Pointers(arguments);
  std::vector<char*> envp = Pointers(environment);
  if (::posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  // With StandardStreams::kStderrReaderGone the reading end closes here.
  if (options.capture_stdout && inherited) stdout_ = std::move(read_end);
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

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds limit) {
  const auto give_up = E2eClock::now() + limit;
  while (true) {
    if (const std::size_t lf = buffered_.find('\n'); lf != std::string::npos) {
      std::string line = buffered_.substr(0, lf);
      buffered_.erase(0, lf + 1);
      return line;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(give_up - E2eClock::now());
    if (left.count() <= 0 || !stdout_.valid()) return std::nullopt;
    pollfd entry{stdout_.get(), POLLIN, 0};
    if (::poll(&entry, 1, static_cast<int>(left.count())) <= 0) continue;
    char chunk[1024];
    const ssize_t count = ::read(stdout_.get(), chunk, sizeof chunk);
    if (count <= 0) return std::nullopt;
    buffered_.append(chunk, static_cast<std::size_t>(count));
  }
}

std::optional<int> ChildProcess::WaitForExit(std::chrono::milliseconds limit) {
  WaitUntil([this] { return !Running(); }, limit, 20ms);
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

std::unique_ptr<ChildProcess> StartHeadless(const ProgramPaths& programs, const fs::path& work_dir,
                                            const fs::path& stderr_file, const fs::path& clock_log,
                                            StandardStreams streams, std::string_view time_zone) {
  ProcessOptions options;
  options.streams = streams;
  options.argv = {"setpriv", "--bounding-set", "-sys_time", "--", programs.daemon.string()};
  options.working_dir = work_dir;
  options.stderr_file = stderr_file;
  std::string sanitizer_options = "verify_asan_link_order=0";
  if (const char* given = std::getenv("ASAN_OPTIONS")) {
    sanitizer_options = std::string(given) + ":" + sanitizer_options;
  }
  options.environment_set = {
      "LD_PRELOAD=" + programs.clock_recorder.string(),
      "ORVIK_CLOCK_LOG=" + clock_log.string(),
      "TZ=" + std::string(time_zone),
      // A sanitized program would refuse a preload library ahead of its runtime.
      "ASAN_OPTIONS=" + sanitizer_options,
  };
  return std::make_unique<ChildProcess>(options);
}

::testing::AssertionResult CannotSetClock(pid_t pid, const fs::path& program,
                                          std::chrono::milliseconds limit) {
  const fs::path exe = "/proc/" + std::to_string(pid) + "/exe";
  const fs::path wanted = fs::weakly_canonical(program);
  std::error_code error;
  const bool exec_done =
      WaitUntil([&] { return fs::read_symlink(exe, error) == wanted; }, limit, 10ms);
  if (!exec_done) {
    return ::testing::AssertionFailure() << "process " << pid << " never ran " << wanted;
  }
  std::istringstream status(ReadFileText("/proc/" + std::to_string(pid) + "/status"));
  int checked = 0;
  for (std::string line; std::getline(status, line);) {
    for (const char* set : {"CapBnd:", "CapPrm:", "CapEff:"}) {
      if (!line.starts_with(set)) continue;
      const unsigned long long mask =
          std::stoull(line.substr(line.find_first_not_of(" \t", 7)), nullptr, 16);
      if ((mask >> kClockCapabilityBit) & 1) {
        return ::testing::AssertionFailure()
               << "process " << pid << " holds CAP_SYS_TIME: " << line;
      }
      ++checked;
    }
  }
  if (checked != 3) {
    return ::testing::AssertionFailure() << "capability sets of " << pid << " not found";
  }
  return ::testing::AssertionSuccess();
}

bool MapsLibrary(pid_t pid, const fs::path& library) {
  const std::string wanted = fs::weakly_canonical(library).string();
  for (const std::string& line :
       SplitLines(ReadFileText("/proc/" + std::to_string(pid) + "/maps"))) {
    if (line.ends_with(" " + wanted)) return true;
  }
  return false;
}

bool HasOpen(pid_t pid, const fs::path& device) {
  std::error_code error;
  const fs::path wanted = fs::weakly_canonical(device, error);
  for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
    std::error_code link_error;
    if (fs::read_symlink(entry.path(), link_error) == wanted) return true;
  }
  return false;
}

namespace {

sockaddr_in Ipv4Address(std::uint32_t host, std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(host);
  address.sin_port = htons(port);
  return address;
}

}  // namespace

bool CanConnect(std::uint16_t port) {
  const UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const sockaddr_in address = Ipv4Address(INADDR_LOOPBACK, port);
  return fd.valid() &&
         ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool PortIsFree(std::uint16_t port) {
  const UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const int on = 1;  // connections in TIME_WAIT do not count
  ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  const sockaddr_in address = Ipv4Address(INADDR_ANY, port);
  return fd.valid() &&
         ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

UniqueFd ListenOnAllAddresses(std::uint16_t port) {
  UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const sockaddr_in address = Ipv4Address(INADDR_ANY, port);
  if (!fd.valid() ||
      ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd.get(), 4) != 0) {
    fd.reset();
  }
  return fd;
}

std::string SettingsFileText(std::string_view first_line, std::string_view protocol_word,
                             bool logging_enabled) {
  std::string text;
  const auto add = [&text](std::string_view line) { text.append(line).append("\r\n"); };
  add(first_line);
  for (const char* line : {"2", "1", "60", ";ONLY_MIN_SEC", ";SOUND_DISABLED", ";SUMMER_TIME", "3",
                           "3", "10", "4", "0"}) {
    add(line);
  }
  add(protocol_word);
  add(logging_enabled ? "LOGGING_ENABLED" : "LOGGING_DISABLED");
  return text;
}

}  // namespace orvik::testing
