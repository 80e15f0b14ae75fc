// The operator's message box: shown without blocking, one box for all,
// closed when the message shown is taken back.
#include "ui/qt/message_box_reporter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>

namespace orvik::testing {
namespace {

QList<QMessageBox*> VisibleBoxes() {
  QList<QMessageBox*> boxes;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* box = qobject_cast<QMessageBox*>(widget); box != nullptr && box->isVisible()) {
      boxes << box;
    }
  }
  return boxes;
}

TEST(MessageBoxReporterTest, ShowsTheTextAtOnceAndReusesOneModelessBox) {
  ui::MessageBoxReporter reporter;
  reporter.Report(QStringLiteral("'' is not a valid integer value"));  // returns: no event loop
  QList<QMessageBox*> boxes = VisibleBoxes();
  ASSERT_EQ(boxes.size(), 1);
  EXPECT_EQ(boxes[0]->text(), "'' is not a valid integer value");
  EXPECT_EQ(boxes[0]->windowModality(), Qt::NonModal);

  reporter.Report(QStringLiteral("Division by zero"));
  boxes = VisibleBoxes();
  ASSERT_EQ(boxes.size(), 1) << "no pile of boxes from repeated restarts";
  EXPECT_EQ(boxes[0]->text(), "Division by zero");

  boxes[0]->accept();  // the operator's OK
  EXPECT_TRUE(VisibleBoxes().isEmpty());
  reporter.Report(QStringLiteral("Invalid argument to date encode"));
  ASSERT_EQ(VisibleBoxes().size(), 1);

  reporter.Withdraw(QStringLiteral("Division by zero"));  // not the one shown
  ASSERT_EQ(VisibleBoxes().size(), 1);
  reporter.Withdraw(QStringLiteral("Invalid argument to date encode"));
  EXPECT_TRUE(VisibleBoxes().isEmpty()) << "its cause is gone: the box closes";
}

}  // namespace
}  // namespace orvik::testing
