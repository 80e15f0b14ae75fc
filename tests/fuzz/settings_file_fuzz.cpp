// libFuzzer target: any content as "GPS_parm.txt" and as "timeouts.txt".
// Loading either must succeed or fail with a message; never crash.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/settings_file.h"
#include "core/timeouts_file.h"
#include "fakes/fake_text_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvik;
  const std::string content(reinterpret_cast<const char*>(data), size);
  testing::FakeTextFiles files;
  files.Set("GPS_parm.txt", content);
  files.Set("timeouts.txt", content);
  core::Settings settings;
  const core::DateTime now{2028, 2, 2, 29, 12, 0, 0, 0};
  const core::Status loaded = core::LoadSettings(settings, files, now, [](bool) {});
  if (!loaded.ok() && loaded.message().empty()) __builtin_trap();
  core::TimeoutTable table = core::DefaultTimeoutTable();
  const core::Status timeouts = core::LoadTimeouts(files, table);
  if (!timeouts.ok() && timeouts.message().empty()) __builtin_trap();
  return 0;
}
