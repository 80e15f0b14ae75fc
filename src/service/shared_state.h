// SharedState: everything the main thread and the acquisition thread share.
//
// One object, owned by the program and passed by reference (no globals).
// Rules of the hand-over between the two threads:
//   * flags are std::atomic and written by one side, cleared by the other
//     only where the comment says so;
//   * the three display texts are replaced and read whole under one short
//     lock, so the window never sees a half-written text;
//   * the receiver command is composed by the main thread and taken by the
//     acquisition thread whole; its length is the mark that one is pending.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/decoded_message.h"

namespace orvik::service {

// Texts and flags the decoders leave for the status display.
class DisplayState {
 public:
  // Shows what a message shows: its texts (NewDisplayFlag), and for an
  // accepted one NoSatFlag and DataSeenFlag. Any thread.
  void Show(const core::DisplayUpdate& update);
  // Any thread: a copy of the three texts.
  core::DisplayTexts Texts() const;

  // One period of the 3-second communication check (StatusTicks takes it): whether an accepted time
  // message came since the last check (read and cleared in one step, so one accepted meanwhile
  // counts for the next period), and whether the latest one tracked no satellite.
  struct CommunicationPeriod {
    bool receiving = false;
    bool no_satellites = false;
  };
  CommunicationPeriod TakeCommunicationPeriod();

  // Set by the decoders: the texts are new; cleared by the display tick.
  std::atomic<bool> NewDisplayFlag{false};
  // Set by the decoders: no satellite tracked in the latest message.
  std::atomic<bool> NoSatFlag{false};
  // Set by the decoders on every accepted time message; cleared by the
  // 3-second communication check.
  std::atomic<bool> DataSeenFlag{false};

 private:
  mutable std::mutex mutex_;
  core::DisplayTexts texts_;  // guarded by mutex_
};

// A sentence the operator is shown while a problem lasts, replaced and read
// whole under one short lock; any thread.
class ProblemSentence {
 public:
  // Replaces the sentence; empty means there is no problem. Returns true
  // when the text changed.
  bool SetProblem(std::string sentence);
  // The sentence to show; empty while there is no problem.
  std::string Problem() const;

 private:
  mutable std::mutex mutex_;
  std::string problem_;  // guarded by mutex_
};

// Whether the PC clock is being kept, told to the operator by the status
// window and the headless status line: "PC clock not set: no time
// privilege", or empty while the clock is kept (or left to chrony, as said
// at start-up). Written by the acquisition thread (after each clock setting)
// and the start-up sequence; read by any thread.
using ClockKeepingState = ProblemSentence;

// The receiver command waiting to be sent.
class CommandHandOver {
 public:
  static constexpr std::size_t kCapacity = 255;

  // Main thread: leaves a command for the acquisition thread, replacing one
  // not yet sent. Returns false (nothing stored) when it exceeds kCapacity.
  bool Compose(std::span<const std::uint8_t> command);
  // Acquisition thread: takes the pending command, if any, and clears it.
  std::optional<std::vector<std::uint8_t>> Take();
  // Acquisition thread at its start: drops a command composed before it ran.
  void Clear();
  // Acquisition thread: `composed` runs (in the composing thread, under this
  // object's lock) after each command composed, until it is set again; an
  // empty function ends that. Wakes a loop waiting on a silent line.
  void OnComposed(std::function<void()> composed);
  // Any thread: the length of the pending command (0: none).
  std::size_t CommandLength() const { return length_.load(std::memory_order_acquire); }

 private:
  mutable std::mutex mutex_;
  std::array<std::uint8_t, kCapacity> CommandBuffer_{};  // guarded by mutex_
  std::function<void()> composed_;                       // guarded by mutex_
  // Release mark: written under mutex_ after the bytes; read lock-free.
  std::atomic<std::size_t> length_{0};
};

// Lifecycle flags of the acquisition.
struct LifecycleFlags {
  // An acquisition thread was started and has not ended. Set by the start-up
  // sequence before the thread runs; cleared by the thread at its end.
  std::atomic<bool> AcquisitionRunning{false};
  // Cleared by every pass of the receive loop; set by the watchdog.
  std::atomic<bool> LoopHeartbeat{false};
  // The receiver port belongs to a running acquisition thread.
  std::atomic<bool> PortActive{false};
};

struct SharedState {
  DisplayState display;
  CommandHandOver command;
  LifecycleFlags lifecycle;
  // Why the running acquisition cannot open the receiver port ("COM3: no
  // such port"), or empty while it is open. Written by the acquisition
  // thread, shown by the status window and the headless status lines.
  ProblemSentence receiver_port;
  ClockKeepingState clock_keeping;
  // Whether the LAN time service turns new clients away: ServiceFullNotice
  // while every place is held, empty while there is room. Written by the
  // main thread (the service), shown by the status window.
  ProblemSentence lan_service;
  // Whole hours added to local time while summer time is in effect. Written
  // by the main thread, read by the NMEA decoder.
  std::atomic<std::int32_t> SummerHours{0};
  // Minutes the program's local time is ahead of UTC (the configured offset
  // and the summer hour). Written by the main thread whenever the summer
  // state is evaluated; read by any thread that shows or composes local time.
  std::atomic<std::int64_t> LocalOffsetMinutes{120};
};

}  // namespace orvik::service
