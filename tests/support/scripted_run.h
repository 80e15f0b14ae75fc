// ScriptedRun: a real acquisition thread, with the real decoders, reading a
// ScriptedLine in virtual time: the receiver's output is scheduled second by
// second, the loop runs through it in microseconds, and the test looks at
// the frames, the records sent, the clock settings (with their errors
// against the true time) and what the operator was told.
//
// Virtual time: the fake clock starts at the true time; the receiver's
// second k (UTC: the start's whole second + k) begins at the monotonic
// instant SecondStart(k), after the loop's start-up pauses. As long as the
// program sets the clock right, the fake clock stays true.
// Header-only: the tests that include it link the service layer.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/checksums.h"
#include "core/settings.h"
#include "core/utc_time.h"
#include "fakes/borrowed_serial_link.h"
#include "fakes/fake_system_clock.h"
#include "fakes/scripted_line.h"
#include "fakes/service/recording_sender.h"
#include "service/receiver_time_keeper.h"
#include "support/acquisition_harness.h"

namespace orvik::testing {

// An RMC sentence naming `utc` (with its milliseconds), a valid fix.
inline std::string RmcAt(core::UtcNanos utc, bool valid = true) {
  const core::DateTime t = core::DateTimeAt(utc).value();
  char body[96];
  std::snprintf(body, sizeof body,
                "GPRMC,%02d%02d%02d.%03d,%c,4807.038,N,01131.000,E,0.0,0.0,%02d%02d%02d,,", t.hour,
                t.minute, t.second, t.millisecond, valid ? 'A' : 'V', t.day, t.month, t.year % 100);
  return core::NmeaSentence(body);
}

// A GGA sentence of 72 characters: filler a receiver sends beside its RMC.
inline std::string Gga() {
  return core::NmeaSentence("GPGGA,120000.000,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
}

// A Motorola "@@Hb" message naming the local date and time `local`.
inline std::string HbAt(const core::DateTime& local) {
  std::uint8_t data[47] = {};
  data[0] = static_cast<std::uint8_t>(local.month);
  data[1] = static_cast<std::uint8_t>(local.day);
  data[2] = static_cast<std::uint8_t>(local.year >> 8);
  data[3] = static_cast<std::uint8_t>(local.year & 0xFF);
  data[4] = static_cast<std::uint8_t>(local.hour);
  data[5] = static_cast<std::uint8_t>(local.minute);
  data[6] = static_cast<std::uint8_t>(local.second);
  data[35] = 9;  // visible
  data[36] = 7;  // tracked
  const std::vector<std::uint8_t> message = core::MotorolaMessage('H', 'b', data);
  return std::string(message.begin(), message.end());
}

class ScriptedRun {
 public:
  // The loop's start-up pauses (1 s, then 100 ms) end before this.
  static constexpr std::int64_t kStartUp = 1'500 * core::kNanosPerMilli;

  explicit ScriptedRun(core::Settings settings,
                       core::DateTime start = {.year = 2026, .month = 6, .day = 1, .hour = 10})
      : clock_(start),
        line_(clock_),
        decoders_(clock_, clock_, sender_,
                  core::SettableSpanFrom(core::DateTime{.year = 2026, .month = 1, .day = 1})),
        harness_(std::move(settings)) {
    start_mono_ = clock_.NowMonotonic();
    start_utc_ = clock_.NowUtc();
    harness_.UseClock(clock_);
    harness_.UseDecoders(decoders_);
  }
  ~ScriptedRun() { harness_.Stop(); }

  FakeSystemClock& clock() { return clock_; }
  ScriptedLine& line() { return line_; }
  AcquisitionHarness& harness() { return harness_; }
  RecordingSender& sender() { return sender_; }

  // The true UTC of the receiver's second `k` and the instant it begins.
  core::UtcNanos SecondUtc(std::int64_t k) const {
    return start_utc_ + ((kStartUp / core::kNanosPerSecond) + 1 + k) * core::kNanosPerSecond;
  }
  core::MonotonicNanos SecondStart(std::int64_t k) const {
    return start_mono_ + (SecondUtc(k) - start_utc_);
  }
  // The true UTC at the monotonic instant `at`.
  core::UtcNanos TrueUtcAt(core::MonotonicNanos at) const {
    return start_utc_ + (at - start_mono_);
  }

  // Runs the loop through the script up to `end`, then stops it.
  void Run(core::MonotonicNanos end) {
    line_.EndAt(end);
    harness_.Start(std::make_unique<BorrowedSerialLink>(line_));
    line_.WaitUntilDone(std::chrono::seconds(20));
    harness_.Stop();
  }

  // Each clock setting's error against the true time of the call, in ns.
  std::vector<std::int64_t> SettingErrors() const {
    std::vector<std::int64_t> errors;
    for (const FakeSystemClock::SetCall& call : clock_.SetCallsWithTimes()) {
      errors.push_back(call.instant - TrueUtcAt(call.at));
    }
    return errors;
  }

 private:
  FakeSystemClock clock_;
  ScriptedLine line_;
  RecordingSender sender_;
  service::ReceiverTimeKeeper decoders_;
  core::MonotonicNanos start_mono_ = 0;
  core::UtcNanos start_utc_ = 0;
  AcquisitionHarness harness_;  // last: its thread stops first
};

}  // namespace orvik::testing
