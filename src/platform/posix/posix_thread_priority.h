// PosixThreadPriority: the Linux levels of ThreadPriority. Real time is
// SCHED_FIFO at priority 5; the raised normal level is nice -10 for the one
// thread. Either needs CAP_SYS_NICE (or a matching RLIMIT_RTPRIO /
// RLIMIT_NICE); the program is installed with `setcap cap_sys_nice+p` or
// the unit's grant, and EnablePriorityRights makes it effective before the
// thread to be raised is created. A thread that already runs at the level
// or above keeps its own: nothing here ever lowers a thread.
#pragma once

#include <optional>
#include <string>

#include "platform/thread_priority.h"

namespace orvik::platform {

// Low among the real-time levels (1..99). Any of them runs before every
// normal thread, which is all a reading thread needs; staying low leaves the
// kernel's threaded interrupt handlers (50), which deliver the line's bytes,
// and real-time programs with tighter deadlines ahead of it. 5 rather than
// 1, so that a job merely given the lowest real-time level cannot hold the
// reading off.
inline constexpr int kReaderRealTimePriority = 5;
inline constexpr int kReaderRaisedNice = -10;

class PosixThreadPriority : public ThreadPriority {
 public:
  // Raises CAP_SYS_NICE from the permitted to the effective set.
  void EnablePriorityRights() override;
  // SCHED_FIFO at kReaderRealTimePriority, reset to normal in whatever the
  // thread starts.
  std::optional<std::string> RaiseToRealTime() override;
  // kReaderRaisedNice for the calling thread only.
  std::optional<std::string> RaiseWithinNormal() override;
};

}  // namespace orvik::platform
