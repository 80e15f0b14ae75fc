// WorkerHostNameLookup: the reverse host-name lookup on one worker thread of
// its own, so that a slow name service never holds up the main thread. The
// requests are answered one after another; each answer is handed to the main
// thread with MainLoop::Post.
//
// Cancelled requests and those still waiting when the object is destroyed
// never answer: every posted answer holds only a weak token of the pending
// answers, which goes with the object. The destructor stops the worker and
// joins it: it waits at most for the one lookup under way (which the
// system's resolver time-outs bound), never for the queue behind it.
//
// The loop must outlive this object. LookUp, Cancel and the destructor:
// main thread only.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "service/host_name_lookup.h"
#include "service/main_loop.h"

namespace orvik::service {

class WorkerHostNameLookup : public HostNameLookup {
 public:
  // Turns a numeric address into its host name ("" for none); runs on the
  // worker thread.
  using Resolver = std::function<std::string(const std::string& address)>;

  // Starts the worker. `resolve` defaults to the system's reverse lookup.
  explicit WorkerHostNameLookup(MainLoop& loop, Resolver resolve = {});
  ~WorkerHostNameLookup() override;

  WorkerHostNameLookup(const WorkerHostNameLookup&) = delete;
  WorkerHostNameLookup& operator=(const WorkerHostNameLookup&) = delete;

  std::uint64_t LookUp(const std::string& address, Answer answer) override;
  void Cancel(std::uint64_t id) override;

 private:
  struct Request {
    std::uint64_t id = 0;
    std::string address;
  };
  // The answers still expected, by request id. Main thread only; posted
  // answers reach it through a weak pointer, so none runs after destruction.
  using PendingAnswers = std::map<std::uint64_t, Answer>;

  void Work(const std::weak_ptr<PendingAnswers>& pending);

  MainLoop& loop_;
  const Resolver resolve_;
  std::shared_ptr<PendingAnswers> pending_ = std::make_shared<PendingAnswers>();
  std::uint64_t last_id_ = 0;

  std::mutex mutex_;  // guards queue_ and stopping_
  std::condition_variable wake_;
  std::deque<Request> queue_;
  bool stopping_ = false;
  std::thread worker_;  // last: starts once everything above exists
};

}  // namespace orvik::service
