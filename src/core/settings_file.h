// The parameter file "GPS_parm.txt": loading Settings from it, the text it is
// saved as, and the derived switch days. Pure apart from the TextFiles seam;
// called by the main thread while no acquisition thread runs.
//
// The file holds one value a line, written with CR LF; a line ends at LF with
// or without a CR before it. The classic 14 lines come first, so a file
// written here still reads elsewhere, which ignores what follows them; line 15
// is the receiver delay in milliseconds (0..kMaxReceiverDelayMs) and line 16
// the chrony socket path. A file of 14 lines reads as delay 0 and no socket.
// Numeric lines keep their text form, and the number follows the text only
// here, at load. What each line holds is the list of SettingFields().
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/date_time.h"
#include "core/settings.h"
#include "core/settings_fields.h"
#include "core/status.h"
#include "core/text_files.h"

namespace orvik::core {

// Bare name, resolved against the working directory by the TextFiles given.
inline constexpr std::string_view kSettingsFileName = "GPS_parm.txt";

// Sets every field and text form to its default, then SummerDay and ZoneDay to
// the last Sundays of March and October of pc_now's year.
void ApplyDefaultSettings(Settings& settings, const DateTime& pc_now);

// Applies the defaults, reads "GPS_parm.txt" line by line and derives
// SummerDay, ZoneDay and the ClockUpdateInterval message count. A file that
// cannot be opened (missing, no access) leaves the defaults; a name that is
// no regular file, or a failed read, fails with its message. Only the first
// kFileReadLimit bytes are read; a line longer than kMaxFileLineLength fails
// with CheckLineLength's message, a socket path longer than
// kMaxChronySocketPathLength with its own (core/file_line_limit.h). `enable_commands_menu` is
// called once when line 13 is read (true for the two Motorola protocols). On failure the fields
// keep what had been set so far and the Status carries the message.
Status LoadSettings(Settings& settings, TextFiles& files, const DateTime& pc_now,
                    const std::function<void(bool)>& enable_commands_menu);

// Returns the 16 lines of the file for `settings`, each ended by CR LF: text
// forms as they stand, the switch words, the protocol word and the socket path.
std::string SettingsFileText(const Settings& settings);

// Replaces "GPS_parm.txt" by SettingsFileText(settings) as a whole; on failure
// the old file is untouched and the error is returned for the operator.
Status SaveSettings(const Settings& settings, TextFiles& files);

// Returns the day of month of the last Sunday of `month` in pc_now's year, or
// kDateEncode "Invalid argument to date encode" for a month outside 1..12.
Result<std::uint16_t> LastSundayOfMonth(std::uint16_t month, const DateTime& pc_now);

}  // namespace orvik::core
