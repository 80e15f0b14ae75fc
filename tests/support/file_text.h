// Whole-file text for tests: reading, replacing in one step, and cutting
// into lines.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace orvik::testing {

// Returns the whole content of `file`, or "" when it cannot be read.
std::string ReadFileText(const std::filesystem::path& file);
// Replaces `file` with `text` in one step (a temporary file, then rename), so
// a program that reads it meanwhile sees either the old or the new content.
bool WriteFileAtomically(const std::filesystem::path& file, std::string_view text);
// Splits at LF and drops one CR before each LF; no empty last line.
std::vector<std::string> SplitLines(std::string_view text);

}  // namespace orvik::testing
