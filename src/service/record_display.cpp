#include "service/record_display.h"

#include "core/time_record_stream.h"

namespace orvik::service {

void ShowRecord(const core::TimeMessage& record, DisplayState& display) {
  display.Show(core::RecordDisplay(record));
}

}  // namespace orvik::service
