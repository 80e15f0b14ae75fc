// ServiceEvents: what the running system tells the windows and the headless
// program. Any number of listeners (the status window, the setup dialog, the
// headless program, tests); each keeps a subscription, and its callbacks run
// in the main thread until the subscription is destroyed. Main thread only.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "service/status_snapshot.h"

namespace orvik::service {

// The callbacks of one listener; any may be left empty.
struct ServiceListener {
  // The start-up sequence failed with `message` (the operator must see it).
  std::function<void(const std::string& message)> startup_failed{};
  // Something the operator should know about how the time is kept.
  std::function<void(const std::string& message)> notice{};
  // The settings loader read the protocol line: the "Commands to GPS" menu
  // is to be enabled (Motorola) or disabled (NMEA).
  std::function<void(bool enabled)> commands_menu_enabled_changed{};
  // A restart (from the watchdog, the setup dialog or the queue) ended;
  // `started`: its start-up sequence completed and the acquisition runs.
  std::function<void(bool started)> restart_finished{};
  // A status tick took a snapshot of what the operator is shown.
  std::function<void(const StatusSnapshot& snapshot)> status{};
};

class ServiceEvents {
  using Listeners = std::map<int, ServiceListener>;

 public:
  // Ends a listener's callbacks when destroyed (harmless once the events
  // are gone).
  class Subscription {
   public:
    Subscription() = default;
    Subscription(std::weak_ptr<Listeners> listeners, int id)
        : listeners_(std::move(listeners)), id_(id) {}
    ~Subscription() { Reset(); }
    Subscription(Subscription&&) noexcept = default;
    Subscription& operator=(Subscription&& other) noexcept {
      if (this != &other) {
        Reset();
        listeners_ = std::move(other.listeners_);
        id_ = other.id_;
      }
      return *this;
    }
    void Reset() {
      if (const std::shared_ptr<Listeners> listeners = listeners_.lock()) listeners->erase(id_);
      listeners_.reset();
    }

   private:
    std::weak_ptr<Listeners> listeners_;
    int id_ = 0;
  };

  [[nodiscard]] Subscription Listen(ServiceListener listener) {
    const int id = next_id_++;
    listeners_->emplace(id, std::move(listener));
    return Subscription(listeners_, id);
  }

  // Calls `member` of every listener that has it with `args`. A listener
  // that unsubscribes another during the call is respected.
  template <typename Callback, typename... Args>
  void Tell(Callback ServiceListener::*member, const Args&... args) {
    std::vector<int> ids;
    for (const auto& [id, listener] : *listeners_) ids.push_back(id);
    for (const int id : ids) {
      const auto found = listeners_->find(id);
      if (found == listeners_->end() || !(found->second.*member)) continue;
      const Callback callback = found->second.*member;  // may unsubscribe itself
      callback(args...);
    }
  }

 private:
  std::shared_ptr<Listeners> listeners_ = std::make_shared<Listeners>();
  int next_id_ = 1;
};

}  // namespace orvik::service
