#include "ui/setup_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMessageBox>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWindow>
#include <string>
#include <tuple>
#include <utility>

#include "ui/form_helpers.h"
#include "ui/screen_fit.h"

namespace orvik::ui {

namespace {

constexpr int kClientWidth = 291;
constexpr int kClientHeight = 369;
constexpr int kEditHeight = 21;
constexpr int kCaptionGap = 6;  // between a caption and its field

std::string FromField(const QString& text) { return text.toLatin1().toStdString(); }

QString ToField(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// The settings the dialog edits; the rest of Settings is the service's.
constexpr auto kEditedFields = std::make_tuple(
    &core::Settings::PortNumberText, &core::Settings::GmtHoursText, &core::Settings::GmtMinutesText,
    &core::Settings::TransmitIntervalText, &core::Settings::ClockUpdateIntervalText,
    &core::Settings::SummerMonthText, &core::Settings::SummerHourText,
    &core::Settings::ZoneMonthText, &core::Settings::ZoneHourText,
    &core::Settings::ReceiverDelayText, &core::Settings::ChronySocketPath,
    &core::Settings::OnlyMinSec, &core::Settings::SoundDisabled, &core::Settings::SummerTime,
    &core::Settings::Protocol);

bool SameEdits(const core::Settings& a, const core::Settings& b) {
  return std::apply([&](auto... field) { return ((a.*field == b.*field) && ...); }, kEditedFields);
}

// `shown` with every edited setting that the operator changed from
// `applied` to `typed` taken from `typed`.
core::Settings KeepTyped(core::Settings shown, const core::Settings& applied,
                         const core::Settings& typed) {
  std::apply(
      [&](auto... field) {
        ((typed.*field != applied.*field ? void(shown.*field = typed.*field) : void()), ...);
      },
      kEditedFields);
  return shown;
}

// Windows whose focus means nothing to the dialog: popup menus, tooltips and
// the error box (it reports; the operator has not moved to another window).
bool IsPassingWindow(const QWindow* window) {
  if (window->type() == Qt::Popup || window->type() == Qt::ToolTip) return true;
  for (const QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->windowHandle() == window) return qobject_cast<const QMessageBox*>(widget) != nullptr;
  }
  return false;
}

}  // namespace

SetupDialog::SetupDialog(service::GpsTimeService& service, SetupDialogHooks hooks,
                         QWidget* parent)
    : QWidget(parent, CloseBoxOnlyFlags()), service_(service), hooks_(std::move(hooks)) {
  setObjectName(QStringLiteral("TForm1"));
  setWindowTitle(QStringLiteral("Setup parameters"));
  setFont(WindowFont());
  BuildControls();

  client_.setObjectName(QStringLiteral("ClientArea"));
  scroller_.setObjectName(QStringLiteral("ClientScroller"));
  scroller_.setFrameShape(QFrame::NoFrame);
  scroller_.setFocusPolicy(Qt::NoFocus);  // Tab goes from control to control only
  scroller_.setWidget(&client_);
  auto* layout = new QVBoxLayout(this);  // owned by the dialog
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(&scroller_);
  setFixedSize(client_.size());

  connect(qApp, &QGuiApplication::focusWindowChanged, this, &SetupDialog::onFocusWindowChanged);
  connect(&service_, &service::GpsTimeService::startupFailed, this, [this] {
    if (applying_) startup_failed_during_apply_ = true;
  });
}

SetupDialog::~SetupDialog() = default;

void SetupDialog::BuildControls() {
  const QFont normal = font();
  const QFont bold = PixelFont(normal, 11, true);
  struct LabelPlace {
    int x, y;
    const char* text;
    bool bold;
  };
  // Label1 .. Label12, in name order.
  static constexpr LabelPlace kLabels[12] = {
      {16, 132, "Port:", false},
      {16, 156, "PC clock updating interval [sec]:", false},
      {16, 23, "GMT time difference [hours]:", false},
      {18, 5, "GPS", true},
      {16, 111, "PC computer", true},
      {16, 49, "Time transmission interval [sec]:", false},
      {16, 268, "Month of transition to summer time:", false},
      {16, 292, "Hour of transition to summer time:", false},
      {16, 316, "Month of transition to zone time:", false},
      {16, 340, "Hour of transition to zone time:", false},
      {225, 23, "[min]:", false},
      {18, 76, "Protocol:", false},
  };
  for (std::size_t i = 0; i < labels_.size(); ++i) {
    const LabelPlace& place = kLabels[i];
    const std::string name = "Label" + std::to_string(i + 1);
    PlaceLabel(labels_[i], client_, name.c_str(), place.x, place.y, QString::fromLatin1(place.text),
               place.bold ? bold : normal);
  }

  const auto make_edit = [this](const char* name, int positions, MaskedEdit::Accepts accepts, int x,
                                int y) {
    auto edit = std::make_unique<MaskedEdit>(positions, accepts, name, client_);
    edit->setGeometry(x, y, 7 * positions + 9, kEditHeight);
    return edit;
  };
  using Accepts = MaskedEdit::Accepts;
  gmt_hours_ = make_edit("MaskEdit2", 3, Accepts::kDigitsAndSigns, 189, 21);
  gmt_minutes_ = make_edit("MaskEdit9", 3, Accepts::kDigitsAndSigns, 261, 21);
  transmit_interval_ = make_edit("MaskEdit4", 3, Accepts::kDigits, 215, 48);
  port_ = make_edit("MaskEdit1", 2, Accepts::kDigits, 52, 130);
  clock_interval_ = make_edit("MaskEdit3", 4, Accepts::kDigits, 213, 154);
  summer_month_ = make_edit("MaskEdit5", 2, Accepts::kDigits, 224, 268);
  summer_hour_ = make_edit("MaskEdit6", 2, Accepts::kDigits, 224, 292);
  zone_month_ = make_edit("MaskEdit7", 2, Accepts::kDigits, 224, 316);
  zone_hour_ = make_edit("MaskEdit8", 2, Accepts::kDigits, 224, 340);
  receiver_delay_ = make_edit("ReceiverDelayEdit", 3, Accepts::kDigits, 0, 210);

  protocol_.setParent(&client_);
  protocol_.setObjectName(QStringLiteral("ComboBox1"));
  protocol_.setEditable(true);
  protocol_.setInsertPolicy(QComboBox::NoInsert);
  protocol_.addItems({QStringLiteral("NMEA_0183"), QStringLiteral("Motorola M12"),
                      QStringLiteral("Motorola Oncore"), QStringLiteral("NMEA_0183 9600 Bod")});
  protocol_.setCurrentIndex(-1);
  protocol_.setEditText(QStringLiteral("Choose the Protocol"));
  protocol_.setGeometry(78, 73, 171, kEditHeight);

  const auto place_check = [this](QCheckBox& box, const char* name, const char* text, int y) {
    box.setParent(&client_);
    box.setObjectName(QString::fromLatin1(name));
    box.setText(QString::fromLatin1(text));
    box.move(16, y);
    box.adjustSize();
  };
  place_check(only_min_sec_, "CheckBox1", "Update only minutes and seconds", 180);
  place_check(sound_disabled_, "CheckBox2", "Disable sound", 212);
  place_check(summer_time_, "CheckBox3", "Use summer time", 244);

  // The receiver delay on the row of "Disable sound", its field under the
  // transmission interval's where the check box leaves room for the caption.
  PlaceLabel(receiver_delay_label_, client_, "ReceiverDelayLabel", 0, 212,
             QStringLiteral("Receiver delay [ms]:"), normal);
  const int delay_left =
      std::max(transmit_interval_->x(), sound_disabled_.geometry().right() + 1 + kCaptionGap +
                                            receiver_delay_label_.width() + kCaptionGap);
  receiver_delay_->move(delay_left, 210);
  receiver_delay_label_.move(delay_left - kCaptionGap - receiver_delay_label_.width(), 212);
  // The socket path on the port's row, from the caption to the right margin.
  PlaceLabel(chrony_socket_label_, client_, "ChronySocketLabel",
             port_->geometry().right() + 1 + 2 * kCaptionGap, 132, QStringLiteral("chrony socket:"),
             normal);
  chrony_socket_.setParent(&client_);
  chrony_socket_.setObjectName(QStringLiteral("ChronySocketEdit"));

  // Wide enough that no control touches the right edge.
  int width = kClientWidth;
  for (const QWidget* child : client_.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (child == &chrony_socket_) continue;  // placed below, up to the margin
    width = std::max(width, child->geometry().right() + 1 + kEdgeMargin);
  }
  const int socket_left = chrony_socket_label_.geometry().right() + 1 + kCaptionGap;
  chrony_socket_.setGeometry(socket_left, 130, width - kEdgeMargin - socket_left, kEditHeight);

  static constexpr int kPanelTops[3] = {104, 203, 236};
  for (std::size_t i = 0; i < panels_.size(); ++i) {
    QFrame& panel = panels_[i];
    panel.setParent(&client_);
    panel.setObjectName(QStringLiteral("Panel%1").arg(i + 1));
    panel.setFrameShape(QFrame::HLine);
    panel.setFrameShadow(QFrame::Sunken);
    panel.setGeometry(0, kPanelTops[i], width, 2);
  }
  client_.setFixedSize(width, kClientHeight);
  SetTabOrder();
}

void SetupDialog::SetTabOrder() {
  // Top to bottom, and left to right within a row.
  QWidget* order[] = {gmt_hours_.get(),
                      gmt_minutes_.get(),
                      transmit_interval_.get(),
                      &protocol_,
                      port_.get(),
                      &chrony_socket_,
                      clock_interval_.get(),
                      &only_min_sec_,
                      &sound_disabled_,
                      receiver_delay_.get(),
                      &summer_time_,
                      summer_month_.get(),
                      summer_hour_.get(),
                      zone_month_.get(),
                      zone_hour_.get()};
  for (std::size_t i = 1; i < std::size(order); ++i) {
    QWidget::setTabOrder(order[i - 1], order[i]);
  }
}

void SetupDialog::FitInto(const QSize& room) {
  QSize size = client_.size();
  // A scroll bar in one direction takes room from the other.
  if (size.height() > room.height()) {
    size.rwidth() += scroller_.verticalScrollBar()->sizeHint().width();
  }
  if (size.width() > room.width()) {
    size.rheight() += scroller_.horizontalScrollBar()->sizeHint().height();
  }
  setFixedSize(size.boundedTo(room));
}

void SetupDialog::showEvent(QShowEvent* event) {
  FitInto(RoomOnScreen(*this));
  KeepOnScreen(*this);
  QWidget::showEvent(event);
}

void SetupDialog::FormActivate() { ShowSettings(unsaved_ ? *unsaved_ : service_.settings()); }

void SetupDialog::ShowSettings(const core::Settings& settings) {
  port_->SetFieldText(ToField(settings.PortNumberText));
  gmt_hours_->SetFieldText(ToField(settings.GmtHoursText));
  gmt_minutes_->SetFieldText(ToField(settings.GmtMinutesText));
  transmit_interval_->SetFieldText(ToField(settings.TransmitIntervalText));
  clock_interval_->SetFieldText(ToField(settings.ClockUpdateIntervalText));
  only_min_sec_.setChecked(settings.OnlyMinSec);
  sound_disabled_.setChecked(settings.SoundDisabled);
  summer_time_.setChecked(settings.SummerTime);
  const bool listed = settings.Protocol >= 0 && settings.Protocol < protocol_.count();
  protocol_.setCurrentIndex(listed ? settings.Protocol : -1);
  summer_month_->SetFieldText(ToField(settings.SummerMonthText));
  summer_hour_->SetFieldText(ToField(settings.SummerHourText));
  zone_month_->SetFieldText(ToField(settings.ZoneMonthText));
  zone_hour_->SetFieldText(ToField(settings.ZoneHourText));
  receiver_delay_->SetFieldText(ToField(settings.ReceiverDelayText));
  // A path is bytes to the system; shown and kept as UTF-8.
  const QString path = QString::fromStdString(settings.ChronySocketPath);
  if (chrony_socket_.text() != path) chrony_socket_.setText(path);
}

int SetupDialog::ProtocolIndex() const {
  const QString text = protocol_.currentText();
  const int index = protocol_.currentIndex();
  if (index >= 0 && protocol_.itemText(index) == text) return index;
  return protocol_.findText(text, Qt::MatchExactly);
}

core::Settings SetupDialog::EditedSettings() const {
  core::Settings edited = service_.settings();
  edited.PortNumberText = FromField(port_->FieldText());
  edited.GmtHoursText = FromField(gmt_hours_->FieldText());
  edited.GmtMinutesText = FromField(gmt_minutes_->FieldText());
  edited.TransmitIntervalText = FromField(transmit_interval_->FieldText());
  edited.ClockUpdateIntervalText = FromField(clock_interval_->FieldText());
  edited.OnlyMinSec = only_min_sec_.isChecked();
  edited.SoundDisabled = sound_disabled_.isChecked();
  edited.SummerTime = summer_time_.isChecked();
  edited.SummerMonthText = FromField(summer_month_->FieldText());
  edited.SummerHourText = FromField(summer_hour_->FieldText());
  edited.ZoneMonthText = FromField(zone_month_->FieldText());
  edited.ZoneHourText = FromField(zone_hour_->FieldText());
  edited.Protocol = ProtocolIndex();
  edited.ReceiverDelayText = FromField(receiver_delay_->FieldText());
  edited.ChronySocketPath = chrony_socket_.text().toStdString();
  return edited;
}

core::Status SetupDialog::FormDeactivate() { return Apply(EditedSettings()); }

core::Status SetupDialog::Apply(const core::Settings& edited) {
  const bool was_applying = applying_;
  applying_ = true;
  startup_failed_during_apply_ = false;
  const core::Status applied = service_.ApplySettings(edited);
  applying_ = was_applying;
  if (!applied.ok() && !startup_failed_during_apply_) {
    // The save failed and nothing was restarted: keep the edits for the
    // next showing and tell the operator.
    unsaved_ = edited;
    reported_save_error_ = QString::fromStdString(applied.message());
    if (hooks_.report) hooks_.report(reported_save_error_);
  } else {
    unsaved_.reset();
    // Saved: a failed save told earlier is no longer true.
    if (!reported_save_error_.isEmpty() && hooks_.withdraw) hooks_.withdraw(reported_save_error_);
    reported_save_error_.clear();
  }
  if (hooks_.after_apply) hooks_.after_apply();
  return applied;
}

bool SetupDialog::IsThisWindow(const QWindow* window) const {
  return window != nullptr && window == windowHandle();
}

void SetupDialog::onFocusWindowChanged(QWindow* focused) {
  // Null: another application has the focus; that neither shows nor applies.
  if (focused == nullptr || IsPassingWindow(focused)) return;
  const QWindow* previous = last_focused_;
  last_focused_ = focused;
  if (applying_) return;  // settled when the apply ends
  const bool here = IsThisWindow(focused);
  const bool was_here = IsThisWindow(previous);
  if (here && !was_here) {
    FormActivate();
  } else if (!here && was_here) {
    // Outside the focus change: the restart dispatches events while it waits.
    applying_ = true;
    QMetaObject::invokeMethod(this, &SetupDialog::ApplyQueued, Qt::QueuedConnection);
  }
}

void SetupDialog::ApplyQueued() {
  const core::Settings applied = EditedSettings();
  (void)Apply(applied);
  applying_ = false;
  // The restart dispatched events: the operator may have come back to the
  // dialog and typed meanwhile.
  const core::Settings typed = EditedSettings();
  if (IsThisWindow(last_focused_)) {
    // Back in the dialog: show the result, but keep what was typed.
    ShowSettings(KeepTyped(unsaved_ ? *unsaved_ : service_.settings(), applied, typed));
  } else if (!SameEdits(typed, applied)) {
    // Typed in the dialog and left it again before the restart ended: the
    // dialog was left with new edits, so they are applied in turn.
    applying_ = true;
    QMetaObject::invokeMethod(this, &SetupDialog::ApplyQueued, Qt::QueuedConnection);
  }
}

void SetupDialog::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);  // hides; the dialog lives on
  if (event->isAccepted() && !applying_ && IsThisWindow(last_focused_)) {
    // Closing the focused dialog hands the focus back; it applies now, and
    // the focus change that follows finds it no longer focused.
    last_focused_ = nullptr;
    applying_ = true;
    QMetaObject::invokeMethod(this, &SetupDialog::ApplyQueued, Qt::QueuedConnection);
  }
}

}  // namespace orvik::ui
