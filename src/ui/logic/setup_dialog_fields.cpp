#include "ui/logic/setup_dialog_fields.h"

#include <array>

namespace orvik::ui {
namespace {

using M = FieldMask;

DialogField Masked(std::string_view setting, std::string_view control, std::string_view label,
                   std::string_view caption, int positions, FieldMask mask) {
  return DialogField{core::SettingNamed(setting), control, label, caption, positions, mask};
}

DialogField Check(std::string_view setting, std::string_view control, std::string_view caption) {
  return DialogField{core::SettingNamed(setting), control, "", caption, 0, M::kDigits};
}

std::array<DialogField, 15> MakeFields() {
  return {
      Masked("PortNumber", "MaskEdit1", "Label1", "Port:", 2, M::kDigits),
      Masked("GmtHours", "MaskEdit2", "Label3", "GMT time difference [hours]:", 3,
             M::kDigitsAndSigns),
      Masked("TransmitInterval", "MaskEdit4", "Label6", "Time transmission interval [sec]:", 3,
             M::kDigits),
      Masked("ClockUpdateInterval", "MaskEdit3", "Label2", "PC clock updating interval [sec]:", 4,
             M::kDigits),
      Check("OnlyMinSec", "CheckBox1", "Update only minutes and seconds"),
      Check("SoundDisabled", "CheckBox2", "Disable sound"),
      Check("SummerTime", "CheckBox3", "Use summer time"),
      Masked("SummerMonth", "MaskEdit5", "Label7", "Month of transition to summer time:", 2,
             M::kDigits),
      Masked("SummerHour", "MaskEdit6", "Label8", "Hour of transition to summer time:", 2,
             M::kDigits),
      Masked("ZoneMonth", "MaskEdit7", "Label9", "Month of transition to zone time:", 2,
             M::kDigits),
      Masked("ZoneHour", "MaskEdit8", "Label10", "Hour of transition to zone time:", 2, M::kDigits),
      Masked("GmtMinutes", "MaskEdit9", "Label11", "[min]:", 3, M::kDigitsAndSigns),
      Masked("Protocol", "ComboBox1", "Label12", "Protocol:", 0, M::kDigits),
      Masked("ReceiverDelay", "ReceiverDelayEdit", "ReceiverDelayLabel", "Receiver delay [ms]:", 3,
             M::kDigits),
      Masked("ChronySocketPath", "ChronySocketEdit", "ChronySocketLabel", "chrony socket:", 0,
             M::kDigits),
  };
}

}  // namespace

std::span<const DialogField> SetupDialogFields() {
  static const std::array<DialogField, 15> fields = MakeFields();
  return fields;
}

const DialogField* DialogFieldOfControl(std::string_view control) {
  for (const DialogField& field : SetupDialogFields()) {
    if (field.control == control) return &field;
  }
  return nullptr;
}

}  // namespace orvik::ui
