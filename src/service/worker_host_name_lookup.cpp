#include "service/worker_host_name_lookup.h"

#include <algorithm>
#include <utility>

#include "platform/stream_sockets.h"

namespace orvik::service {

WorkerHostNameLookup::WorkerHostNameLookup(MainLoop& loop, Resolver resolve)
    : loop_(loop), resolve_(resolve ? std::move(resolve) : Resolver(platform::ReverseLookUp)) {
  // The worker gets its own weak token: it never reads pending_ itself.
  worker_ = std::thread([this, token = std::weak_ptr<PendingAnswers>(pending_)] { Work(token); });
}

WorkerHostNameLookup::~WorkerHostNameLookup() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
    queue_.clear();
  }
  wake_.notify_one();
  worker_.join();
  // pending_ goes now: answers the worker posted meanwhile find no token.
}

std::uint64_t WorkerHostNameLookup::LookUp(const std::string& address, Answer answer) {
  const std::uint64_t id = ++last_id_;  // 64 bits: never wraps to 0 in practice
  pending_->emplace(id, std::move(answer));
  {
    const std::lock_guard lock(mutex_);
    queue_.push_back(Request{id, address});
  }
  wake_.notify_one();
  return id;
}

void WorkerHostNameLookup::Cancel(std::uint64_t id) {
  if (pending_->erase(id) == 0) return;
  // Not asked yet: it need not be asked at all.
  const std::lock_guard lock(mutex_);
  std::erase_if(queue_, [id](const Request& request) { return request.id == id; });
}

void WorkerHostNameLookup::Work(const std::weak_ptr<PendingAnswers>& pending) {
  for (;;) {
    Request request;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      request = std::move(queue_.front());
      queue_.pop_front();
    }
    std::string name = resolve_(request.address);
    loop_.Post([pending, id = request.id, name = std::move(name)] {
      const std::shared_ptr<PendingAnswers> answers = pending.lock();
      if (!answers) return;  // the lookup object is gone
      const auto it = answers->find(id);
      if (it == answers->end()) return;  // cancelled
      Answer answer = std::move(it->second);
      answers->erase(it);
      answer(name);
    });
  }
}

}  // namespace orvik::service
