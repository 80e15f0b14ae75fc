#include "gpstime_client/client_options.h"

#include <charconv>

namespace orvik::tools {
namespace {

core::Status Invalid(std::string message) {
  return core::Status::Error(core::StatusCode::kInvalidArgument, std::move(message));
}

// Parses all of `text` as a decimal number in [min, max].
std::optional<std::uint64_t> ParseNumber(std::string_view text, std::uint64_t min,
                                         std::uint64_t max) {
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < min || value > max) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

core::Result<ClientOptions> ParseClientOptions(std::span<const std::string_view> args) {
  ClientOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    const bool takes_value = arg == "--host" || arg == "--port" || arg == "--count";
    if (takes_value && i + 1 >= args.size()) {
      return Invalid("option '" + std::string(arg) + "' needs a value");
    }
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--raw") {
      options.raw = true;
    } else if (arg == "--host") {
      options.host = std::string(args[++i]);
      if (options.host.empty()) return Invalid("option '--host' needs a host name or address");
    } else if (arg == "--port") {
      const auto port = ParseNumber(args[++i], 1, 65535);
      if (!port) return Invalid("option '--port' needs a number from 1 to 65535");
      options.port = static_cast<std::uint16_t>(*port);
    } else if (arg == "--count") {
      const auto count = ParseNumber(args[++i], 1, UINT64_MAX);
      if (!count) return Invalid("option '--count' needs a positive number");
      options.count = *count;
    } else {
      return Invalid("unknown argument '" + std::string(arg) + "'");
    }
  }
  return options;
}

std::string ClientHelpText() {
  return "Usage: gpstime-client [--host H] [--port P] [--raw] [--count N] [--version]\n"
         "Connects to a GPS time server and prints every time record it sends:\n"
         "local date and time, satellites visible and tracked.\n"
         "\n"
         "  --host H   server name or address (default 127.0.0.1)\n"
         "  --port P   TCP port (default 1609)\n"
         "  --raw      also print the 39 bytes of each record in hex\n"
         "  --count N  stop after N records\n"
         "  --help     show this text\n"
         "  --version  show the version\n"
         "\n"
         "Exit status: 0 after N records, 1 when the server cannot be reached or\n"
         "closes the connection, 2 for a usage error.\n";
}

}  // namespace orvik::tools
