// The real desktop program under a private X display with a notification
// area: it starts without the right to set the clock, its icon's menu shows
// and hides the status window, a double click shows it, and "Exit" ends the
// program by itself; a notification area that comes up after the program
// gets its icon. Needs Xvfb, trayer, xdotool and xwininfo.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "ui/e2e_desktop_support.h"

namespace orvik::testing {
namespace {

using std::chrono::seconds;

constexpr const char* kClass = "orvik-gpstime";

class DesktopProgramE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orvik-gpstime-e2e.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    // For a sanitizer build of the program: leaks of system libraries are
    // not the program's.
    std::string lsan = std::string("suppressions=") + ORVIK_LSAN_SUPPRESSIONS;
    if (const char* given = std::getenv("LSAN_OPTIONS"); given != nullptr && *given != '\0') {
      lsan = std::string(given) + ":" + lsan;
    }
    setenv("LSAN_OPTIONS", lsan.c_str(), 1);
  }
  void TearDown() override {
    program_.Stop();
    session_.reset();
    if (!HasFailure()) std::filesystem::remove_all(dir_);
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
      if (window.viewable && window.name == "Orvik - GPS Time" && window.width == width) return true;
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
      open = WaitUntil([&] { return MenuOpen(); }, seconds(3));
    }
    ASSERT_TRUE(open) << "no menu at the icon; windows: " << Describe();
    RunCapture("xdotool key " + keys);
  }

  // Starts the program in dir_ once port 1609 is free, and checks before
  // anything else that it can never set this machine's clock.
  void StartProgram() {
    // Other real programs keep the port while their tests run; the program
    // is to start completely here.
    ASSERT_TRUE(WaitUntil([] { return TcpPortFree(1609); }, seconds(120)))
        << "TCP port 1609 is held by another program";
    program_ =
        ChildProcess::Start({"setpriv", "--bounding-set", "-sys_time", "--", ORVIK_GPSTIME_PATH},
                            dir_, dir_ / "program.log");
    ASSERT_GT(program_.pid(), 0);
    // Before anything else: the program (once setpriv has become it) can
    // never set this machine's clock.
    const std::string exe = "/proc/" + std::to_string(program_.pid()) + "/exe";
    const std::filesystem::path binary = std::filesystem::canonical(ORVIK_GPSTIME_PATH);
    ASSERT_TRUE(WaitUntil(
        [&] {
          std::error_code error;
          return std::filesystem::read_symlink(exe, error) == binary;
        },
        seconds(10)));
    const std::string holding = SetsHoldingSysTime(program_.pid());
    ASSERT_EQ(holding, "") << "CAP_SYS_TIME held in: " << holding;
  }

  std::filesystem::path dir_;
  std::unique_ptr<XSession> session_;
  ChildProcess program_;
  std::string icon_id_;
};

TEST_F(DesktopProgramE2eTest, IconMenuShowsHidesAndExits) {
  session_ = std::make_unique<XSession>(dir_);
  ASSERT_TRUE(session_->ok()) << session_->error();

  StartProgram();
  if (HasFatalFailure()) return;

  ASSERT_TRUE(WaitUntil([&] { return Icon().has_value(); }, seconds(20)))
      << "no icon in the notification area";
  icon_id_ = Icon()->id;
  // The small main window hides itself about two seconds after a complete start.
  EXPECT_TRUE(WaitUntil([&] { return !MainWindowShown(); }, seconds(20)))
      << "the start-up did not complete (an error box?); windows: " << Describe();
  EXPECT_FALSE(StatusWindowShown()) << "the status window starts hidden";

  ChooseFromIconMenu("s");  // "&Show"
  EXPECT_TRUE(WaitUntil([&] { return StatusWindowShown(); }, seconds(10)));

  ChooseFromIconMenu("h");  // "&Hide"
  EXPECT_TRUE(WaitUntil([&] { return !StatusWindowShown(); }, seconds(10)));

  RunCapture("xdotool mousemove --window " + icon_id_ + " 8 8 click --repeat 2 --delay 80 1");
  EXPECT_TRUE(WaitUntil([&] { return StatusWindowShown(); }, seconds(10)))
      << "a double click shows the status window";

  ChooseFromIconMenu("Up Return");  // "Exit", the last item
  const std::optional<int> status = program_.WaitForExit(seconds(20));
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

  ASSERT_TRUE(WaitUntil([&] { return StatusWindowShown(); }, seconds(20)))
      << "without a notification area the status window shows; windows: " << Describe();
  EXPECT_FALSE(Icon().has_value());

  ASSERT_TRUE(session_->StartTray()) << session_->error();
  ASSERT_TRUE(WaitUntil([&] { return Icon().has_value(); }, seconds(20)))
      << "the icon did not move into the notification area; windows: " << Describe();
  icon_id_ = Icon()->id;
  EXPECT_TRUE(WaitUntil([&] { return !StatusWindowShown(); }, seconds(10)))
      << "the status window hides itself as at a start with a notification area";

  ChooseFromIconMenu("Up Return");  // "Exit"
  const std::optional<int> status = program_.WaitForExit(seconds(20));
  ASSERT_TRUE(status.has_value()) << "the program did not end after Exit";
  EXPECT_TRUE(WIFEXITED(*status));
  EXPECT_EQ(WEXITSTATUS(*status), 0);
}

}  // namespace
}  // namespace orvik::testing
