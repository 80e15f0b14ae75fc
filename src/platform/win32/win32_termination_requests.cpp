#include "platform/win32/win32_termination_requests.h"

#include <condition_variable>
#include <mutex>
#include <utility>

namespace orvik::platform {

struct Win32TerminationRequests::State {
  std::chrono::milliseconds end_wait;
  std::mutex mutex;
  TerminationRequests::Handler request;  // guarded by mutex
  std::condition_variable ended_changed;
  bool ended = false;  // guarded by mutex
  bool live = true;    // guarded by mutex: false once the object is gone
};

namespace {

// The process-wide slot of the active object (see the header).
struct ActiveSlot {
  std::mutex mutex;
  std::shared_ptr<Win32TerminationRequests::State> state;  // guarded by mutex
};

ActiveSlot& Active() {
  static ActiveSlot slot;
  return slot;
}

bool EndsTheProcess(DWORD event) {
  return event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
}

// Hands `event` to the listener of `state`; for an event after which Windows
// ends the process, waits (bounded) until the program has ended. False when
// nobody listens.
bool Deliver(Win32TerminationRequests::State& state, DWORD event);

}  // namespace

Win32TerminationRequests::Win32TerminationRequests(std::chrono::milliseconds end_wait)
    : state_(std::make_shared<State>()) {
  state_->end_wait = end_wait;
  {
    const std::lock_guard lock(Active().mutex);
    Active().state = state_;
  }
  installed_ = ::SetConsoleCtrlHandler(&Win32TerminationRequests::HandleConsoleEvent, TRUE) != 0;
  session_end_ = std::make_unique<Win32SessionEndWindow>(
      [state = state_](DWORD event) { (void)Deliver(*state, event); });
}

Win32TerminationRequests::~Win32TerminationRequests() {
  if (installed_) ::SetConsoleCtrlHandler(&Win32TerminationRequests::HandleConsoleEvent, FALSE);
  {
    const std::lock_guard lock(Active().mutex);
    if (Active().state == state_) Active().state.reset();
  }
  // A handler that found the object just before holds the state, not the
  // object: from now on it hands nothing over to a program going away.
  const std::lock_guard lock(state_->mutex);
  state_->live = false;
  state_->ended = true;
  state_->ended_changed.notify_all();
}

void Win32TerminationRequests::Listen(Handler handler) {
  const std::lock_guard lock(state_->mutex);
  if (!state_->request) state_->request = std::move(handler);
}

void Win32TerminationRequests::Ended() {
  const std::lock_guard lock(state_->mutex);
  state_->ended = true;
  state_->ended_changed.notify_all();
}

BOOL WINAPI Win32TerminationRequests::HandleConsoleEvent(DWORD event) {
  std::shared_ptr<State> state;
  {
    const std::lock_guard lock(Active().mutex);
    state = Active().state;
  }
  if (!state) return FALSE;
  return Deliver(*state, event) ? TRUE : FALSE;
}

namespace {

bool Deliver(Win32TerminationRequests::State& state, DWORD event) {
  std::unique_lock lock(state.mutex);
  if (!state.live || !state.request) return false;
  state.request(static_cast<int>(event));
  if (EndsTheProcess(event)) {
    state.ended_changed.wait_for(lock, state.end_wait, [&] { return state.ended; });
  }
  return true;
}

}  // namespace

}  // namespace orvik::platform
