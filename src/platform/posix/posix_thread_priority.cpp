#include "platform/posix/posix_thread_priority.h"

#include <sched.h>
#include <sys/capability.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/posix_capability.h"

namespace orvik::platform {

namespace {

std::string RealTimeWords(int policy, int priority) {
  return std::string("real-time priority (") + (policy == SCHED_RR ? "SCHED_RR " : "SCHED_FIFO ") +
         std::to_string(priority) + ")";
}

std::string NiceWords(int nice) { return "raised priority (nice " + std::to_string(nice) + ")"; }

}  // namespace

void PosixThreadPriority::EnablePriorityRights() { (void)RaisePermittedCapability(CAP_SYS_NICE); }

// On Linux the scheduling calls with pid 0 and setpriority with a thread id
// act on one thread, not on the whole process.
std::optional<std::string> PosixThreadPriority::RaiseToRealTime() {
  const int policy = ::sched_getscheduler(0) & ~SCHED_RESET_ON_FORK;
  sched_param current{};
  if ((policy == SCHED_FIFO || policy == SCHED_RR) && ::sched_getparam(0, &current) == 0 &&
      current.sched_priority >= kReaderRealTimePriority) {
    return RealTimeWords(policy, current.sched_priority);
  }
  sched_param wanted{};
  wanted.sched_priority = kReaderRealTimePriority;
  // A thread or process this thread may start does not inherit real time.
  if (::sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &wanted) != 0) return std::nullopt;
  return RealTimeWords(SCHED_FIFO, kReaderRealTimePriority);
}

std::optional<std::string> PosixThreadPriority::RaiseWithinNormal() {
  const auto thread = static_cast<id_t>(::gettid());
  errno = 0;
  const int current = ::getpriority(PRIO_PROCESS, thread);
  if (errno == 0 && current <= kReaderRaisedNice) return NiceWords(current);
  if (::setpriority(PRIO_PROCESS, thread, kReaderRaisedNice) != 0) return std::nullopt;
  return NiceWords(kReaderRaisedNice);
}

}  // namespace orvik::platform
