// The headless program as the end-to-end tests and the clock benchmark start
// it: through ChildProcess (so without the right to set the clock), with the
// tests' clock-call recorder preloaded, in a working folder of its own.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "support/child_process.h"

namespace orvik::testing {

// Paths of the programs under test and of the preload library.
struct ProgramPaths {
  std::filesystem::path daemon;
  std::filesystem::path simulator;
  std::filesystem::path client;
  std::filesystem::path clock_recorder;
};

// Starts the headless program in `work_dir` with the clock-call recorder
// preloaded (its lines go to `clock_log`), the machine's zone
// TZ=`time_zone`, and its stderr in `stderr_file`, unless `streams` starts it
// with broken standard streams instead.
std::unique_ptr<ChildProcess> StartHeadless(const ProgramPaths& programs,
                                            const std::filesystem::path& work_dir,
                                            const std::filesystem::path& stderr_file,
                                            const std::filesystem::path& clock_log,
                                            StandardStreams streams = StandardStreams::kInherited,
                                            std::string_view time_zone = "UTC");

// The 14 lines of "GPS_parm.txt" in the program's own format: `first_line`
// (the port number), GMT offset 2 h, interval 1 s, clock update 60 s,
// switches off, the protocol word, and the logging word.
std::string SettingsFileText(std::string_view first_line, std::string_view protocol_word,
                             bool logging_enabled);

}  // namespace orvik::testing
