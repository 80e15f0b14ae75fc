// The About window: three bold lines exactly, the last with the project's version.
#include "ui/qt/about_window.h"

#include <gtest/gtest.h>

#include <QLabel>

#include "orvik_version.h"
#include "ui/desktop_test_harness.h"

namespace orvik::testing {
namespace {

TEST(AboutWindowTest, ShowsNameProtocolsAndVersion) {
  ui::AboutWindow about;
  EXPECT_EQ(about.windowTitle(), "About");
  EXPECT_EQ(about.pos(), QPoint(352, 192));
  EXPECT_EQ(about.height(), 82);
  EXPECT_GE(about.width(), 176) << "wider where the font needs it";
  EXPECT_FALSE(about.isVisible());
  struct Line {
    const char* name;
    int y;
    const char* text;
    int pixel_size;
  };
  const std::string version_line = std::string("Ver. ") + kVersion + "  TCP/IP Server";
  for (const Line& line : {Line{"Label1", 26, "Orvik - GPS Time", 13},
                           Line{"Label2", 45, "NMEA and Motorola protocols", 11},
                           Line{"Label3", 65, version_line.c_str(), 13}}) {
    QLabel& label = Child<QLabel>(about, line.name);
    EXPECT_EQ(label.text(), line.text);
    EXPECT_EQ(label.pos(), QPoint(8, line.y)) << line.name;
    EXPECT_TRUE(label.font().bold()) << line.name;
    EXPECT_EQ(label.font().pixelSize(), line.pixel_size) << line.name;
    EXPECT_LE(label.geometry().right() + 8, about.width())
        << line.name << ": the same margin on the right as on the left";
  }
  EXPECT_EQ(about.findChildren<QLabel*>().size(), 3);
}

}  // namespace
}  // namespace orvik::testing
