#include "ui/connections_window.h"

#include <QHeaderView>
#include <QResizeEvent>
#include <algorithm>

#include "ui/form_helpers.h"

namespace orvik::ui {

namespace {

constexpr int kColumns = 4;
constexpr int kColumnWidths[kColumns] = {24, 95, 55, 144};
constexpr int kInitialRows = 6;
constexpr int kRowHeight = 16;
constexpr int kGridLeft = 5;
constexpr int kGridTop = 8;
constexpr int kGridWidth = 342;
constexpr int kGridBottomMargin = 7;  // 128 - 8 - 113: kept when the window grows

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
      // The leftmost column is the shaded fixed column of the grid.
      item->setBackground(palette().button());
      item->setFlags(Qt::ItemIsEnabled);
    }
  }
  item->setText(text);
}

void ConnectionsWindow::ClientTableChanged(const service::ClientTable& table) {
  const int active = table.ActiveClientCount();
  if (active > 0) grid_.setRowCount(active);
  for (int column = 0; column < kColumns; ++column) SetCell(0, column, QString());

  int grid_row = 0;
  for (std::uint16_t index = 1; index <= table.ClientRowsUsed(); ++index) {
    const service::ClientRecord& client = table.Row(index);
    if (!client.InUse) continue;
    if (grid_row >= grid_.rowCount()) break;  // the count and the rows disagree
    SetCell(grid_row, 0, QStringLiteral(" %1.").arg(grid_row + 1));
    SetCell(grid_row, 1, Latin1(client.Address));
    SetCell(grid_row, 2, client.Port == 0 ? QString() : QString::number(client.Port));
    SetCell(grid_row, 3, Latin1(client.HostName));
    ++grid_row;
  }
}

void ConnectionsWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // Anchored to the left, top and bottom edges: the grid grows in height only.
  grid_.setGeometry(kGridLeft, kGridTop, kGridWidth,
                    std::max(kRowHeight, height() - kGridTop - kGridBottomMargin));
}

}  // namespace orvik::ui
