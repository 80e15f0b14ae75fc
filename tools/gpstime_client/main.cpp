// gpstime-client: connects to a GPS time server and prints each time record it
// receives, decoded. See --help.
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "gpstime_client/client_options.h"
#include "gpstime_client/record_stream.h"
#include "orvik_version.h"
#include "platform/posix/unique_fd.h"

namespace {

using orvik::platform::UniqueFd;
using orvik::tools::ClientOptions;

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int Fail(const std::string& message, int code) {
  std::fprintf(stderr, "gpstime-client: %s\n", message.c_str());
  if (code == kExitUsage) std::fprintf(stderr, "Try 'gpstime-client --help'.\n");
  return code;
}

// Connects to the first address of `host` that accepts; on failure leaves a
// reason in `error` and returns an invalid descriptor.
UniqueFd Connect(const ClientOptions& options, std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(options.port);
  const int resolved = ::getaddrinfo(options.host.c_str(), service.c_str(), &hints, &found);
  if (resolved != 0) {
    error = ::gai_strerror(resolved);
    return UniqueFd();
  }
  UniqueFd fd;
  error = "no address";
  for (const addrinfo* address = found; address != nullptr; address = address->ai_next) {
    fd.reset(
        ::socket(address->ai_family, address->ai_socktype | SOCK_CLOEXEC, address->ai_protocol));
    if (fd.valid() && ::connect(fd.get(), address->ai_addr, address->ai_addrlen) == 0) break;
    error = std::strerror(errno);
    fd.reset();
  }
  ::freeaddrinfo(found);
  return fd;
}

int Run(const ClientOptions& options) {
  const std::string where = options.host + ":" + std::to_string(options.port);
  std::string error;
  const UniqueFd fd = Connect(options, error);
  if (!fd.valid()) return Fail("cannot connect to " + where + ": " + error, kExitFailure);

  orvik::tools::RecordStream stream;
  std::uint64_t printed = 0;
  std::array<std::uint8_t, 4096> buffer;
  for (;;) {
    const ssize_t got = ::read(fd.get(), buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return Fail("reading from " + where + ": " + std::strerror(errno), kExitFailure);
    if (got == 0) {
      return Fail("the server at " + where + " closed the connection after " +
                      std::to_string(printed) + " records",
                  kExitFailure);
    }
    for (const auto& record : stream.Push({buffer.data(), static_cast<std::size_t>(got)})) {
      std::printf("%s\n", orvik::tools::FormatRecord(record, options.raw).c_str());
      ++printed;
      if (options.count && printed >= *options.count) return kExitOk;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // one line per record, as it comes
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const auto options = orvik::tools::ParseClientOptions(args);
  if (!options.ok()) return Fail(options.status().message(), kExitUsage);
  if (options.value().help) {
    std::fputs(orvik::tools::ClientHelpText().c_str(), stdout);
    return kExitOk;
  }
  if (options.value().version) {
    std::printf("gpstime-client %s\n", orvik::kVersion);
    return kExitOk;
  }
  return Run(options.value());
}
