// SystemServiceRun: the headless program run as a system service (the
// Windows service of orvik-gpstimed.exe).
//
// The service manager is told the run's states: start pending at once,
// running once the first start-up has been tried and the loop turns (a
// start-up error is no reason to stop: the watchdog tries again, as in the
// console), stop pending as soon as a stop or shut-down request arrives,
// after which the program ends in order ("Stop" last in its log). Stopped is
// told by the caller, after everything the run used is closed.
//
// The system's event log receives the start ("serving time ..."), the stop,
// start-up errors and notices (errors and warnings), and losing the
// receiver or the clock (warnings); the other status lines only go to `say`.
//
// Main thread, except that the manager's requests arrive in its thread.
#pragma once

#include <functional>
#include <mutex>
#include <string>

#include "platform/service_manager_link.h"
#include "platform/system_event_log.h"
#include "service/headless_program.h"
#include "service/main_loop.h"

namespace orvik::service {

class SystemServiceRun {
 public:
  // `manager` and `events` must outlive this object.
  SystemServiceRun(platform::ServiceManagerLink& manager, platform::SystemEventLog& events);

  // The options for the program this runs: status lines to `say` and the
  // event log.
  HeadlessOptions ProgramOptions(std::function<void(const std::string&)> say);

  // Runs `program` on `loop` until the manager asks it to stop (or the loop
  // ends otherwise), telling the states above. Returns the program's exit
  // code.
  int Run(MainLoop& loop, HeadlessProgram& program);

  // Writes one status line of the program to the event log, by its kind.
  void ReportToEventLog(StatusKind kind, const std::string& line);

 private:
  // The manager's requests, told as stop pending before they are handed on.
  class StopRequests;
  // Tells the manager `state`, unless a stop is under way (any thread).
  void TellState(platform::ServiceState state);

  platform::ServiceManagerLink& manager_;
  platform::SystemEventLog& events_;
  std::mutex state_mutex_;  // one state told at a time; guards:
  bool stopping_ = false;   // stop pending has been told
};

}  // namespace orvik::service
