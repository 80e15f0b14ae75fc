// comm_GPS_acq: the acquisition thread. It owns the receiver port, sends the
// pending receiver command, frames the receiver's byte stream into messages
// and hands each one to the decoders, and keeps the loop heartbeat.
//
// Threads: the constructor, RequestStop(), ClosePort(), Finished() and the
// destructor are for the main thread (ClosePort and RequestStop are safe from
// any thread). Everything else, and every decoder call, runs in the
// acquisition thread. Every wait of the thread is bounded and ends early on a
// stop request, so the thread always ends on its own.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "core/burst_tracker.h"
#include "core/port_settings.h"
#include "core/satellite_tracker.h"
#include "core/settings.h"
#include "platform/serial_link.h"
#include "service/event_log_writer.h"
#include "service/main_thread_bridge.h"
#include "service/message_decoders.h"
#include "service/shared_state.h"

namespace orvik::service {

enum class LoopState { StartDelay, SendPending, Receive, Purge };

// The collaborators of an acquisition thread; all must outlive it.
struct AcquisitionContext {
  SharedState& shared;
  MessageDecoders& decoders;
  EventLogWriter& log;
  MainThreadBridge& bridge;
};

struct AcquisitionOptions {
  // Where "COM<n>" is looked up.
  std::filesystem::path working_dir = ".";
  // A port that could not be opened or that hung up is opened again after this.
  std::chrono::milliseconds reopen_interval{60'000};
  // Pause per receive step while the port is not open, so the loop does not spin.
  std::chrono::milliseconds closed_port_pause{100};
  // Written to the receiver at the first send step, before any command from
  // the hand-over: the GMT offset command of the start-up sequence, so a
  // Motorola receiver reports the local time the program expects.
  std::vector<std::uint8_t> first_command;
};

// The GMT offset a Motorola receiver was last commanded, and when the
// command left (monotonic clock).
struct ReceiverOffset {
  std::int64_t minutes = 0;
  core::MonotonicNanos written_at = 0;
};

class comm_GPS_acq {
 public:
  static constexpr std::size_t kHeaderSize = 255;
  // Four bytes longer than the longest body, so that a sentence whose "*"
  // stands at the very end still has room for its checksum, CR and LF.
  static constexpr std::size_t kMaxBodyBeforeStar = 255;
  static constexpr std::size_t kBodySize = kMaxBodyBeforeStar + 4;
  static constexpr std::size_t kEaRestLength = 72;  // "@@Ea" is 76 bytes in all
  static constexpr std::size_t kHbRestLength = 50;  // "@@Hb" is 54 bytes in all

  using HeaderBuffer = std::array<std::uint8_t, kHeaderSize>;
  using BodyBuffer = std::array<std::uint8_t, kBodySize>;

  // Starts the thread at once. The caller has set AcquisitionRunning and
  // PortActive; "Start" is logged here when logging is enabled.
  comm_GPS_acq(AcquisitionContext context, const core::Settings& settings,
               const core::TimeoutTable& timeouts, std::unique_ptr<platform::SerialLink> link,
               AcquisitionOptions options = {});
  // Requests a stop and waits for the thread to end.
  ~comm_GPS_acq();

  comm_GPS_acq(const comm_GPS_acq&) = delete;
  comm_GPS_acq& operator=(const comm_GPS_acq&) = delete;

  // Any thread: asks the loop to end; a wait in progress ends at once.
  void RequestStop();
  // Any thread: closes the receiver port; a read in progress fails at once.
  void ClosePort();
  // True once the thread has left its body.
  bool Finished() const { return finished_.load(std::memory_order_acquire); }

  // --- for the decoders, acquisition thread only ---
  const HeaderBuffer& MessageHeader() const { return MessageHeader_; }
  BodyBuffer& MessagePayload() { return MessagePayload_; }
  // The satellite counts gathered from GSV sentences; new with every thread.
  core::SatelliteTracker& Satellites() { return satellites_; }
  const core::Settings& settings() const { return settings_; }
  SharedState& shared() { return context_.shared; }
  MainThreadBridge& bridge() { return context_.bridge; }
  bool StopRequested() const { return stop_.stop_requested(); }
  // How the latest byte of the message being decoded reached the program.
  core::ByteTiming LastByteTiming() const { return link_->LastByteTiming(); }
  // The GMT offset command this thread last wrote, if any.
  const std::optional<ReceiverOffset>& ReceiverOffsetCommanded() const { return receiver_offset_; }
  // Writes a log line through the main thread, unless a stop was requested.
  void LogThroughMainThread(const std::string& line);

 private:
  void Execute();
  void ReceiveLoop();
  LoopState ReceiveStep();
  LoopState ReceiveNmea();
  LoopState ReceiveMotorola();
  // Fills `into` with the carried bytes first, then reads the rest from the
  // line; the outcome counts both. No read when the carried bytes suffice.
  platform::ReadOutcome ReadAfterCarried(std::span<std::uint8_t> into);
  // Keeps `bytes`, already read, as the start of the next message.
  void Carry(std::span<const std::uint8_t> bytes);
  void OpenReceiverPort();
  void SendCommand(std::span<const std::uint8_t> command);
  void ReopenIfDue();

  AcquisitionContext context_;
  const core::Settings settings_;
  const core::TimeoutTable timeouts_;
  const std::unique_ptr<platform::SerialLink> link_;
  const AcquisitionOptions options_;

  // Acquisition thread only.
  std::uint8_t ComNumber_ = 0;
  core::SpeedCode SpeedCode_ = 0;
  core::SatelliteTracker satellites_;
  LoopState LoopState_ = LoopState::StartDelay;
  HeaderBuffer RxHeader_{};
  BodyBuffer RxBody_{};
  HeaderBuffer MessageHeader_{};
  BodyBuffer MessagePayload_{};
  // Bytes already taken from the line that begin the next message: the "$"
  // (and any address characters after it) that ended an NMEA sentence, or
  // the "@@..." found in a Motorola message that could not be complete. The
  // next receive step starts from them; a purge or a new port drops them.
  BodyBuffer carried_{};
  std::size_t carried_length_ = 0;
  std::chrono::steady_clock::time_point last_open_attempt_{};
  bool first_command_sent_ = false;
  std::optional<ReceiverOffset> receiver_offset_;

  std::stop_source stop_;
  std::atomic<bool> finished_{false};
  std::thread thread_;  // last: started when everything above is ready
};

}  // namespace orvik::service
