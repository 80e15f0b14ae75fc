#include "ui/qt/setup_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "ui/logic/port_choices.h"
#include "ui/logic/setup_layout.h"
#include "ui/qt/form_helpers.h"
#include "ui/qt/masked_edit.h"
#include "ui/qt/screen_fit.h"

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

QPoint PlaceOf(std::string_view name) {
  const SetupPlace p = SetupPlaceOf(name);
  return QPoint(p.x, p.y);
}

QString Latin1(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// Windows whose focus means nothing to the dialog: popup menus, tooltips and
// the error box (it reports; the operator has not moved to another window).
bool IsPassingWindow(const QWindow* window) {
  if (window->type() == Qt::Popup || window->type() == Qt::ToolTip) return true;
  for (const QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->windowHandle() == window)
      return qobject_cast<const QMessageBox*>(widget) != nullptr;
  }
  return false;
}

}  // namespace

SetupDialog::SetupDialog(const platform::ComPortList& ports, SetupFormHooks hooks, QWidget* parent)
    : QWidget(parent, CloseBoxOnlyFlags()), ports_(ports), form_(*this, std::move(hooks)) {
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
}

SetupDialog::~SetupDialog() = default;

QWidget* SetupDialog::MakeControl(const DialogField& dialog) {
  const core::SettingField& field = *dialog.setting;
  const QPoint place = PlaceOf(dialog.control);
  switch (field.kind) {
    case core::SettingKind::kNumber: {
      const auto accepts = dialog.mask == FieldMask::kDigits ? MaskedEdit::Accepts::kDigits
                                                             : MaskedEdit::Accepts::kDigitsAndSigns;
      auto* edit =
          new MaskedEdit(dialog.positions, accepts, std::string(dialog.control).c_str(), client_);
      edit->setGeometry(place.x(), place.y(), 7 * dialog.positions + 9, kEditHeight);
      return edit;
    }
    case core::SettingKind::kSwitch: {
      auto* box = new QCheckBox(Latin1(dialog.caption), &client_);
      box->move(place);
      box->adjustSize();
      return box;
    }
    case core::SettingKind::kProtocol: {
      protocol_ = new QComboBox(&client_);
      protocol_->setEditable(true);
      protocol_->setInsertPolicy(QComboBox::NoInsert);
      for (const std::string_view item : kProtocolItems) protocol_->addItem(Latin1(item));
      protocol_->setCurrentIndex(-1);
      protocol_->setEditText(Latin1(kProtocolPrompt));
      protocol_->setGeometry(place.x(), place.y(), 171, kEditHeight);
      return protocol_;
    }
    case core::SettingKind::kPath:
    case core::SettingKind::kLogging:
      break;
  }
  return new QLineEdit(&client_);  // the socket path, placed with the window's width
}

void SetupDialog::BuildControls() {
  const QFont normal = font();
  const QFont bold = PixelFont(normal, 11, true);
  PlaceLabel(gps_heading_, client_, "Label4", 18, 5, QStringLiteral("GPS"), bold);
  PlaceLabel(pc_heading_, client_, "Label5", 16, 111, QStringLiteral("PC computer"), bold);
  QLabel* delay_label = nullptr;
  QLabel* socket_label = nullptr;
  for (const DialogField& dialog : SetupDialogFields()) {
    const core::SettingField& field = *dialog.setting;
    QWidget* widget = MakeControl(dialog);
    widget->setObjectName(Latin1(dialog.control));
    controls_.push_back(Control{&field, widget});
    if (dialog.label.empty()) continue;
    auto* label = new QLabel(&client_);
    const QPoint place = PlaceOf(dialog.label);
    PlaceLabel(*label, client_, std::string(dialog.label).c_str(), place.x(), place.y(),
               Latin1(dialog.caption), normal);
    if (field.text == &core::Settings::ReceiverDelayText) delay_label = label;
    if (field.text == &core::Settings::ChronySocketPath) socket_label = label;
  }

  // The receiver delay on the row of "Disable sound", its field under the
  // transmission interval's where the check box leaves room for the caption.
  QWidget& delay = ControlNamed("ReceiverDelayEdit");
  const int delay_left =
      std::max(ControlNamed("MaskEdit4").x(), ControlNamed("CheckBox2").geometry().right() + 1 +
                                                  kCaptionGap + delay_label->width() + kCaptionGap);
  delay.move(delay_left, delay.y());
  delay_label->move(delay_left - kCaptionGap - delay_label->width(), delay_label->y());
  // The port button beside the port number, then the socket path from its
  // caption to the right margin.
  BuildPortList(ControlNamed("MaskEdit1"));
  socket_label->move(port_list_->geometry().right() + 1 + 2 * kCaptionGap, socket_label->y());
  QWidget& socket = ControlNamed("ChronySocketEdit");

  // Wide enough that no control touches the right edge.
  int width = kClientWidth;
  for (const QWidget* child : client_.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (child == &socket) continue;  // placed below, up to the margin
    width = std::max(width, child->geometry().right() + 1 + kEdgeMargin);
  }
  const int socket_left = socket_label->geometry().right() + 1 + kCaptionGap;
  socket.setGeometry(socket_left, PlaceOf("ChronySocketEdit").y(),
                     width - kEdgeMargin - socket_left, kEditHeight);

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

void SetupDialog::BuildPortList(QWidget& port_field) {
  port_list_ = new QToolButton(&client_);
  port_list_->setObjectName(QStringLiteral("PortList"));
  port_list_->setArrowType(Qt::DownArrow);
  port_list_->setToolTip(QStringLiteral("The serial ports of this computer"));
  // Choosing from the list keeps the focus where it was, like a click on
  // the field's own arrow would.
  port_list_->setFocusPolicy(Qt::NoFocus);
  port_list_->setPopupMode(QToolButton::InstantPopup);
  port_list_->setMenu(&port_menu_);
  port_list_->setGeometry(port_field.geometry().right() + 2, port_field.y(), kEditHeight - 4,
                          kEditHeight);
  connect(&port_menu_, &QMenu::aboutToShow, this, &SetupDialog::FillPortMenu);
}

void SetupDialog::FillPortMenu() {
  port_menu_.clear();
  auto& field = static_cast<MaskedEdit&>(ControlNamed("MaskEdit1"));
  for (const PortChoice& choice : PortChoices(ports_.ExistingPorts())) {
    QAction* item = port_menu_.addAction(QString::fromStdString(choice.text));
    if (!choice.number) {
      item->setEnabled(false);
      continue;
    }
    const QString number = QString::number(*choice.number);
    connect(item, &QAction::triggered, this, [&field, number] { field.SetFieldText(number); });
  }
}

QWidget& SetupDialog::ControlNamed(const char* name) const {
  for (const Control& control : controls_) {
    if (control.widget->objectName() == QLatin1String(name)) return *control.widget;
  }
  throw std::logic_error(std::string("no control ") + name);  // the list and the places disagree
}

void SetupDialog::SetTabOrder() {
  // Top to bottom, and left to right within a row.
  static constexpr const char* kOrder[] = {
      "MaskEdit2",        "MaskEdit9", "MaskEdit4", "ComboBox1", "MaskEdit1",
      "ChronySocketEdit", "MaskEdit3", "CheckBox1", "CheckBox2", "ReceiverDelayEdit",
      "CheckBox3",        "MaskEdit5", "MaskEdit6", "MaskEdit7", "MaskEdit8"};
  for (std::size_t i = 1; i < std::size(kOrder); ++i) {
    QWidget::setTabOrder(&ControlNamed(kOrder[i - 1]), &ControlNamed(kOrder[i]));
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

void SetupDialog::Show(const core::Settings& settings) {
  for (const Control& control : controls_) {
    const core::SettingField& field = *control.field;
    switch (field.kind) {
      case core::SettingKind::kNumber:
        static_cast<MaskedEdit*>(control.widget)->SetFieldText(ToField(settings.*field.text));
        break;
      case core::SettingKind::kSwitch:
        static_cast<QCheckBox*>(control.widget)->setChecked(settings.*field.flag);
        break;
      case core::SettingKind::kProtocol: {
        const std::int32_t protocol = settings.*field.int32_value;
        const bool listed = protocol >= 0 && protocol < protocol_->count();
        protocol_->setCurrentIndex(listed ? protocol : -1);
        break;
      }
      case core::SettingKind::kPath: {
        // A path is bytes to the system; shown and kept as UTF-8.
        auto* edit = static_cast<QLineEdit*>(control.widget);
        const QString path = QString::fromStdString(settings.*field.text);
        if (edit->text() != path) edit->setText(path);
        break;
      }
      case core::SettingKind::kLogging:
        break;
    }
  }
}

int SetupDialog::ProtocolIndex() const {
  return ProtocolItemIndex(protocol_->currentText().toStdString());
}

core::Settings SetupDialog::Edits(const core::Settings& base) const {
  core::Settings edited = base;
  for (const Control& control : controls_) {
    const core::SettingField& field = *control.field;
    switch (field.kind) {
      case core::SettingKind::kNumber:
        edited.*field.text = FromField(static_cast<const MaskedEdit*>(control.widget)->FieldText());
        break;
      case core::SettingKind::kSwitch:
        edited.*field.flag = static_cast<const QCheckBox*>(control.widget)->isChecked();
        break;
      case core::SettingKind::kProtocol:
        edited.*field.int32_value = ProtocolIndex();
        break;
      case core::SettingKind::kPath:
        edited.*field.text = static_cast<const QLineEdit*>(control.widget)->text().toStdString();
        break;
      case core::SettingKind::kLogging:
        break;
    }
  }
  return edited;
}

void SetupDialog::QueueApply() {
  // Outside the focus change, from the event loop.
  QMetaObject::invokeMethod(
      this, [this] { form_.RunQueuedApply(); }, Qt::QueuedConnection);
}

bool SetupDialog::IsThisWindow(const QWindow* window) const {
  return window != nullptr && window == windowHandle();
}

bool SetupDialog::Focused() const { return IsThisWindow(last_focused_); }

void SetupDialog::onFocusWindowChanged(QWindow* focused) {
  // Null: another application has the focus; that neither shows nor applies.
  if (focused == nullptr || IsPassingWindow(focused)) return;
  const QWindow* previous = last_focused_;
  last_focused_ = focused;
  form_.FocusMoved(IsThisWindow(focused), IsThisWindow(previous));
}

void SetupDialog::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);  // hides; the dialog lives on
  // Closing the focused dialog hands the focus back; it applies now, and
  // the focus change that follows finds it no longer focused.
  if (event->isAccepted() && form_.Closing()) last_focused_ = nullptr;
}

}  // namespace orvik::ui
