#include "core/timeouts_file.h"

#include <cstddef>
#include <optional>
#include <string>
#include <utility>

#include "core/file_line_limit.h"
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
  // Only the file's start is read (core/file_line_limit.h): lines after the
  // tenth have no effect.
  const Result<std::optional<std::string>> read =
      files.ReadAtMost(kTimeoutsFileName, kFileReadLimit);
  // A name that is no regular file, or a read that fails once the file is
  // open, stops the start-up like a bad value would.
  if (!read.ok()) return read.status();
  if (!read.value()) return Status::Ok();  // the file is optional

  std::string_view rest = *read.value();
  int line_number = 0;
  // Returns the next line, or the error when it is too long to be one.
  const auto next_line = [&rest, &line_number]() -> Result<std::string_view> {
    const std::string_view line = TakeLine(rest);
    Status length = CheckLineLength(kTimeoutsFileName, ++line_number, line);
    if (!length.ok()) return length;
    return line;
  };
  for (std::array<std::uint16_t, 8>& values : table.tables) {
    if (rest.empty()) break;
    // The title: free text, never parsed.
    if (const Result<std::string_view> title = next_line(); !title.ok()) return title.status();
    if (rest.empty()) break;
    const Result<std::string_view> line = next_line();
    if (!line.ok()) return line.status();
    if (Status status = ParseTimeoutLine(line.value(), values); !status.ok()) return status;
  }
  return Status::Ok();
}

}  // namespace orvik::core
