// libFuzzer target: any content as "GPS_parm.txt" and as "timeouts.txt".
// Loading either must succeed or fail with a message that echoes no more
// than a glance of the file; never crash.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/settings_file.h"
#include "core/status.h"
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
  // A message quotes at most 64 characters of 4 bytes, around a short text.
  constexpr std::size_t kLongestMessage = 400;
  const auto check = [](const core::Status& status) {
    if (!status.ok() && (status.message().empty() || status.message().size() > kLongestMessage)) {
      __builtin_trap();
    }
  };
  check(core::LoadSettings(settings, files, now, [](bool) {}));
  core::TimeoutTable table = core::DefaultTimeoutTable();
  check(core::LoadTimeouts(files, table));
  return 0;
}
