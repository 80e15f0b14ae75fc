#include "service/record_display.h"

#include "core/time_record_stream.h"

namespace orvik::service {

void ShowRecord(const core::TimeMessage& record, DisplayState& display) {
  const core::DisplayUpdate update = core::RecordDisplay(record);
  display.SetTexts({update.TimeText, update.DateText, update.SatText});
  display.NoSatFlag = update.NoSatFlag;
  display.NewDisplayFlag = true;
  display.DataSeenFlag = true;
}

}  // namespace orvik::service
