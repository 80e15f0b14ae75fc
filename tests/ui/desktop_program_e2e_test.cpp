// The real desktop program under a private X display with a notification
// area: it starts without the right to set the clock, its icon's menu shows
// and hides the status window, a double click shows it, and "Exit" ends the
// program by itself; a notification area that comes up after the program
// gets its icon. Needs Xvfb, trayer, xdotool and xwininfo.
// Every program here runs through ChildProcess, under setpriv --bounding-set -sys_time.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "support/child_process.h"
#include "support/file_text.h"
#include "support/loopback.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"
#include "ui/e2e_desktop_support.h"

namespace orvik::testing {
namespace {

using std::chrono::seconds;

// How often the X tools are asked about the windows while a test waits.
constexpr std::chrono::milliseconds kLookInterval{100};

constexpr const char* kClass = "orvik-gpstime";

class DesktopProgramE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.Ok());
    // For a sanitizer build of the program: leaks of system libraries are
    // not the program's.
    std::string lsan = std::string("suppressions=") + ORVIK_LSAN_SUPPRESSIONS;
    if (const char* given = std::getenv("LSAN_OPTIONS"); given != nullptr && *given != '\0') {
      lsan = std::string(given) + ":" + lsan;
    }
    setenv("LSAN_OPTIONS", lsan.c_str(), 1);
  }
  void TearDown() override {
    program_.reset();
    session_.reset();
    if (HasFailure()) std::cerr << "--- program log ---\n" << ReadFileText(dir_ / "program.log");
  }

  // The notification-area icon: the viewable window named after the program.
  std::optional<XWindow> Icon() {
    for (const XWindow& window : WindowsOfClass(kClass)) {
      if (window.viewable && window.name == kClass) return window;
    }
    return std::nullopt;
  }
  // A viewable window titled "Orvik - GPS Time" that is `width` wide.
  bool TitledWindowShown(int width) {
    for (const XWindow& window : WindowsOfClass(kClass)) {
      if (window.viewable && window.name == "Orvik - GPS Time" && window.width == width)
        return true;
    }
    return false;
  }
  bool StatusWindowShown() { return TitledWindowShown(294); }
  bool MainWindowShown() { return TitledWindowShown(120); }
  bool MenuOpen() {
    for (const XWindow& window : WindowsOfClass(kClass)) {
      if (window.viewable && window.name == kClass && window.id != icon_id_ && window.height > 40) {
        return true;
      }
    }
    return false;
  }
  std::string Describe() {
    std::string text;
    for (const XWindow& w : WindowsOfClass(kClass)) {
      text += w.id + " '" + w.name + "' " + std::to_string(w.width) + "x" +
              std::to_string(w.height) + (w.viewable ? " viewable; " : " unmapped; ");
    }
    return text;
  }
  // Right-clicks the icon, waits for its menu, then types `keys` into it. A
  // click that comes while the program still settles from the previous menu
  // may go unseen, so it is tried up to three times.
  void ChooseFromIconMenu(const std::string& keys) {
    bool open = false;
    for (int attempt = 0; attempt < 3 && !open; ++attempt) {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      RunCapture("xdotool mousemove --window " + icon_id_ + " 8 8 click 3");
      open = WaitUntil([&] { return MenuOpen(); }, seconds(3), kLookInterval);
    }
    ASSERT_TRUE(open) << "no menu at the icon; windows: " << Describe();
    RunCapture("xdotool key " + keys);
  }

  // Starts the program in dir_ once port 1609 is free; the launcher has
  // made sure that it can never set this machine's clock.
  void StartProgram() {
    // Other real programs keep the port while their tests run; the program
    // is to start completely here.
    ASSERT_TRUE(WaitUntil([] { return PortIsFree(kServerPort); }, seconds(120), kLookInterval))
        << "TCP port 1609 is held by another program";
    ProcessOptions options;
    options.argv = {ORVIK_GPSTIME_PATH};
    options.working_dir = dir_;
    options.stdout_file = options.stderr_file = dir_ / "program.log";
    program_ = std::make_unique<ChildProcess>(options);
    ASSERT_TRUE(program_->started()) << program_->failure();
  }

  TempDir temp_;
  const std::filesystem::path& dir_ = temp_.path();
  std::unique_ptr<XSession> session_;
  std::unique_ptr<ChildProcess> program_;
  std::string icon_id_;
};

TEST_F(DesktopProgramE2eTest, IconMenuShowsHidesAndExits) {
  session_ = std::make_unique<XSession>(dir_);
  ASSERT_TRUE(session_->ok()) << session_->error();

  StartProgram();
  if (HasFatalFailure()) return;

  ASSERT_TRUE(WaitUntil([&] { return Icon().has_value(); }, seconds(20), kLookInterval))
      << "no icon in the notification area";
  icon_id_ = Icon()->id;
  // The small main window hides itself about two seconds after a complete start.
  EXPECT_TRUE(WaitUntil([&] { return !MainWindowShown(); }, seconds(20), kLookInterval))
      << "the start-up did not complete (an error box?); windows: " << Describe();
  EXPECT_FALSE(StatusWindowShown()) << "the status window starts hidden";

  ChooseFromIconMenu("s");  // "&Show"
  EXPECT_TRUE(WaitUntil([&] { return StatusWindowShown(); }, seconds(10), kLookInterval));

  ChooseFromIconMenu("h");  // "&Hide"
  EXPECT_TRUE(WaitUntil([&] { return !StatusWindowShown(); }, seconds(10), kLookInterval));

  RunCapture("xdotool mousemove --window " + icon_id_ + " 8 8 click --repeat 2 --delay 80 1");
  EXPECT_TRUE(WaitUntil([&] { return StatusWindowShown(); }, seconds(10), kLookInterval))
      << "a double click shows the status window";

  ChooseFromIconMenu("Up Return");  // "Exit", the last item
  const std::optional<int> status = program_->WaitForExit(seconds(20));
  ASSERT_TRUE(status.has_value()) << "the program did not end after Exit";
  EXPECT_TRUE(WIFEXITED(*status));
  EXPECT_EQ(WEXITSTATUS(*status), 0);
  EXPECT_FALSE(Icon().has_value()) << "the icon leaves with the program";
}

// At log-in the panel may come up after the program: without a notification
// area the status window is in sight; once one appears the icon goes into it
// and the program lives there, as if the area had been there from the start.
TEST_F(DesktopProgramE2eTest, IconMovesIntoANotificationAreaThatAppearsLater) {
  session_ = std::make_unique<XSession>(dir_, /*with_tray=*/false);
  ASSERT_TRUE(session_->ok()) << session_->error();
  StartProgram();
  if (HasFatalFailure()) return;

  ASSERT_TRUE(WaitUntil([&] { return StatusWindowShown(); }, seconds(20), kLookInterval))
      << "without a notification area the status window shows; windows: " << Describe();
  EXPECT_FALSE(Icon().has_value());

  ASSERT_TRUE(session_->StartTray()) << session_->error();
  ASSERT_TRUE(WaitUntil([&] { return Icon().has_value(); }, seconds(20), kLookInterval))
      << "the icon did not move into the notification area; windows: " << Describe();
  icon_id_ = Icon()->id;
  EXPECT_TRUE(WaitUntil([&] { return !StatusWindowShown(); }, seconds(10), kLookInterval))
      << "the status window hides itself as at a start with a notification area";

  ChooseFromIconMenu("Up Return");  // "Exit"
  const std::optional<int> status = program_->WaitForExit(seconds(20));
  ASSERT_TRUE(status.has_value()) << "the program did not end after Exit";
  EXPECT_TRUE(WIFEXITED(*status));
  EXPECT_EQ(WEXITSTATUS(*status), 0);
}

}  // namespace
}  // namespace orvik::testing
