// The reverse lookup on its worker thread, with a resolver of the test's own
// (a gate holds it where a slow name service would), on the Qt main loop.
#include "service/worker_host_name_lookup.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "service/qt/qt_main_loop.h"
#include "support/qt_event_wait.h"

namespace orvik::service {
namespace {

using testing::PumpEventsUntil;

// Names each address "name-of-<address>"; the address "slow" waits for the
// gate first. Notes every address it was asked about.
class GatedResolver {
 public:
  WorkerHostNameLookup::Resolver Function() {
    return [this](const std::string& address) {
      {
        const std::lock_guard lock(mutex_);
        asked_.push_back(address);
      }
      if (address == "slow") gate_.wait();
      return "name-of-" + address;
    };
  }
  void Open() { opener_.set_value(); }
  std::vector<std::string> Asked() {
    const std::lock_guard lock(mutex_);
    return asked_;
  }

 private:
  std::promise<void> opener_;
  std::shared_future<void> gate_ = opener_.get_future().share();
  std::mutex mutex_;
  std::vector<std::string> asked_;
};

class WorkerHostNameLookupTest : public ::testing::Test {
 protected:
  // Records where and with what each answer ran.
  HostNameLookup::Answer Record(std::string tag) {
    return [this, tag = std::move(tag)](const std::string& name) {
      EXPECT_EQ(std::this_thread::get_id(), main_thread_);
      answers_.push_back(tag + "=" + name);
    };
  }

  const std::thread::id main_thread_ = std::this_thread::get_id();
  QtMainLoop loop_;
  GatedResolver resolver_;
  std::vector<std::string> answers_;
};

TEST_F(WorkerHostNameLookupTest, AnswersArriveInTheMainThreadInOrder) {
  WorkerHostNameLookup lookup(loop_, resolver_.Function());
  const std::uint64_t first = lookup.LookUp("192.0.2.1", Record("a"));
  const std::uint64_t second = lookup.LookUp("192.0.2.2", Record("b"));
  EXPECT_NE(first, 0u);
  EXPECT_NE(first, second);
  ASSERT_TRUE(PumpEventsUntil([&] { return answers_.size() == 2; }));
  EXPECT_EQ(answers_, (std::vector<std::string>{"a=name-of-192.0.2.1", "b=name-of-192.0.2.2"}));
}

// One request cancelled while its lookup runs, one while it waits in the
// queue: neither answers, and the waiting one is never looked up.
TEST_F(WorkerHostNameLookupTest, CancelledRequestNeverAnswers) {
  WorkerHostNameLookup lookup(loop_, resolver_.Function());
  const std::uint64_t running = lookup.LookUp("slow", Record("running"));
  const std::uint64_t queued = lookup.LookUp("192.0.2.2", Record("queued"));
  lookup.LookUp("192.0.2.3", Record("kept"));
  ASSERT_TRUE(PumpEventsUntil([&] { return !resolver_.Asked().empty(); }));
  lookup.Cancel(running);
  lookup.Cancel(queued);
  lookup.Cancel(queued);  // twice, and unknown ids: ignored
  lookup.Cancel(12345);
  resolver_.Open();
  // Answers are posted in the order looked up: once the last one has run,
  // the cancelled one had its chance.
  ASSERT_TRUE(PumpEventsUntil([&] { return !answers_.empty(); }));
  EXPECT_EQ(answers_, std::vector<std::string>{"kept=name-of-192.0.2.3"});
  EXPECT_EQ(resolver_.Asked(), (std::vector<std::string>{"slow", "192.0.2.3"}));
}

// Destroyed while a lookup runs and others wait: the destructor returns once
// the running one ends, and no answer ever runs afterwards.
TEST_F(WorkerHostNameLookupTest, DestroyingWithRequestsPendingIsSafe) {
  auto lookup = std::make_unique<WorkerHostNameLookup>(loop_, resolver_.Function());
  lookup->LookUp("slow", Record("running"));
  lookup->LookUp("192.0.2.2", Record("queued"));
  ASSERT_TRUE(PumpEventsUntil([&] { return !resolver_.Asked().empty(); }));
  std::thread opener([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    resolver_.Open();
  });
  lookup.reset();
  opener.join();
  // Anything the worker posted was posted before it ended, so before this.
  bool flushed = false;
  loop_.Post([&] { flushed = true; });
  ASSERT_TRUE(PumpEventsUntil([&] { return flushed; }));
  EXPECT_TRUE(answers_.empty());
}

}  // namespace
}  // namespace orvik::service
