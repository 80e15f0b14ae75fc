// comm_GPS_acq: the acquisition thread. It owns the receiver port, sends the
// pending receiver command, reads the receiver's byte stream as the
// protocol's framer (core/nmea_framer.h, core/motorola_framer.h) asks and
// hands each framed message to the decoders, and keeps the loop heartbeat.
// A port that cannot be opened is tried again every reopen_interval; why it
// failed is the shared receiver_port sentence, logged once per change.
//
// Threads: the constructor, RequestStop(), ClosePort(), Finished() and the
// destructor are for the main thread (ClosePort and RequestStop are safe from
// any thread). Everything else, and every decoder call, runs in the
// acquisition thread. Every wait of the thread is bounded and ends early on a
// stop request, so the thread always ends on its own.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "core/message_framer.h"
#include "core/port_settings.h"
#include "core/settings.h"
#include "platform/monotonic_clock.h"
#include "platform/serial_link.h"
#include "service/event_log_writer.h"
#include "service/main_thread_bridge.h"
#include "service/message_decoders.h"
#include "service/program_intervals.h"
#include "service/shared_state.h"

namespace orvik::service {

enum class LoopState { StartDelay, SendPending, Receive, Purge };

// The collaborators of an acquisition thread; all must outlive it.
struct AcquisitionContext {
  SharedState& shared;
  MessageDecoders& decoders;
  EventLogWriter& log;
  MainThreadBridge& bridge;
  // The clock of the link's arrival stamps; reopen pauses and command times.
  const platform::MonotonicClock& clock;
};

struct AcquisitionOptions {
  // Where "COM<n>" is looked up.
  std::filesystem::path working_dir = ".";
  // A port that could not be opened or that hung up is opened again after
  // this long from the last attempt.
  std::chrono::milliseconds reopen_interval{kReopenInterval};
  // Pause per receive step while the port is not open, so the loop does not spin.
  std::chrono::milliseconds closed_port_pause{100};
  // Written to the receiver at the first send step, before any command from
  // the hand-over: the GMT offset command of the start-up sequence, so a
  // Motorola receiver reports the local time the program expects.
  std::vector<std::uint8_t> first_command;
  // Runs in the new thread before anything else: raises its priority (unset: none).
  std::function<void()> raise_priority;
};

class comm_GPS_acq {
 public:
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

 private:
  void Execute();
  void ReceiveLoop();
  LoopState ReceiveStep();
  // Reads into `into` and tells the framer how the read ended.
  core::ReadResult Read(std::span<std::uint8_t> into);
  void Decode(std::span<const std::uint8_t> message);
  // The loop's purge: the line is emptied, the framer told what went.
  void PurgeForFramer();
  // Empties the line of what was sent before: at the start, after a reopen.
  void DiscardBacklog();
  bool StopRequested() const { return stop_.stop_requested(); }
  void OpenReceiverPort();
  // Shows why the port could not be opened, or that it is open; logs each
  // change of that.
  void TellPortOutcome(const platform::PortOpenResult& opened, const std::string& device);
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
  LoopState LoopState_ = LoopState::StartDelay;
  // The framer of the protocol in the settings; it holds the message being
  // read and the bytes carried to the next step.
  const std::unique_ptr<core::MessageFramer> framer_;
  core::MonotonicNanos last_open_attempt_ = 0;
  bool first_command_sent_ = false;
  // The latest receive step's reads got no byte before their time-outs.
  bool line_silent_ = false;
  std::optional<ReceiverOffset> receiver_offset_;

  std::stop_source stop_;
  std::atomic<bool> finished_{false};
  std::thread thread_;  // last: started when everything above is ready
};

}  // namespace orvik::service
