// libFuzzer target: any byte stream on the serial line through the real
// receive loop (the acquisition thread over an in-memory line), under every
// protocol. The loop must frame what it can, never store a byte past its
// buffers, and end when asked.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "support/acquisition_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace std::chrono_literals;
  if (size < 1) return 0;
  orvik::core::Settings settings;
  settings.Protocol = data[0] % 4;
  orvik::testing::AcquisitionHarness harness(settings);
  orvik::testing::FakeSerialLink& fake = harness.fake();
  const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  fake.OnIdleWait([&fake, &bytes, fed = false](std::chrono::milliseconds pause) mutable {
    if (pause != 100ms || fed) return;
    fake.Feed(bytes);
    fed = true;
  });
  harness.Start();
  fake.WaitForStarvedReads(2, 2s);
  harness.Stop();
  return 0;
}
