// The service's settings as the desktop program beside it edits them.
#include "ui/logic/service_settings.h"

#include <gtest/gtest.h>

#include "core/settings_file.h"
#include "fakes/fake_service_control.h"
#include "fakes/fake_text_files.h"
#include "support/dates.h"

namespace orvik::testing {
namespace {

class ServiceSettingsTest : public ::testing::Test {
 protected:
  ServiceSettingsTest() {
    core::Settings on_disk;
    core::ApplyDefaultSettings(on_disk, kNow);
    on_disk.PortNumberText = "3";
    files_.Set(core::kSettingsFileName, core::SettingsFileText(on_disk));
    EXPECT_TRUE(settings_.Load(kNow).ok());
  }

  core::Settings Edited(const char* port) const {
    core::Settings edited = settings_.settings();
    edited.PortNumberText = port;
    return edited;
  }

  const core::DateTime kNow = At(2026, 6, 1, 12);
  FakeTextFiles files_;
  FakeServiceControl service_;
  ui::ServiceSettings settings_{files_, service_};
};

TEST_F(ServiceSettingsTest, ReadsTheServicesFileAndRestartsItOnlyForAChange) {
  EXPECT_EQ(settings_.settings().PortNumberText, "3");
  ui::ServiceApplyResult same = settings_.Apply(Edited("3"));
  EXPECT_TRUE(same.saved.ok());
  EXPECT_EQ(files_.WriteCount(), 0);
  EXPECT_EQ(service_.restarts(), 0) << "a focus move without edits";

  const ui::ServiceApplyResult changed = settings_.Apply(Edited("4"));
  EXPECT_TRUE(changed.saved.ok());
  EXPECT_TRUE(changed.restart_note.empty());
  EXPECT_EQ(service_.restarts(), 1);
  core::Settings reread;
  ASSERT_TRUE(core::LoadSettings(reread, files_, kNow, [](bool) {}).ok());
  EXPECT_EQ(reread.PortNumberText, "4");
}

TEST_F(ServiceSettingsTest, WithoutTheRightsTheUserIsToldWhatHappened) {
  files_.FailWrites(true);
  const ui::ServiceApplyResult unsaved = settings_.Apply(Edited("4"));
  ASSERT_FALSE(unsaved.saved.ok());
  EXPECT_NE(unsaved.saved.message().find("needs administrator rights"), std::string::npos);
  EXPECT_EQ(service_.restarts(), 0) << "nothing new to read";
  EXPECT_EQ(settings_.settings().PortNumberText, "3");

  files_.FailWrites(false);
  service_.RefuseRestarts(platform::kServiceAccessDenied);
  const ui::ServiceApplyResult saved = settings_.Apply(Edited("4"));
  EXPECT_TRUE(saved.saved.ok()) << "the file is saved: the dialog keeps no edits";
  EXPECT_EQ(saved.restart_note,
            std::string(platform::kServiceAccessDenied) +
                ": the settings are saved and take effect when the service next starts");
}

}  // namespace
}  // namespace orvik::testing
