#include "core/timeouts_file.h"

#include <cstddef>
#include <optional>
#include <string>
#include <utility>

#include "core/integer_syntax.h"

namespace orvik::core {
namespace {

// Bytes up to and including ',' separate values; everything above, '-' and
// the bytes 128..255 included, belongs to a value.
constexpr unsigned char kLastSeparator = ',';

bool IsSeparator(char c) { return static_cast<unsigned char>(c) <= kLastSeparator; }

// Takes the next line of `rest` (up to LF, one CR before the LF dropped) and
// removes it from `rest`. A last line without LF still counts.
// REQUIRES: !rest.empty().
std::string_view TakeLine(std::string_view& rest) {
  const std::size_t lf = rest.find('\n');
  if (lf == std::string_view::npos) {
    return std::exchange(rest, std::string_view{});
  }
  std::string_view line = rest.substr(0, lf);
  rest.remove_prefix(lf + 1);
  if (line.ends_with('\r')) line.remove_suffix(1);
  return line;
}

}  // namespace

Status ParseTimeoutLine(std::string_view line, std::array<std::uint16_t, 8>& table) {
  std::size_t entry = 0;
  std::size_t pos = 0;
  while (entry < table.size()) {
    while (pos < line.size() && IsSeparator(line[pos])) ++pos;
    if (pos == line.size()) break;
    const std::size_t start = pos;
    while (pos < line.size() && !IsSeparator(line[pos])) ++pos;
    const std::string_view value_text = line.substr(start, pos - start);

    const Result<std::int32_t> value = ParseInteger(value_text);
    if (!value.ok()) return value.status();
    // Only the low 16 bits are kept: -1 is 65535, 70000 is 4464.
    table[entry++] = static_cast<std::uint16_t>(value.value());
  }
  return Status::Ok();
}

Status LoadTimeouts(TextFiles& files, TimeoutTable& table) {
  const Result<std::optional<std::string>> read = files.ReadAll(kTimeoutsFileName);
  // A name that is no regular file, or a read that fails once the file is
  // open, stops the start-up like a bad value would.
  if (!read.ok()) return read.status();
  if (!read.value()) return Status::Ok();  // the file is optional

  std::string_view rest = *read.value();
  for (std::array<std::uint16_t, 8>& values : table.tables) {
    if (rest.empty()) break;
    TakeLine(rest);  // the title: free text, never looked at
    if (rest.empty()) break;
    if (Status status = ParseTimeoutLine(TakeLine(rest), values); !status.ok()) return status;
  }
  return Status::Ok();
}

}  // namespace orvik::core
