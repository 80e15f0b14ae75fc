// When the decoders set the PC clock, to what, and what they send and tell:
// a real acquisition thread with the real decoders reading a scripted line
// in virtual time, so every instant is exact and nothing sleeps. The clock
// is set only from a message whose burst start was seen live and that is the
// first time message of its burst, timed by the earliest phase of the last
// 16 s; the past is never sent; a jump is followed only once it holds.
#include "service/receiver_time_keeper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "core/port_settings.h"
#include "core/receiver_commands.h"
#include "core/time_message.h"
#include "core/week_rollover.h"
#include "support/scripted_run.h"

namespace orvik::testing {
namespace {

constexpr std::int64_t kMs = core::kNanosPerMilli;
constexpr std::int64_t kSecond = core::kNanosPerSecond;

// The receiver's output of one second: its bytes, how late they start after
// the second, and the time they name (offset from the true second).
struct Output {
  std::string bytes;
  std::int64_t late_ms = 0;
};

// Schedules `seconds` seconds of 4800-baud output from second `first` on.
void Schedule(ScriptedRun& run, std::int64_t first, std::int64_t seconds,
              const std::function<Output(std::int64_t k)>& output, std::uint32_t baud = 4800) {
  for (std::int64_t k = first; k < first + seconds; ++k) {
    const Output out = output(k);
    run.line().AtLineRate(run.SecondStart(k) + out.late_ms * kMs, out.bytes, baud);
  }
}

// RMC first, then three GGA: a common receiver's second.
std::string Second(core::UtcNanos utc) { return RmcAt(utc) + Gga() + Gga() + Gga(); }

// The seconds (since the run's second 0) the records sent name.
std::vector<std::int64_t> RecordSeconds(ScriptedRun& run) {
  std::vector<std::int64_t> seconds;
  for (const core::TimeMessage& r : run.sender().Records()) {
    const core::DateTime local{.year = core::ReadBeU16(r, core::kOffsetYear),
                               .month = r[core::kOffsetMonth],
                               .day = r[core::kOffsetDay],
                               .hour = r[core::kOffsetHour],
                               .minute = r[core::kOffsetMinute],
                               .second = r[core::kOffsetSecond]};
    // Records carry local time: UTC + 2 h with the default settings.
    seconds.push_back((core::UtcNanosOf(local).value() - 2 * 3600 * kSecond - run.SecondUtc(0)) /
                      kSecond);
  }
  return seconds;
}

core::Settings EverySecond() {
  core::Settings settings;
  settings.ClockUpdateInterval = 0;  // every usable message sets the clock
  settings.LoggingEnabled = true;
  return settings;
}

bool Logged(ScriptedRun& run, const std::string& line) {
  const std::vector<std::string> lines = run.harness().log().Lines();
  return std::count(lines.begin(), lines.end(), line) == 1;
}

TEST(DecodersTiming, SteadyReceiversSetTheClockExactlyWhereverTheirTimeMessageStands) {
  struct Case {
    const char* what;
    std::int32_t delay_ms;  // line 15, and how late the receiver is
    std::function<std::string(core::UtcNanos)> second;
  };
  const Case cases[] = {
      {"RMC first", 0, Second},
      {"RMC last", 0, [](core::UtcNanos utc) { return Gga() + Gga() + Gga() + RmcAt(utc); }},
      {"a receiver 250 ms late", 250, Second},
  };
  for (const Case& c : cases) {
    core::Settings settings = EverySecond();
    settings.ReceiverDelayMs = c.delay_ms;
    ScriptedRun run(settings);
    Schedule(run, 0, 8, [&](std::int64_t k) {
      return Output{c.second(run.SecondUtc(k)), c.delay_ms};
    });
    run.Run(run.SecondStart(9));
    EXPECT_EQ(run.SettingErrors(), std::vector<std::int64_t>(8, 0)) << c.what;
    EXPECT_EQ(RecordSeconds(run).size(), 8u) << c.what;
  }
}

TEST(DecodersTiming, OnlyTheFirstTimeMessageOfABurstIsTimedByItsStart) {
  // Ten RMC a second at 9600 baud in bursts of 80 or 70 ms: 20 ms gaps are
  // no silence (at least 25 ms), so the whole line is one burst; 30 ms are.
  for (const std::int64_t gap_ms : {20, 30}) {
    core::Settings settings = EverySecond();
    settings.Protocol = core::kProtocolNmea9600;
    ScriptedRun run(settings);
    for (std::int64_t tenth = 0; tenth < 80; ++tenth) {
      const core::UtcNanos utc = run.SecondUtc(0) + tenth * 100 * kMs;
      const core::DateTime t = core::DateTimeAt(utc).value();
      char body[64];
      std::snprintf(body, sizeof body, "GPRMC,%02d%02d%02d.%03d,A,,,,,0,0,%02d%02d%02d,,", t.hour,
                    t.minute, t.second, t.millisecond, t.day, t.month, t.year % 100);
      std::string burst = core::NmeaSentence(body);
      burst.resize(static_cast<std::size_t>((100 - gap_ms) * 9600 / 10 / 1000), ' ');
      run.line().AtLineRate(run.SecondStart(0) + tenth * 100 * kMs, burst, 9600);
    }
    run.Run(run.SecondStart(9));
    const std::vector<std::int64_t> errors = run.SettingErrors();
    EXPECT_EQ(errors.size(), gap_ms == 20 ? 1u : 80u) << gap_ms;
    EXPECT_TRUE(std::all_of(errors.begin(), errors.end(), [](std::int64_t e) { return e == 0; }))
        << gap_ms << " " << ::testing::PrintToString(errors);
    EXPECT_EQ(run.sender().Records().size(), 80u) << gap_ms;
  }
}

TEST(DecodersTiming, JitterIsFilteredByTheEarliestPhaseOfTheLast16Seconds) {
  // Each second's output starts 0..40 ms late; the clock is set from the
  // earliest start of the window, so it lags by that and no more.
  std::vector<std::int64_t> late;
  for (std::int64_t k = 0, x = 7; k < 40; ++k, x = (x * 17 + 5) % 41) late.push_back(x);
  late[3] = 0;  // one exact second early on, out of the window 16 s later
  ScriptedRun run(EverySecond());
  Schedule(run, 0, 40, [&](std::int64_t k) { return Output{Second(run.SecondUtc(k)), late[k]}; });
  run.Run(run.SecondStart(41));
  const std::vector<std::int64_t> errors = run.SettingErrors();
  ASSERT_EQ(errors.size(), 40u);
  for (std::size_t k = 0; k < 40; ++k) {
    std::int64_t earliest = late[k];
    for (std::size_t j = 0; j < k; ++j) {
      if ((static_cast<std::int64_t>(k) - static_cast<std::int64_t>(j)) * 1000 + late[k] -
              late[j] <=
          16'000) {
        earliest = std::min(earliest, late[j]);
      }
    }
    EXPECT_EQ(errors[k], -earliest * kMs) << "second " << k;
  }
}

TEST(DecodersTiming, ALineThatNeverPausesSetsNothingAndIsToldOnce) {
  // 478 characters a second at 4800 baud: 996 ms of every second.
  ScriptedRun run(EverySecond());
  std::string filler;
  for (int i = 0; i < 7; ++i) filler += Gga();
  Schedule(run, -3, 12, [&](std::int64_t k) {
    const std::string rmc = RmcAt(run.SecondUtc(k));
    return Output{rmc + filler.substr(0, 478 - rmc.size()), 0};
  });
  run.Run(run.SecondStart(9));
  EXPECT_TRUE(run.clock().SetCalls().empty()) << ::testing::PrintToString(run.SettingErrors());
  EXPECT_EQ(run.harness().shared().clock_keeping.Problem(), service::kNeverPausesProblem);
  EXPECT_TRUE(Logged(run, service::kNeverPausesProblem));
  EXPECT_GE(run.sender().Records().size(), 9u);
}

TEST(DecodersTiming, MessagesReadLateFromABacklogAreNeitherSentNorUsed) {
  // Seconds 5 to 9 wait in the port while the reader stalls, and come at
  // once half a second into second 9: what is more than a second late is the
  // past. Nothing read from the backlog sets the clock.
  ScriptedRun run(EverySecond());
  Schedule(run, 0, 5, [&](std::int64_t k) { return Output{Second(run.SecondUtc(k))}; });
  std::string backlog;
  for (std::int64_t k = 5; k < 10; ++k) backlog += Second(run.SecondUtc(k));
  run.line().AllAt(run.SecondStart(9) + 500 * kMs, backlog);
  Schedule(run, 10, 3, [&](std::int64_t k) { return Output{Second(run.SecondUtc(k))}; });
  run.Run(run.SecondStart(14));
  EXPECT_EQ(RecordSeconds(run), (std::vector<std::int64_t>{0, 1, 2, 3, 4, 9, 10, 11, 12}));
  EXPECT_EQ(run.SettingErrors(), std::vector<std::int64_t>(8, 0));
  const std::string told =
      "Dropped 4 time messages read late from a backlog (more than a second old)";
  EXPECT_TRUE(Logged(run, told));
}

TEST(DecodersTiming, AJumpOfTheReceiversTimeIsFollowedOnlyOnceItHolds) {
  // An hour ahead for six seconds, then right again; from second 14 on, one
  // second behind for good: followed at its tenth message.
  ScriptedRun run(EverySecond());
  Schedule(run, 0, 30, [&](std::int64_t k) {
    std::int64_t shift = 0;
    if (k >= 5 && k < 11) shift = 3600 * kSecond;
    if (k >= 14) shift = -kSecond;
    return Output{Second(run.SecondUtc(k) + shift)};
  });
  run.Run(run.SecondStart(31));
  // Second 14 names the instant second 13 named: a repeat, dropped whole.
  // The new time holds from 15 on and is followed at its tenth message, 24.
  std::vector<std::int64_t> expected(5 + 3, 0);        // 0..4, 11..13
  expected.insert(expected.end(), 30 - 24, -kSecond);  // 24..29
  EXPECT_EQ(run.SettingErrors(), expected);
  EXPECT_TRUE(Logged(run, "Receiver time jumped by -1 s; following it"));
  EXPECT_EQ(RecordSeconds(run).size(), 29u) << "records still go out";
}

TEST(DecodersTiming, AReceiverDateWholeWeekErasBehindIsCorrected) {
  ScriptedRun run(EverySecond());
  Schedule(run, 0, 4, [&](std::int64_t k) {
    return Output{Second(run.SecondUtc(k) - core::kGpsWeekEraNanos)};
  });
  run.Run(run.SecondStart(5));
  EXPECT_EQ(run.SettingErrors(), std::vector<std::int64_t>(4, 0));
  EXPECT_EQ(RecordSeconds(run), (std::vector<std::int64_t>{0, 1, 2, 3}));
  EXPECT_TRUE(Logged(run, "Receiver date corrected by 1024 weeks (GPS week rollover)"));
}

TEST(DecodersTiming, FailuresAreLoggedOnceAndToldWhileTheyLast) {
  ScriptedRun run(EverySecond());
  run.clock().FailSetting(true);
  Schedule(run, 0, 3, [&](std::int64_t k) { return Output{Second(run.SecondUtc(k))}; });
  run.Run(run.SecondStart(4));
  EXPECT_EQ(run.clock().SetCalls().size(), 3u);
  EXPECT_EQ(run.harness().shared().clock_keeping.Problem(), "PC clock not set: no time privilege");
  EXPECT_TRUE(Logged(run, "Could not set PC time to 01.06.2026 12:00:02: no time privilege"));
}

TEST(DecodersTiming, DatesOutsideTheSettableYearsAreRefusedAndTold) {
  // 2099 is after the years this build may set; nothing corrects it.
  ScriptedRun run(EverySecond());
  const core::UtcNanos offset =
      core::UtcNanosOf(core::DateTime{.year = 2099, .month = 6, .day = 1}).value() -
      core::UtcNanosOf(core::DateTime{.year = 2026, .month = 6, .day = 1}).value();
  Schedule(run, 0, 2, [&](std::int64_t k) { return Output{Second(run.SecondUtc(k) + offset)}; });
  run.Run(run.SecondStart(3));
  EXPECT_TRUE(run.clock().SetCalls().empty());
  EXPECT_EQ(run.harness().shared().clock_keeping.Problem(),
            "PC clock not set: the date lies outside the years this program sets");
  EXPECT_TRUE(
      Logged(run,
             "Could not set PC time to 01.06.2099 12:00:02: the date lies outside the years "
             "this program sets"));
}

TEST(DecodersTiming, AMotorolaReceiverSetsTheClockOnlyOnceItConfirmedTheOffset) {
  // The GMT offset command (+2 h) goes out as the loop starts; a receiver
  // answers it with the message of the same name.
  struct Case {
    const char* what;
    std::int64_t answered_minutes;  // the offset in its answer; -1: no answer
    std::int64_t applied_minutes;   // the offset its time messages carry
    bool sets;
  };
  const Case cases[] = {
      {"confirms", 120, 120, true},
      {"ignores the command", -1, 0, false},
      {"answers another offset", 0, 0, false},
  };
  for (const Case& c : cases) {
    core::Settings settings = EverySecond();
    settings.Protocol = core::kProtocolMotorolaM12;
    ScriptedRun run(settings);
    core::Settings answered = settings;
    answered.GmtHours = static_cast<std::int8_t>(c.answered_minutes / 60);
    const core::DateTime now = core::DateTimeAt(run.clock().NowUtc()).value();
    run.harness().options().first_command =
        core::ComposeGmtOffsetCommand(settings, false, now).value();
    if (c.answered_minutes >= 0) {
      const std::vector<std::uint8_t> answer =
          core::ComposeGmtOffsetCommand(answered, false, now).value();
      run.line().AtLineRate(run.SecondStart(0) - 300 * kMs,
                            std::string(answer.begin(), answer.end()), 9600);
    }
    Schedule(
        run, 0, 12,
        [&](std::int64_t k) {
          return Output{HbAt(core::DateTimeAt(run.SecondUtc(k), c.applied_minutes).value())};
        },
        9600);
    run.Run(run.SecondStart(13));
    EXPECT_EQ(run.SettingErrors(), std::vector<std::int64_t>(c.sets ? 12 : 0, 0)) << c.what;
    EXPECT_EQ(Logged(run, service::kUnconfirmedOffsetProblem), !c.sets) << c.what;
    EXPECT_EQ(run.sender().Records().size(), 12u) << c.what;
  }
}

}  // namespace
}  // namespace orvik::testing
