// Prints the CPU time the acquisition thread uses on a real pty: first on a
// silent line, then with a receiver sending one second's NMEA output (RMC,
// GGA, GSA and three GSV sentences) once per second.
//   acquisition_cpu [SECONDS per phase, default 10]
// The main thread only sleeps, so the process CPU time is the loop's.
#include <pty.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "core/checksums.h"
#include "core/port_settings.h"
#include "core/settings.h"
#include "platform/posix/posix_serial_link.h"
#include "platform/posix/unique_fd.h"
#include "service/acquisition_thread.h"
#include "service/main_thread_bridge.h"

namespace {

using namespace orvik;
using Clock = std::chrono::steady_clock;

class CountingDecoders : public service::MessageDecoders {
 public:
  void DecodeNmea(std::span<const std::uint8_t>, const service::MessageContext&) override {
    ++frames;
  }
  void DecodeMotorola(std::span<const std::uint8_t>, const service::MessageContext&) override {
    ++frames;
  }
  std::atomic<long> frames{0};
};

class NoLog : public service::EventLogWriter {
 public:
  void WriteLog(std::string_view) override {}
};

double ProcessCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

std::string OneSecondOfNmea(int second) {
  char time[16];
  std::snprintf(time, sizeof time, "12%02d%02d", second / 60 % 60, second % 60);
  const std::string t = time;
  std::string out;
  for (const std::string& body :
       {"GPRMC," + t + ",A,5925.000,N,02445.000,E,000.0,000.0,081226,,",
        "GPGGA," + t + ",5925.000,N,02445.000,E,1,08,0.9,30.0,M,18.0,M,,",
        std::string("GPGSA,A,3,01,03,11,14,15,16,18,19,,,,,1.5,0.9,1.2"),
        std::string("GPGSV,3,1,11,01,10,158,45,03,72,164,41,11,24,279,40,14,30,119,48"),
        std::string("GPGSV,3,2,11,15,33,070,40,16,05,184,30,18,20,046,35,19,73,304,44"),
        std::string("GPGSV,3,3,11,20,10,010,00,21,15,020,00,22,20,030,00")}) {
    out += core::NmeaSentence(body);
  }
  return out;
}

}  // namespace

int main(int argc, char* argv[]) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  int master = -1;
  int slave = -1;
  char slave_name[128] = {};
  termios raw{};
  cfmakeraw(&raw);
  if (openpty(&master, &slave, slave_name, &raw, nullptr) != 0) {
    std::perror("openpty");
    return 1;
  }
  platform::UniqueFd master_fd(master);
  platform::UniqueFd slave_fd(slave);
  const auto dir =
      std::filesystem::temp_directory_path() / ("orvik-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::filesystem::create_symlink(slave_name, dir / "COM2");

  service::SharedState shared;
  CountingDecoders decoders;
  NoLog log;
  service::DirectBridge bridge;
  core::Settings settings;  // NMEA at 4800 baud on COM2
  service::AcquisitionOptions options;
  options.working_dir = dir;
  shared.lifecycle.AcquisitionRunning = true;
  auto thread = std::make_unique<service::comm_GPS_acq>(
      service::AcquisitionContext{shared, decoders, log, bridge, platform::MachineMonotonicClock()},
      settings, core::DefaultTimeoutTable(), std::make_unique<platform::PosixSerialLink>(),
      options);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // past the start-up pause

  double start = ProcessCpuSeconds();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const double silent = ProcessCpuSeconds() - start;

  start = ProcessCpuSeconds();
  const auto begin = Clock::now();
  for (int second = 0; second < seconds; ++second) {
    const std::string burst = OneSecondOfNmea(second);
    if (::write(master_fd.get(), burst.data(), burst.size()) < 0) std::perror("write");
    std::this_thread::sleep_until(begin + std::chrono::seconds(second + 1));
  }
  const double streaming = ProcessCpuSeconds() - start;
  thread.reset();
  std::filesystem::remove_all(dir);

  std::printf("acquisition loop CPU over %d s, silent line:   %.3f s (%.3f %% of one core)\n",
              seconds, silent, 100.0 * silent / seconds);
  std::printf(
      "acquisition loop CPU over %d s, 1 Hz NMEA:     %.3f s (%.3f %% of one core), %ld sentences "
      "framed\n",
      seconds, streaming, 100.0 * streaming / seconds, decoders.frames.load());
  return 0;
}
