#include "ui/qt/message_box_reporter.h"

namespace orvik::ui {

MessageBoxReporter::MessageBoxReporter() = default;
MessageBoxReporter::~MessageBoxReporter() = default;

void MessageBoxReporter::Report(const QString& message) {
  if (!box_) {
    box_ = std::make_unique<QMessageBox>(QMessageBox::Critical, QStringLiteral("Orvik - GPS Time"),
                                         QString(), QMessageBox::Ok);
    box_->setObjectName(QStringLiteral("ErrorBox"));
    // Modeless: the windows and the notification-area menu stay usable.
    box_->setModal(false);
    box_->setWindowModality(Qt::NonModal);
  }
  box_->setText(message);
  box_->show();
  box_->raise();
}

void MessageBoxReporter::Withdraw(const QString& message) {
  if (box_ && box_->isVisible() && box_->text() == message) box_->hide();
}

}  // namespace orvik::ui
