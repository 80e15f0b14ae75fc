// MessageBoxReporter: shows the operator's error messages (a failed start-up,
// a failed save, a receiver command that cannot be sent) in a message box that
// does not block: the call returns at once and no nested event loop runs, so
// a restart from a timer can never stack modal loops. One box serves every
// message; a message that arrives while it is open replaces the text and
// raises the box again. A message whose cause is gone (a later start-up
// completed) is withdrawn: the box closes by itself. Main thread only.
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>
#include <memory>

namespace orvik::ui {

// How the windows hand a message to the operator.
using OperatorReporter = std::function<void(const QString& message)>;
// How they take back a message whose cause is gone: it disappears if it is
// still the one shown.
using OperatorWithdrawal = std::function<void(const QString& message)>;

class MessageBoxReporter {
 public:
  MessageBoxReporter();
  ~MessageBoxReporter();

  // Shows `message` exactly as given; returns at once.
  void Report(const QString& message);
  // Closes the box if it shows `message`; another message stays.
  void Withdraw(const QString& message);

 private:
  std::unique_ptr<QMessageBox> box_;  // made at the first message, then reused
};

}  // namespace orvik::ui
