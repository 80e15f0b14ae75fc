#include "ui/qt/status_window.h"

#include <QCloseEvent>
#include <QLayout>
#include <QMenuBar>
#include <QPainter>
#include <QPalette>
#include <algorithm>
#include <utility>

#include "ui/qt/form_helpers.h"
#include "ui/qt/screen_fit.h"

namespace orvik::ui {

namespace {

constexpr int kClientWidth = 294;
constexpr int kClientHeight = 86;
constexpr int kLabelGap = 8;  // between two texts on one line
// The widest texts the time and date labels show: the decoders frame the
// time of a message without a valid fix with "?".
constexpr const char* kWidestTime = "?00:00:00?";
constexpr const char* kWidestDate = "00.00.0000";

QString Latin1(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QPixmap StatusWindow::NoSatellitePicture() {
  QPixmap picture(38, 6);
  picture.fill(QColor(192, 192, 192));
  QPainter painter(&picture);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(255, 0, 0));
  painter.drawRect(0, 2, 38, 3);  // rows 2 to 4
  painter.end();
  QImage image = picture.toImage();
  image.setPixelColor(0, 0, QColor(255, 0, 0));
  return QPixmap::fromImage(image);
}

StatusWindow::StatusWindow(StatusWindowHooks hooks, QWidget* parent)
    : QMainWindow(parent, CloseBoxOnlyFlags()),
      hooks_(std::move(hooks)),
      display_(hooks_),
      commands_menu_(QStringLiteral("Commands to GPS"), this),
      setup_menu_(QStringLiteral("Setup"), this) {
  setObjectName(QStringLiteral("TForm2"));
  setWindowTitle(QStringLiteral("Orvik - GPS Time"));
  setFont(WindowFont());
  BuildClientArea();
  BuildMenu();
  setCentralWidget(&client_);
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  move(209, 187);
}

StatusWindow::~StatusWindow() = default;

void StatusWindow::BuildClientArea() {
  client_.setObjectName(QStringLiteral("ClientArea"));
  const QFont base = font();

  QFont warning_font = PixelFont(base, 16, true);
  warning_font.setFamily(QStringLiteral("Arial"));
  PlaceLabel(no_communication_, client_, "Label3", 4, 5, QStringLiteral("No communication!"),
             warning_font);
  QPalette red = no_communication_.palette();
  red.setColor(QPalette::WindowText, QColor(255, 0, 0));
  no_communication_.setPalette(red);
  no_communication_.hide();

  const QFont time_font = PixelFont(base, 19, true);
  PlaceLabel(time_, client_, "Label5", 4, 26, QStringLiteral("Time"), time_font);
  // The date starts behind the widest time, so no time runs into it.
  const QFontMetrics time_metrics(time_font);
  const int date_left = std::max(
      108, time_.x() + time_metrics.horizontalAdvance(QLatin1String(kWidestTime)) + kLabelGap);
  PlaceLabel(date_, client_, "Label7", date_left, 26, QStringLiteral("Date"), time_font);
  PlaceLabel(satellites_title_, client_, "Label8", 4, 58, QStringLiteral("Tracked satellites:"),
             PixelFont(base, 16, true));
  const int counts_left = std::max(171, satellites_title_.geometry().right() + 1 + kLabelGap / 2);
  PlaceLabel(satellites_, client_, "Label6", counts_left, 56, QStringLiteral("0 / 0"),
             PixelFont(base, 16, true));

  no_satellite_bar_.setParent(&client_);
  no_satellite_bar_.setObjectName(QStringLiteral("Image1"));
  no_satellite_bar_.setGeometry(counts_left - 1, 73, 41, 7);
  no_satellite_bar_.setAlignment(Qt::AlignLeft | Qt::AlignTop);
  no_satellite_bar_.setPixmap(NoSatellitePicture());
  no_satellite_bar_.hide();

  sound_off_.setParent(&client_);
  sound_off_.setObjectName(QStringLiteral("Button1"));
  sound_off_.setText(QStringLiteral("Sound Off"));
  sound_off_.setGeometry(231, 6, 60, 20);
  connect(&sound_off_, &QPushButton::clicked, this, [this] { display_.SoundOff(); });

  const int width = std::max(
      kClientWidth,
      date_left + time_metrics.horizontalAdvance(QLatin1String(kWidestDate)) + kLabelGap / 2);
  client_.setFixedSize(width, kClientHeight);

  clock_keeping_.setParent(&client_);
  clock_keeping_.setObjectName(QStringLiteral("ClockKeepingProblem"));
  clock_keeping_.setFont(PixelFont(base, 12, true));
  clock_keeping_.setWordWrap(true);
  clock_keeping_.setAlignment(Qt::AlignLeft | Qt::AlignTop);
  clock_keeping_.hide();
  SetWarningTextColor(clock_keeping_);
}

void StatusWindow::ShowClockKeeping(const QString& problem) {
  if (problem == clock_keeping_.text() && clock_keeping_.isHidden() == problem.isEmpty()) return;
  clock_keeping_.setText(problem);
  if (problem.isEmpty()) {
    clock_keeping_.hide();
    client_.setFixedHeight(kClientHeight);
    return;
  }
  // A line of its own under the satellite counts; the window grows by it.
  const int width = client_.width() - 2 * 4;
  clock_keeping_.setGeometry(4, kClientHeight, width, clock_keeping_.heightForWidth(width));
  clock_keeping_.show();
  client_.setFixedHeight(kClientHeight + clock_keeping_.height() + 4);
}

void StatusWindow::BuildMenu() {
  QMenuBar* bar = menuBar();
  bar->setObjectName(QStringLiteral("MainMenu1"));

  commands_menu_.setObjectName(QStringLiteral("Seadmine1"));
  QAction* gmt = commands_menu_.addAction(QStringLiteral("GMT difference"));
  gmt->setObjectName(QStringLiteral("GMT_offset"));
  connect(gmt, &QAction::triggered, this, [this] { display_.RunCommand(hooks_.gmt_offset); });
  QAction* interval = commands_menu_.addAction(QStringLiteral("Time transm. interval"));
  interval->setObjectName(QStringLiteral("Continuous_1s"));
  connect(interval, &QAction::triggered, this,
          [this] { display_.RunCommand(hooks_.transmit_interval); });
  bar->addMenu(&commands_menu_);

  setup_menu_.setObjectName(QStringLiteral("Seaded1"));
  QAction* parameters = setup_menu_.addAction(QStringLiteral("Setup parameters"));
  parameters->setObjectName(QStringLiteral("Parameetrid1"));
  connect(parameters, &QAction::triggered, this, [this] {
    if (hooks_.show_setup) hooks_.show_setup();
  });
  bar->addMenu(&setup_menu_);

  QAction* connections = bar->addAction(QStringLiteral("Connections"));
  connections->setObjectName(QStringLiteral("Programmist1"));
  connect(connections, &QAction::triggered, this, [this] {
    if (hooks_.show_connections) hooks_.show_connections();
  });
  QAction* about = bar->addAction(QStringLiteral("About"));
  about->setObjectName(QStringLiteral("About1"));
  connect(about, &QAction::triggered, this, [this] {
    if (hooks_.show_about) hooks_.show_about();
  });
}

void StatusWindow::ShowStatus(const service::StatusSnapshot& snapshot) {
  if (snapshot.tick == service::StatusSnapshot::Tick::kDisplay) {
    onDisplayTick(snapshot);
  } else {
    onCommunicationTick(snapshot);
  }
}

void StatusWindow::StartupCompleted() { display_.StartupCompleted(); }

void StatusWindow::StartupFailed(const std::string& message) { display_.StartupFailed(message); }

void StatusWindow::SetCommandsMenuEnabled(bool enabled) {
  commands_menu_.menuAction()->setEnabled(enabled);
}

void StatusWindow::showEvent(QShowEvent* event) {
  KeepOnScreen(*this);
  QMainWindow::showEvent(event);
}

void StatusWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::PaletteChange) SetWarningTextColor(clock_keeping_);
}

void StatusWindow::closeEvent(QCloseEvent* event) {
  if (display_.CloseEndsProgram() && hooks_.end_program) {
    event->ignore();
    hooks_.end_program();
    return;
  }
  QMainWindow::closeEvent(event);  // hides; the program goes on
}

void StatusWindow::onDisplayTick(const service::StatusSnapshot& snapshot) {
  const DisplayTickResult tick = display_.DisplayTick(snapshot);
  if (tick.hide_windows) {
    hide();
    if (hooks_.hide_main_form) hooks_.hide_main_form();
  }
  if (tick.texts) {
    SetAutoSizedText(time_, Latin1(tick.texts->TimeText));
    SetAutoSizedText(date_, Latin1(tick.texts->DateText));
    SetAutoSizedText(satellites_, Latin1(tick.texts->SatText));
  }
  ShowClockKeeping(QString::fromStdString(tick.warning_lines));
}

void StatusWindow::onCommunicationTick(const service::StatusSnapshot& snapshot) {
  const CommunicationTickResult tick = display_.CommunicationTick(snapshot);
  no_satellite_bar_.setVisible(tick.no_satellite);
  no_communication_.setVisible(tick.no_communication);
}

}  // namespace orvik::ui
