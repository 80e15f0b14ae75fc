#include "ui/logic/setup_layout.h"

namespace orvik::ui {
namespace {

struct NamedPlace {
  const char* name;
  int x, y;
};

constexpr NamedPlace kPlaces[] = {
    {"Label1", 16, 132},
    {"Label2", 16, 156},
    {"Label3", 16, 23},
    {"Label6", 16, 49},
    {"Label7", 16, 268},
    {"Label8", 16, 292},
    {"Label9", 16, 316},
    {"Label10", 16, 340},
    {"Label11", 225, 23},
    {"Label12", 18, 76},
    {"MaskEdit2", 189, 21},
    {"MaskEdit9", 261, 21},
    {"MaskEdit4", 215, 48},
    {"MaskEdit1", 52, 130},
    {"MaskEdit3", 213, 154},
    {"MaskEdit5", 224, 268},
    {"MaskEdit6", 224, 292},
    {"MaskEdit7", 224, 316},
    {"MaskEdit8", 224, 340},
    {"ComboBox1", 78, 73},
    {"CheckBox1", 16, 180},
    {"CheckBox2", 16, 212},
    {"CheckBox3", 16, 244},
    {"ReceiverDelayEdit", 0, 210},
    {"ReceiverDelayLabel", 0, 212},
    {"ChronySocketEdit", 0, 130},
    {"ChronySocketLabel", 0, 132},
};

}  // namespace

SetupPlace SetupPlaceOf(std::string_view name) {
  for (const NamedPlace& place : kPlaces) {
    if (name == place.name) return SetupPlace{place.x, place.y};
  }
  return SetupPlace{};
}

}  // namespace orvik::ui
