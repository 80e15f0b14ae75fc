#include "service/hand_over_bridge.h"

#include <utility>

namespace orvik::service {

HandOverBridge::HandOverBridge(PostToMainThread post)
    : post_(std::move(post)),
      main_thread_(std::this_thread::get_id()),
      gate_(std::make_shared<HandOverGate>()) {}

HandOverBridge::~HandOverBridge() { Close(); }

void HandOverBridge::RunInMainThread(const std::function<void()>& work) {
  if (std::this_thread::get_id() == main_thread_) {
    work();
    return;
  }
  PostAndWait(post_, work, gate_);
}

}  // namespace orvik::service
