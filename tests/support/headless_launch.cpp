#include "support/headless_launch.h"

#include <cstdlib>

namespace orvik::testing {

namespace fs = std::filesystem;

std::unique_ptr<ChildProcess> StartHeadless(const ProgramPaths& programs, const fs::path& work_dir,
                                            const fs::path& stderr_file, const fs::path& clock_log,
                                            StandardStreams streams, std::string_view time_zone) {
  ProcessOptions options;
  options.streams = streams;
  options.argv = {programs.daemon.string()};
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
