// AboutWindow: the "About" window: the program's name, its protocols and its
// version (the project's one version number), three bold lines, with a margin
// on both sides (the window widens for a wider font). No behaviour of its own. Main thread only.
#pragma once

#include <QLabel>
#include <QWidget>

namespace orvik::ui {

class AboutWindow : public QWidget {
  Q_OBJECT

 public:
  // Builds the window, hidden.
  explicit AboutWindow(QWidget* parent = nullptr);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QLabel name_;       // "Orvik - GPS Time"
  QLabel protocols_;  // "NMEA and Motorola protocols"
  QLabel version_;    // "Ver. <version>  TCP/IP Server"
};

}  // namespace orvik::ui
