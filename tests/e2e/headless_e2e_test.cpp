// End-to-end tests of the headless program: the receiver simulator on a pty
// linked as COM2, orvik-gpstimed in a temporary working directory, and the
// LAN client on 127.0.0.1:1609. The program runs without CAP_SYS_TIME and
// with the clock-call recorder preloaded, so what it would set is read from
// the recorder's file. All waits are bounded; processes are ended by PID.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/headless_fixture.h"
#include "support/dates.h"

namespace orvik::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Whole seconds since the epoch at `hour`:`minute` UTC tomorrow: a date the
// program may set the clock to (after its build date), whenever the tests run.
time_t TomorrowAt(int hour, int minute) {
  const time_t tomorrow = time(nullptr) + 86'400;
  tm fields{};
  gmtime_r(&tomorrow, &fields);
  return UtcSeconds(fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday, hour, minute, 0);
}

// One line of `gpstime-client --raw`: date, time, satellites, 39 hex bytes.
struct ClientRecord {
  std::string date_time;
  std::vector<unsigned> bytes;
};

std::optional<ClientRecord> ParseRawRecord(const std::string& line) {
  std::istringstream in(line);
  std::string date, time, visible_word, tracked_word;
  unsigned visible = 0, tracked = 0;
  if (!(in >> date >> time >> visible_word >> visible >> tracked_word >> tracked)) {
    return std::nullopt;
  }
  ClientRecord record{date + " " + time, {}};
  for (unsigned byte = 0; in >> std::hex >> byte;) record.bytes.push_back(byte);
  return record;
}

// Checks that `lines` are whole records at `first` + n * `step_ms` (UTC
// seconds of the local time the records carry, whole seconds shown).
void ExpectRecordTimes(const std::vector<std::string>& lines, time_t first, int step_ms) {
  for (std::size_t n = 0; n < lines.size(); ++n) {
    SCOPED_TRACE(lines[n]);
    const std::optional<ClientRecord> record = ParseRawRecord(lines[n]);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->date_time, UtcText(first + static_cast<time_t>(n) * step_ms / 1000));
    ASSERT_EQ(record->bytes.size(), 39u);
    EXPECT_EQ(record->bytes[36], 251u);
    EXPECT_EQ(record->bytes[37], 252u);
    EXPECT_EQ(record->bytes[38], 253u);
  }
}

TEST_F(HeadlessProgram, NmeaReceiverTimeReachesClientsAndSetsClockOnceInUtcWhateverTheZone) {
  const time_t first_utc = TomorrowAt(11, 5);
  // At the line rate, as a receiver sends: only then is the start of each
  // second's output seen on the line.
  const Simulator sim =
      StartSimulator({"--protocol", "nmea", "--pace", "bytes", "--start", UtcText(first_utc),
                      "--count", "5", "--start-delay", kSimStartDelayText});
  ASSERT_FALSE(sim.device.empty()) << "simulator did not start";
  // A machine zone with its own summer time, unlike the configured offset.
  ASSERT_TRUE(StartDaemon(true, StandardStreams::kInherited, "EST5EDT,M3.2.0,M11.1.0"));
  auto client = StartClient({"--count", "5", "--raw"});
  ASSERT_TRUE(ServedBeforeData(*client, sim));

  const std::vector<std::string> lines = ReadRecords(*client, 5, kSimStartDelay + 20s);
  ASSERT_EQ(lines.size(), 5u);
  // GMT offset 2 h (the default without "GPS_parm.txt"), a second apart.
  ExpectRecordTimes(lines, first_utc + 2 * 3600, 1000);
  const std::optional<int> client_status = client->WaitForExit(10s);
  ASSERT_TRUE(client_status.has_value());
  EXPECT_EQ(*client_status, 0);

  const int status = daemon_->Stop(10s);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  // The first message sets the clock to its UTC, plus the moment it took to
  // arrive and be decoded; the machine's zone changes nothing.
  const std::vector<ClockCall> calls = ClockCalls();
  ASSERT_EQ(calls.size(), 1u) << ReadFileText(clock_log_);
  EXPECT_EQ(calls[0].clock_id, CLOCK_REALTIME);
  EXPECT_EQ(calls[0].seconds, first_utc);
  EXPECT_LT(calls[0].nanoseconds, 300'000'000L);
  EXPECT_TRUE(StderrHasLine(
      "orvik-gpstimed: The machine's time zone is UTC-05:00, the configured local time "
      "UTC+02:00: the PC clock is kept in UTC, and the times shown and sent are UTC+02:00."))
      << Stderr();
}

TEST_F(HeadlessProgram, MotorolaReceiverIsToldItsOffsetAndSetsTheClockOnceItApplies) {
  ASSERT_TRUE(
      WriteFileAtomically(work_ / "GPS_parm.txt", SettingsFileText("2", "Motorola_Oncore", false)));
  const time_t first_utc = TomorrowAt(11, 5);
  const Simulator sim =
      StartSimulator({"--protocol", "oncore", "--pace", "bytes", "--start", UtcText(first_utc),
                      "--count", "4", "--start-delay", kSimStartDelayText});
  ASSERT_FALSE(sim.device.empty()) << "simulator did not start";
  ASSERT_TRUE(StartDaemon(true));
  auto client = StartClient({"--count", "4", "--raw"});
  ASSERT_TRUE(ServedBeforeData(*client, sim));

  const std::vector<std::string> lines = ReadRecords(*client, 4, kSimStartDelay + 20s);
  ASSERT_EQ(lines.size(), 4u);
  // The receiver's own local time, one second apart: it was sent the GMT
  // offset (2 h) at the start of the acquisition, long before its first message.
  ExpectRecordTimes(lines, first_utc + 2 * 3600, 1000);
  EXPECT_EQ(client->WaitForExit(10s), std::optional<int>(0));

  const int status = daemon_->Stop(10s);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  const std::vector<ClockCall> calls = ClockCalls();
  ASSERT_EQ(calls.size(), 1u) << ReadFileText(clock_log_);
  EXPECT_EQ(calls[0].seconds, first_utc);  // UTC: the receiver's time less the offset
  EXPECT_LT(calls[0].nanoseconds, 300'000'000L);
}

TEST_F(HeadlessProgram, BadSettingsFileIsReportedAndRetriedUntilMended) {
  const fs::path parm = work_ / "GPS_parm.txt";
  ASSERT_TRUE(WriteFileAtomically(parm, SettingsFileText("abc", "NMEA_0183", false)));
  ASSERT_TRUE(StartDaemon(false));
  const auto daemon_started = std::chrono::steady_clock::now();
  ASSERT_TRUE(WaitForStderrLine("orvik-gpstimed: 'abc' is not a valid integer value", 20s))
      << Stderr();
  EXPECT_FALSE(StderrHasLine(kServingLine));
  EXPECT_TRUE(CanConnect(kServerPort)) << "the listener must stay up";

  // The receiver appears only now: a program that had started would open it.
  const Simulator sim = StartSimulator({"--protocol", "nmea"});
  ASSERT_FALSE(sim.device.empty()) << "simulator did not start";
  EXPECT_FALSE(WaitUntil([&] { return HasOpen(daemon_->pid(), sim.device); }, 3s))
      << "the port was opened although the start-up failed";

  ASSERT_TRUE(WriteFileAtomically(parm, SettingsFileText("2", "NMEA_0183", false)));
  auto client = StartClient({"--count", "1"});
  // The watchdog's second tick (about 120 s after start) restarts.
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(daemon_started + 150s -
                                                                 std::chrono::steady_clock::now());
  const std::vector<std::string> lines = ReadRecords(*client, 1, left);
  ASSERT_EQ(lines.size(), 1u) << "no record within 150 s of the start";
  EXPECT_TRUE(HasOpen(daemon_->pid(), sim.device));
  EXPECT_TRUE(daemon_->Running());
}

TEST_F(HeadlessProgram, TakenServerPortIsReportedAndProgramKeepsRunning) {
  const platform::UniqueFd listener = ListenOnAllAddresses(kServerPort);
  ASSERT_TRUE(listener.valid());
  ASSERT_TRUE(StartDaemon(false));
  EXPECT_TRUE(WaitForStderrLine(
      "orvik-gpstimed: Windows socket error: Address already in use (98), on API 'bind'", 20s))
      << Stderr();
  EXPECT_FALSE(StderrHasLine(kServingLine));
  EXPECT_FALSE(WaitUntil([&] { return !daemon_->Running(); }, 3s)) << "the program ended";
  const int status = daemon_->Stop(10s);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(HeadlessProgram, ReceiverPluggedBackInIsReadAgainWithoutAction) {
  const Simulator first_sim =
      StartSimulator({"--protocol", "nmea", "--start", "2026-12-07 11:05:00", "--start-delay",
                      kSimStartDelayText});
  ASSERT_FALSE(first_sim.device.empty()) << "simulator did not start";
  ASSERT_TRUE(StartDaemon(true));
  auto client = StartClient({});
  const std::vector<std::string> before = ReadRecords(*client, 1, kSimStartDelay + 20s);
  ASSERT_EQ(before.size(), 1u);
  EXPECT_TRUE(before[0].starts_with("2026-12-07 ")) << before[0];

  // Unplugged: the simulator dies and its pty closes.
  const std::size_t stderr_before = Stderr().size();
  first_sim.process->Signal(SIGKILL);
  ASSERT_TRUE(first_sim.process->WaitForExit(5s).has_value());
  EXPECT_TRUE(WaitForStderrLine("orvik-gpstimed: No communication!", 20s, stderr_before))
      << Stderr();
  // The link COM2 now leads nowhere: the reopen says why it fails.
  EXPECT_TRUE(WaitForStderrLine("orvik-gpstimed: COM2: no such port", 20s, stderr_before))
      << Stderr();

  // Plugged back in: a new receiver, recognised by its later date.
  const Simulator second_sim =
      StartSimulator({"--protocol", "nmea", "--start", "2027-01-15 08:00:00"});
  ASSERT_FALSE(second_sim.device.empty()) << "second simulator did not start";
  const std::vector<std::string> after = ReadRecordsUntil(
      *client,
      [](const std::vector<std::string>& lines) {
        return !lines.empty() && lines.back().starts_with("2027-01-15 ");
      },
      40s);
  // The port is tried every 5 s: the new receiver is read within seconds.
  EXPECT_TRUE(!after.empty() && after.back().starts_with("2027-01-15 "))
      << "no record from the new receiver within 40 s";
  EXPECT_TRUE(client->Running()) << "the client lost its connection";
}

TEST_F(HeadlessProgram, SigtermDuringSilentReadEndsPromptlyAndLogsStartStop) {
  ASSERT_TRUE(
      WriteFileAtomically(work_ / "GPS_parm.txt", SettingsFileText("2", "NMEA_0183", true)));
  const Simulator sim = StartSimulator({"--protocol", "nmea", "--start-delay", "1000"});
  ASSERT_FALSE(sim.device.empty()) << "simulator did not start";
  ASSERT_TRUE(StartDaemon(true));
  ASSERT_TRUE(WaitUntil([&] { return HasOpen(daemon_->pid(), sim.device); }, 10s));
  // Past the acquisition's start pause: it now waits in a read.
  std::this_thread::sleep_for(2s);

  const auto signalled = std::chrono::steady_clock::now();
  daemon_->Signal(SIGTERM);
  const std::optional<int> status = daemon_->WaitForExit(10s);
  const auto took = std::chrono::steady_clock::now() - signalled;
  ASSERT_TRUE(status.has_value()) << "still running 10 s after SIGTERM";
  EXPECT_LT(took, 4s);
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
  EXPECT_TRUE(IsOneRunLog(ReadFileText(work_ / "GPS_log.txt")));
  EXPECT_TRUE(ClockCalls().empty());
}

TEST_F(HeadlessProgram, EventLogThatIsAFifoIsRefusedOnceWhileTimeFlows) {
  ASSERT_TRUE(
      WriteFileAtomically(work_ / "GPS_parm.txt", SettingsFileText("2", "NMEA_0183", true)));
  // No reader ever opens it: opening it for writing would block for ever.
  ASSERT_EQ(::mkfifo((work_ / "GPS_log.txt").c_str(), 0600), 0);
  const Simulator sim = StartSimulator({"--protocol", "nmea", "--start", "2026-12-07 11:05:00",
                                        "--count", "3", "--start-delay", kSimStartDelayText});
  ASSERT_FALSE(sim.device.empty()) << "simulator did not start";
  ASSERT_TRUE(StartDaemon(true));
  auto client = StartClient({"--count", "3", "--raw"});
  ASSERT_TRUE(ServedBeforeData(*client, sim));
  EXPECT_EQ(ReadRecords(*client, 3, kSimStartDelay + 20s).size(), 3u);

  const std::optional<int> status = [&] {
    daemon_->Signal(SIGTERM);
    return daemon_->WaitForExit(10s);
  }();
  ASSERT_TRUE(status.has_value()) << "still running 10 s after SIGTERM";
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
  // "Start", the clock setting and "Stop" were refused; the operator heard once.
  int told = 0;
  for (const std::string& line : SplitLines(Stderr())) {
    told += line == "orvik-gpstimed: './GPS_log.txt' is not a regular file";
  }
  EXPECT_EQ(told, 1) << Stderr();
  EXPECT_TRUE(fs::is_fifo(work_ / "GPS_log.txt"));
  EXPECT_FALSE(fs::exists(work_ / "GPS_log.bak"));
}

TEST_F(HeadlessProgram, LoggingOffWritesNoEventLog) {
  ASSERT_TRUE(
      WriteFileAtomically(work_ / "GPS_parm.txt", SettingsFileText("2", "NMEA_0183", false)));
  const Simulator sim = StartSimulator({"--protocol", "nmea", "--pace", "bytes", "--start",
                                        UtcText(TomorrowAt(11, 5)), "--count", "3", "--start-delay",
                                        kSimStartDelayText});
  ASSERT_FALSE(sim.device.empty()) << "simulator did not start";
  ASSERT_TRUE(StartDaemon(true));
  // A start, a clock setting and a stop: each would be logged with logging on.
  ASSERT_TRUE(WaitUntil([&] { return !ClockCalls().empty(); }, kSimStartDelay + 20s))
      << "the clock was never set";
  const int status = daemon_->Stop(10s);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_FALSE(fs::exists(work_ / "GPS_log.txt"));
  EXPECT_FALSE(fs::exists(work_ / "GPS_log.bak"));
}

}  // namespace
}  // namespace orvik::testing
