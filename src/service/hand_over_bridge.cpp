#include "service/hand_over_bridge.h"

namespace orvik::service {

namespace {

// One hand-over's progress; guarded by the gate's mutex.
enum class HandOverState { kWaiting, kRunning, kSettled };

}  // namespace

HandOverBridge::HandOverBridge(MainLoop& loop)
    : loop_(loop), main_thread_(std::this_thread::get_id()), gate_(std::make_shared<Gate>()) {}

HandOverBridge::~HandOverBridge() { Close(); }

void HandOverBridge::Close() {
  {
    const std::lock_guard lock(gate_->mutex);
    gate_->closed = true;
  }
  gate_->settled.notify_all();
}

void HandOverBridge::RunInMainThread(const std::function<void()>& work) {
  if (std::this_thread::get_id() == main_thread_) {
    work();
    return;
  }
  auto state = std::make_shared<HandOverState>(HandOverState::kWaiting);
  {
    const std::lock_guard lock(gate_->mutex);
    if (gate_->closed) return;
  }
  // The work is reached only while its caller still waits: a closed gate
  // settles the hand-over before the loop may come to it.
  loop_.Post([gate = gate_, state, &work] {
    {
      const std::lock_guard lock(gate->mutex);
      if (gate->closed || *state != HandOverState::kWaiting) return;
      *state = HandOverState::kRunning;
    }
    work();
    {
      const std::lock_guard lock(gate->mutex);
      *state = HandOverState::kSettled;
    }
    gate->settled.notify_all();
  });
  std::unique_lock lock(gate_->mutex);
  gate_->settled.wait(lock, [&] {
    return *state == HandOverState::kSettled ||
           (gate_->closed && *state == HandOverState::kWaiting);
  });
  *state = HandOverState::kSettled;
}

}  // namespace orvik::service
