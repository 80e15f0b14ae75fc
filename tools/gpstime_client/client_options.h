// Command-line options of the LAN time client. Parsing is pure; any thread
// may call these functions.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/status.h"

namespace orvik::tools {

struct ClientOptions {
  std::string host = "127.0.0.1";
  std::uint16_t port = 1609;
  bool raw = false;                    // print the 39 bytes in hex too
  std::optional<std::uint64_t> count;  // stop after this many records
  bool help = false;
  bool version = false;  // print the version and stop
};

// Parses the arguments after the program name. Returns the options, or
// kInvalidArgument with a one-line message naming the offending argument.
core::Result<ClientOptions> ParseClientOptions(std::span<const std::string_view> args);

// Returns the text printed by --help.
std::string ClientHelpText();

}  // namespace orvik::tools
