#include "core/file_line_limit.h"

#include <string>

#include "core/visible_text.h"

namespace orvik::core {

Status CheckLineLength(std::string_view file_name, int line_number, std::string_view line) {
  if (line.size() <= kMaxFileLineLength) return Status::Ok();
  return Status::Error(StatusCode::kInvalidArgument,
                       "Line " + std::to_string(line_number) + " of " + std::string(file_name) +
                           " must be at most " + std::to_string(kMaxFileLineLength) +
                           " bytes long, not " + EchoedText(line) + ".");
}

}  // namespace orvik::core
