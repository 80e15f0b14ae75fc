#include "ui/qt/connections_window.h"

#include <QEvent>
#include <QHeaderView>
#include <QResizeEvent>
#include <QStyle>
#include <algorithm>

#include "ui/logic/connection_rows.h"
#include "ui/qt/form_helpers.h"
#include "ui/qt/screen_fit.h"

namespace orvik::ui {

namespace {

constexpr int kColumns = kConnectionColumns;
constexpr int kColumnWidths[kColumns] = {24, 95, 55, 144};
constexpr int kInitialRows = 6;
constexpr int kRowHeight = 16;
constexpr int kGridLeft = 5;
constexpr int kGridTop = 8;
constexpr int kGridWidth = 342;
constexpr int kGridBottomMargin = 7;  // 128 - 8 - 113: kept when the window grows
// The widest position shown: the client table has 32 rows.
constexpr const char* kWidestPosition = " 32.";

QString Latin1(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

ConnectionsWindow::ConnectionsWindow(service::TimeServer& server, QWidget* parent)
    : QWidget(parent, CloseBoxOnlyFlags()), server_(server) {
  setObjectName(QStringLiteral("TForm4"));
  setWindowTitle(QStringLiteral("Connections"));
  setFont(WindowFont());
  move(248, 221);
  resize(352, 128);

  grid_.setParent(this);
  grid_.setObjectName(QStringLiteral("StringGrid1"));
  grid_.setColumnCount(kColumns);
  grid_.setRowCount(kInitialRows);
  grid_.horizontalHeader()->hide();
  grid_.verticalHeader()->hide();
  grid_.verticalHeader()->setMinimumSectionSize(kRowHeight);
  grid_.verticalHeader()->setDefaultSectionSize(kRowHeight);
  for (int column = 0; column < kColumns; ++column) {
    grid_.setColumnWidth(column, kColumnWidths[column]);
  }
  // The position column is as wide as " 32." needs; the host-name column,
  // which has room to spare, gives up what it gains.
  const int cell_margin =
      grid_.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &grid_) + 1;
  const int position_width = std::max(
      kColumnWidths[0],
      grid_.fontMetrics().horizontalAdvance(QLatin1String(kWidestPosition)) + 2 * cell_margin + 1);
  grid_.setColumnWidth(0, position_width);
  grid_.setColumnWidth(3, kColumnWidths[3] - (position_width - kColumnWidths[0]));
  grid_.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid_.setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  grid_.setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_.setGeometry(kGridLeft, kGridTop, kGridWidth, 113);
  for (int row = 0; row < kInitialRows; ++row) {
    for (int column = 0; column < kColumns; ++column) SetCell(row, column, QString());
  }

  server_.SetClientViewObserver(this);
}

ConnectionsWindow::~ConnectionsWindow() { server_.SetClientViewObserver(nullptr); }

void ConnectionsWindow::SetCell(int row, int column, const QString& text) {
  QTableWidgetItem* item = grid_.item(row, column);
  if (item == nullptr) {
    grid_.setItem(row, column, new QTableWidgetItem());  // the grid owns its items
    item = grid_.item(row, column);
    if (column == 0) {
      item->setFlags(Qt::ItemIsEnabled);
      ShadeAsFixed(*item);
    }
  }
  item->setText(text);
}

void ConnectionsWindow::ShadeAsFixed(QTableWidgetItem& item) const {
  // The leftmost column is the shaded fixed column of the grid, in the
  // colours of a button of the current palette, so it reads in any theme.
  // The window's palette: it has changed before the grid hears of it.
  item.setBackground(palette().button());
  item.setForeground(palette().buttonText());
}

void ConnectionsWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::PaletteChange) return;
  for (int row = 0; row < grid_.rowCount(); ++row) {
    if (QTableWidgetItem* item = grid_.item(row, 0); item != nullptr) ShadeAsFixed(*item);
  }
}

void ConnectionsWindow::showEvent(QShowEvent* event) {
  KeepOnScreen(*this);
  QWidget::showEvent(event);
}

void ConnectionsWindow::ClientTableChanged(const service::ClientTable& table) {
  const ConnectionRows grid = RowsFor(table, grid_.rowCount());
  grid_.setRowCount(grid.row_count);
  for (int row = 0; row < static_cast<int>(grid.rows.size()); ++row) {
    for (int column = 0; column < kColumns; ++column) {
      SetCell(row, column, Latin1(grid.rows[row][column]));
    }
  }
}

void ConnectionsWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // Anchored to the left, top and bottom edges: the grid grows in height only.
  grid_.setGeometry(kGridLeft, kGridTop, kGridWidth,
                    std::max(kRowHeight, height() - kGridTop - kGridBottomMargin));
}

}  // namespace orvik::ui
