// ChronyFeed: hands the receiver's time to chronyd instead of setting the PC
// clock. For every valid, fresh time message the acquisition calls
// OnFreshTime, and one sample goes to chronyd's SOCK refclock socket (the
// path of settings line 16); chronyd then disciplines the clock.
//
// What the operator is told:
//   * at construction, when a path is set: "PC clock left to chrony through
//     <path>" in the event log;
//   * when a send fails: "chrony socket <path>: <reason>" in the event log
//     and through the problem callback, once; while later sends fail for the
//     same reason, nothing more (a missing socket is simply tried again with
//     the next message); a different reason is told once again;
//   * when a send works again after a failure: "chrony socket <path>:
//     samples delivered again" in the event log;
//   * the problem callback gets "" at the first delivered sample and at every
//     recovery, so a sentence left from an earlier run is cleared.
// Event-log lines are written only when the settings enable logging; the
// callback is always called.
// Threads: construction and OnFreshTime in one thread at a time (the
// acquisition thread calls OnFreshTime; the log writer is thread-safe). The
// callback runs in the thread that calls OnFreshTime.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/settings.h"
#include "platform/refclock_socket.h"
#include "service/event_log_writer.h"

namespace orvik::service {

class ChronyFeed {
 public:
  // Receives the operator's sentence about the feed: the problem, or "" while
  // samples are delivered. Wire it to SharedState::clock_keeping.SetProblem.
  using ProblemCallback = std::function<void(const std::string& problem)>;

  // Takes the socket path and the logging switch from `settings`. With an
  // empty path the feed is off: nothing is logged and OnFreshTime does
  // nothing. `log` and `socket` must outlive the feed; `on_problem` may be empty.
  ChronyFeed(const core::Settings& settings, EventLogWriter& log, platform::RefclockSocket& socket,
             ProblemCallback on_problem);

  // True when a socket path is set: the PC clock is chronyd's to keep.
  bool Enabled() const { return !path_.empty(); }

  // Sends chronyd the sample "at the system-clock instant `reference_ns`
  // (nanoseconds since the Unix epoch, UTC) the true time was that instant
  // plus `offset_ns`" (message UTC minus the instant), and tells the operator
  // about a change between delivering and failing.
  void OnFreshTime(std::int64_t reference_ns, std::int64_t offset_ns);

 private:
  void Log(const std::string& line);
  void Tell(const std::string& problem);

  std::string path_;
  bool logging_enabled_;
  EventLogWriter& log_;
  platform::RefclockSocket& socket_;
  ProblemCallback on_problem_;
  // The reason of the latest failure, "" after a delivered sample, nullopt
  // before the first send.
  std::optional<std::string> last_failure_;
};

}  // namespace orvik::service
