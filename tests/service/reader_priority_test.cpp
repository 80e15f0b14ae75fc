// The reading thread's priority: the levels are asked for from the highest
// down, the first one granted is kept, and the notice says what was reached.
#include "service/reader_priority.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/fake_thread_priority.h"

namespace orvik::testing {
namespace {

TEST(ReaderPriorityTest, TheHighestLevelGrantedIsKeptAndSaid) {
  struct Case {
    bool real_time;
    bool raised;
    std::string notice;
    std::vector<std::string> asked;
  };
  const std::string rt = FakeThreadPriority::kRealTime;
  const std::string raised = FakeThreadPriority::kRaised;
  const Case cases[] = {
      {true, true, "Serial line read at real-time priority (fake).", {rt}},
      {false, true, "Serial line read at raised priority (fake).", {rt, raised}},
      {false, false, "Serial line read at normal priority: no right to raise it.", {rt, raised}},
  };
  for (const Case& c : cases) {
    FakeThreadPriority priority;
    priority.EnablePriorityRights();
    priority.Allow(c.real_time, c.raised);
    EXPECT_EQ(service::RaiseReaderPriority(priority), c.notice);
    std::vector<std::string> asked;
    for (const auto& request : priority.Requests()) asked.push_back(request.level);
    EXPECT_EQ(asked, c.asked) << c.notice;
  }
}

}  // namespace
}  // namespace orvik::testing
