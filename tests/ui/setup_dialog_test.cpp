// The setup dialog: its controls, showing the settings on activation,
// applying them (save and restart) on deactivation, the masks, and how a
// failed save or a failed reload reaches the operator.
#include "ui/qt/setup_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <QWindow>

#include "ui/desktop_test_harness.h"
#include "ui/logic/setup_dialog_fields.h"
#include "ui/qt/form_helpers.h"
#include "ui/qt/masked_edit.h"

namespace orvik::testing {
namespace {

class SetupDialogTest : public ::testing::Test {
 protected:
  ui::SetupDialog& dialog() { return harness_.program().setupDialog(); }
  ui::MaskedEdit& edit(const char* name) { return Child<ui::MaskedEdit>(dialog(), name); }
  QCheckBox& check(const char* name) { return Child<QCheckBox>(dialog(), name); }
  QComboBox& protocol() { return Child<QComboBox>(dialog(), "ComboBox1"); }
  std::string SavedFile() { return harness_.files().Get("GPS_parm.txt").value_or("<none>"); }

  DesktopHarness harness_;
};

TEST_F(SetupDialogTest, ControlsCarryTheirCaptionsMasksAndPlaces) {
  harness_.Start();
  EXPECT_EQ(dialog().windowTitle(), "Setup parameters");
  EXPECT_EQ(dialog().height(), 369);
  EXPECT_GE(dialog().width(), 291);

  struct Field {
    const char* name;
    QPoint position;
    int positions;
    bool signs;
  };
  for (const Field& f :
       {Field{"MaskEdit2", {189, 21}, 3, true}, Field{"MaskEdit9", {261, 21}, 3, true},
        Field{"MaskEdit4", {215, 48}, 3, false}, Field{"MaskEdit1", {52, 130}, 2, false},
        Field{"MaskEdit3", {213, 154}, 4, false}, Field{"MaskEdit5", {224, 268}, 2, false},
        Field{"MaskEdit6", {224, 292}, 2, false}, Field{"MaskEdit7", {224, 316}, 2, false},
        Field{"MaskEdit8", {224, 340}, 2, false},
        Field{"ReceiverDelayEdit", {-1, 210}, 3, false}}) {
    ui::MaskedEdit& field = edit(f.name);
    if (f.position.x() >= 0) {
      EXPECT_EQ(field.pos(), f.position) << f.name;
    }
    EXPECT_EQ(field.positions(), f.positions) << f.name;
    // Fill every position with what it may take: digits always, signs only where allowed.
    field.clear();
    field.setCursorPosition(0);
    QTest::keyClicks(&field, QStringLiteral("-+9876"));
    const QString expected = f.signs ? QStringLiteral("-+9876").left(f.positions)
                                     : QStringLiteral("9876").left(f.positions);
    EXPECT_EQ(field.FieldText(), expected) << f.name;
  }

  struct Caption {
    const char* name;
    QPoint position;
    const char* text;
  };
  for (const Caption& c :
       {Caption{"Label4", {18, 5}, "GPS"},
        Caption{"Label3", {16, 23}, "GMT time difference [hours]:"},
        Caption{"Label11", {225, 23}, "[min]:"},
        Caption{"Label6", {16, 49}, "Time transmission interval [sec]:"},
        Caption{"Label12", {18, 76}, "Protocol:"}, Caption{"Label5", {16, 111}, "PC computer"},
        Caption{"Label1", {16, 132}, "Port:"},
        Caption{"Label2", {16, 156}, "PC clock updating interval [sec]:"},
        Caption{"Label7", {16, 268}, "Month of transition to summer time:"},
        Caption{"Label8", {16, 292}, "Hour of transition to summer time:"},
        Caption{"Label9", {16, 316}, "Month of transition to zone time:"},
        Caption{"Label10", {16, 340}, "Hour of transition to zone time:"},
        Caption{"ReceiverDelayLabel", {-1, 212}, "Receiver delay [ms]:"},
        Caption{"ChronySocketLabel", {-1, 132}, "chrony socket:"}}) {
    QLabel& label = Child<QLabel>(dialog(), c.name);
    if (c.position.x() >= 0) {
      EXPECT_EQ(label.pos(), c.position) << c.name;
    }
    EXPECT_EQ(label.y(), c.position.y()) << c.name;
    EXPECT_EQ(label.text(), c.text) << c.name;
  }
  // Each caption ends before the field beside it; every field ends a margin
  // before the window's edge; no two controls overlap.
  for (const ui::DialogField& setting : ui::SetupDialogFields()) {
    if (setting.label.empty()) continue;
    const std::string field(setting.control);
    const std::string label(setting.label);
    const QWidget& input = Child<QWidget>(dialog(), field.c_str());
    EXPECT_LT(Child<QLabel>(dialog(), label.c_str()).geometry().right(), input.x()) << field;
    EXPECT_LE(input.geometry().right() + 1 + ui::kEdgeMargin, dialog().width()) << field;
  }
  const QList<QWidget*> controls =
      Child<QWidget>(dialog(), "ClientArea").findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  for (const QWidget* a : controls) {
    for (const QWidget* b : controls) {
      if (a == b || a->objectName().startsWith("Panel") || b->objectName().startsWith("Panel")) {
        continue;
      }
      EXPECT_FALSE(a->geometry().intersects(b->geometry()))
          << a->objectName().toStdString() << " and " << b->objectName().toStdString();
    }
  }
  EXPECT_TRUE(Child<QLabel>(dialog(), "Label4").font().bold());
  EXPECT_TRUE(Child<QLabel>(dialog(), "Label5").font().bold());

  EXPECT_EQ(check("CheckBox1").text(), "Update only minutes and seconds");
  EXPECT_EQ(check("CheckBox2").text(), "Disable sound");
  EXPECT_EQ(check("CheckBox3").text(), "Use summer time");
  QStringList items;
  for (int i = 0; i < protocol().count(); ++i) items << protocol().itemText(i);
  EXPECT_EQ(items,
            QStringList({"NMEA_0183", "Motorola M12", "Motorola Oncore", "NMEA_0183 9600 Bod"}));
  EXPECT_EQ(protocol().currentText(), "Choose the Protocol");
  EXPECT_EQ(protocol().geometry().topLeft(), QPoint(78, 73));
  EXPECT_EQ(protocol().width(), 171);
}

// Every kind of control shows its setting: masked fields right-aligned.
TEST_F(SetupDialogTest, ActivationShowsTheSettingsRightAligned) {
  core::Settings settings;
  settings.PortNumberText = "5";
  settings.GmtHoursText = "-3";
  settings.ClockUpdateIntervalText = "120";
  settings.SoundDisabled = true;
  settings.Protocol = core::kProtocolMotorolaOncore;
  settings.ReceiverDelayText = "120";
  settings.ChronySocketPath = "/run/chrony/gps.sock";
  harness_.SetParameterFile(settings);
  harness_.Start();
  dialog().FormActivate();
  EXPECT_EQ(edit("MaskEdit1").displayText(), "_5");
  EXPECT_EQ(edit("MaskEdit2").displayText(), "_-3");
  EXPECT_EQ(edit("MaskEdit9").displayText(), "__0");
  EXPECT_EQ(edit("MaskEdit3").displayText(), "_120");
  EXPECT_EQ(edit("MaskEdit7").displayText(), "10");
  EXPECT_EQ(edit("ReceiverDelayEdit").displayText(), "120");
  EXPECT_EQ(Child<QLineEdit>(dialog(), "ChronySocketEdit").text(), "/run/chrony/gps.sock");
  EXPECT_FALSE(check("CheckBox1").isChecked());
  EXPECT_TRUE(check("CheckBox2").isChecked());
  EXPECT_EQ(protocol().currentText(), "Motorola Oncore");
}

TEST_F(SetupDialogTest, ApplySavesTheFourteenLinesAndRestarts) {
  harness_.Start();
  dialog().FormActivate();
  const int links_before = harness_.links_made();
  edit("MaskEdit1").SetFieldText("3");
  edit("MaskEdit2").SetFieldText("-5");
  edit("MaskEdit9").SetFieldText("30");
  edit("MaskEdit4").SetFieldText("2");
  edit("MaskEdit3").SetFieldText("120");
  check("CheckBox1").setChecked(true);
  check("CheckBox3").setChecked(true);
  edit("MaskEdit5").SetFieldText("4");
  edit("MaskEdit6").SetFieldText("2");
  edit("MaskEdit7").SetFieldText("11");
  edit("MaskEdit8").SetFieldText("3");
  protocol().setCurrentIndex(3);

  ASSERT_TRUE(dialog().FormDeactivate().ok());
  ASSERT_TRUE(harness_.UntilIdle());
  EXPECT_EQ(SavedFile(),
            "3\r\n-5\r\n2\r\n120\r\nONLY_MIN_SEC\r\n;SOUND_DISABLED\r\nSUMMER_TIME\r\n4\r\n2\r\n"
            "11\r\n3\r\n30\r\nNMEA_0183 9600 Bod\r\nLOGGING_DISABLED\r\n0\r\n\r\n");
  EXPECT_EQ(harness_.links_made(), links_before + 1) << "a new acquisition thread";
  EXPECT_TRUE(harness_.service().AcquisitionRunning());
  const core::Settings& reloaded = harness_.service().settings();
  EXPECT_EQ(reloaded.PortNumber, 3);
  EXPECT_EQ(reloaded.ClockUpdateInterval, 60) << "120 s at one message every 2 s";
  dialog().FormActivate();
  EXPECT_EQ(edit("MaskEdit3").FieldText(), "120") << "the seconds shown again";
}

TEST_F(SetupDialogTest, DigitTypedInTheSecondPositionIsSavedAlone) {
  harness_.Start();
  dialog().FormActivate();
  ui::MaskedEdit& port = edit("MaskEdit1");
  port.clear();
  port.setCursorPosition(1);
  QTest::keyClick(&port, Qt::Key_5);
  EXPECT_EQ(port.displayText(), "_5");
  ASSERT_TRUE(dialog().FormDeactivate().ok());
  ASSERT_TRUE(harness_.UntilIdle());
  EXPECT_EQ(SavedFile().substr(0, 3), "5\r\n");
  EXPECT_EQ(harness_.service().settings().PortNumber, 5);
}

// Entering a field by Tab or by a click selects what it shows, so a digit
// typed replaces the value instead of landing in a blank before it, or
// being refused behind the last position.
TEST_F(SetupDialogTest, EnteringAFieldSelectsItsTextSoTypingReplacesIt) {
  harness_.Start();
  dialog().show();
  dialog().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog(), 2000));
  struct Case {
    const char* legend;
    const char* field;
    bool by_click;
    const char* typed;
    const char* saved;
  };
  for (const Case& c : {Case{"interval by Tab", "MaskEdit4", false, "5", "5"},
                        Case{"interval by click", "MaskEdit4", true, "5", "5"},
                        Case{"full month field by Tab", "MaskEdit7", false, "4", "4"},
                        Case{"full month field by click", "MaskEdit7", true, "12", "12"}}) {
    SCOPED_TRACE(c.legend);
    dialog().FormActivate();
    Child<QCheckBox>(dialog(), "CheckBox1").setFocus(Qt::OtherFocusReason);
    ui::MaskedEdit& field = edit(c.field);
    if (c.by_click) {
      // At the end of the text, where a cursor alone would refuse every key.
      QTest::mouseClick(&field, Qt::LeftButton, {}, QPoint(field.width() - 4, field.height() / 2));
    } else {
      field.setFocus(Qt::TabFocusReason);
    }
    ASSERT_TRUE(field.hasFocus());
    QTest::keyClicks(&field, QString::fromLatin1(c.typed));
    EXPECT_EQ(field.FieldText(), QString::fromLatin1(c.saved));
  }
}

TEST_F(SetupDialogTest, ReceiverDelayAndChronySocketAreApplied) {
  harness_.Start();
  dialog().FormActivate();
  QLineEdit& socket = Child<QLineEdit>(dialog(), "ChronySocketEdit");
  edit("ReceiverDelayEdit").SetFieldText(QStringLiteral("45"));
  socket.setText(QStringLiteral("/tmp/r\u00e9f.sock"));
  ASSERT_TRUE(dialog().FormDeactivate().ok());
  ASSERT_TRUE(harness_.UntilIdle());
  EXPECT_NE(SavedFile().find("LOGGING_DISABLED\r\n45\r\n/tmp/r\xc3\xa9"
                             "f.sock\r\n"),
            std::string::npos)
      << SavedFile();
  EXPECT_EQ(harness_.service().settings().ReceiverDelayMs, 45);

  socket.clear();
  ASSERT_TRUE(dialog().FormDeactivate().ok());
  ASSERT_TRUE(harness_.UntilIdle());
  EXPECT_TRUE(harness_.service().settings().ChronySocketPath.empty());
  dialog().FormActivate();
  EXPECT_EQ(socket.text(), "");
}

TEST_F(SetupDialogTest, PortButtonListsThePortsThatExistAndWritesTheChosenNumber) {
  harness_.Start();
  dialog().FormActivate();
  auto& button = Child<QToolButton>(dialog(), "PortList");
  ASSERT_NE(button.menu(), nullptr);
  QMenu& menu = *button.menu();
  const QRect field = edit("MaskEdit1").geometry();
  EXPECT_EQ(button.y(), field.y());
  EXPECT_GT(button.x(), field.right());
  EXPECT_LT(button.geometry().right(), Child<QLineEdit>(dialog(), "ChronySocketEdit").x());

  // The list is read each time it opens.
  harness_.ports().Set({{4, "/dev/ttyS3"}, {std::nullopt, "/dev/ttyUSB0"}});
  emit menu.aboutToShow();
  harness_.ports().Set({{2, "/dev/pts/3"}, {12, "/dev/ttyS11"}, {std::nullopt, "/dev/ttyUSB0"}});
  emit menu.aboutToShow();
  const QList<QAction*> items = menu.actions();
  ASSERT_EQ(items.size(), 3);
  EXPECT_EQ(items[1]->text(), "COM12   /dev/ttyS11");
  EXPECT_TRUE(items[1]->isEnabled());
  EXPECT_FALSE(items[2]->isEnabled()) << "a device no COM number reaches only informs";
  items[1]->trigger();
  EXPECT_EQ(edit("MaskEdit1").displayText(), "12");
  items[0]->trigger();
  EXPECT_EQ(edit("MaskEdit1").displayText(), "_2");
}

TEST_F(SetupDialogTest, TabMovesThroughTheInputsTopToBottom) {
  harness_.Start();
  dialog().show();
  dialog().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog(), 2000));
  edit("MaskEdit2").setFocus(Qt::TabFocusReason);
  QStringList visited;
  for (int step = 0; step < 16; ++step) {
    QWidget* focused = QApplication::focusWidget();
    ASSERT_NE(focused, nullptr);
    // The protocol list's text part has the focus for the list.
    if (qobject_cast<QComboBox*>(focused->parentWidget()) != nullptr) {
      focused = focused->parentWidget();
    }
    visited << focused->objectName();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  EXPECT_EQ(visited.join(' ').toStdString(),
            "MaskEdit2 MaskEdit9 MaskEdit4 ComboBox1 MaskEdit1 ChronySocketEdit MaskEdit3 "
            "CheckBox1 CheckBox2 ReceiverDelayEdit CheckBox3 MaskEdit5 MaskEdit6 MaskEdit7 "
            "MaskEdit8 MaskEdit2");
}

TEST_F(SetupDialogTest, ProtocolTextThatIsNoItemSavesTheFirstProtocol) {
  core::Settings settings;
  settings.Protocol = core::kProtocolMotorolaM12;
  harness_.SetParameterFile(settings);
  harness_.Start();
  dialog().FormActivate();
  protocol().setEditText(QStringLiteral("Garmin"));
  EXPECT_EQ(dialog().ProtocolIndex(), -1);
  ASSERT_TRUE(dialog().FormDeactivate().ok());
  ASSERT_TRUE(harness_.UntilIdle());
  EXPECT_NE(SavedFile().find("\r\nNMEA_0183\r\n"), std::string::npos);
  EXPECT_EQ(harness_.service().settings().Protocol, 0);
}

// Focus moves between real windows (the offscreen platform activates them).
TEST_F(SetupDialogTest, FocusBetweenTheProgramsWindowsShowsAndApplies) {
  harness_.Start();
  ui::StatusWindow& status = harness_.program().statusWindow();
  status.show();
  status.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&status, 2000));

  const int writes_before = harness_.files().WriteCount();
  dialog().show();
  dialog().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog(), 2000));
  EXPECT_EQ(edit("MaskEdit1").displayText(), "_2") << "shown on activation";
  edit("MaskEdit1").SetFieldText("4");

  status.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&status, 2000));
  ASSERT_TRUE(PumpEventsUntil([&] { return harness_.files().WriteCount() > writes_before; },
                              std::chrono::seconds(5)));
  EXPECT_EQ(SavedFile().substr(0, 3), "4\r\n");
  ASSERT_TRUE(harness_.UntilIdle());

  // Back in the dialog it shows the applied values; closing it applies again.
  edit("MaskEdit1").SetFieldText("9");
  dialog().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog(), 2000));
  EXPECT_EQ(edit("MaskEdit1").FieldText(), "4");
  edit("MaskEdit1").SetFieldText("6");
  const int writes_open = harness_.files().WriteCount();
  dialog().close();
  ASSERT_TRUE(PumpEventsUntil([&] { return harness_.files().WriteCount() > writes_open; },
                              std::chrono::seconds(5)));
  EXPECT_EQ(SavedFile().substr(0, 3), "6\r\n");
  QTest::qWait(50);
  EXPECT_EQ(harness_.files().WriteCount(), writes_open + 1) << "applied once";
}

TEST_F(SetupDialogTest, AnotherApplicationTakingTheFocusDoesNothing) {
  harness_.Start();
  dialog().show();
  dialog().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog(), 2000));
  edit("MaskEdit1").SetFieldText("8");
  const int writes_before = harness_.files().WriteCount();

  // The focus leaves the program (no window of it has the focus), then
  // comes back to the dialog: the notifications the platform gives then.
  emit qApp->focusWindowChanged(nullptr);
  emit qApp->focusWindowChanged(dialog().windowHandle());
  QTest::qWait(20);
  EXPECT_EQ(harness_.files().WriteCount(), writes_before);
  EXPECT_EQ(edit("MaskEdit1").FieldText(), "8") << "not refilled";
}

}  // namespace
}  // namespace orvik::testing
