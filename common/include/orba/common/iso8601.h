// ISO-8601 text for TDateTime values.
#pragma once

#include <string_view>

#include "orba/common/types.h"

namespace orba {

// "2023-05-01T10:00:00", with ".250" when there are milliseconds and "Z" when utc is
// set (the value is then taken as UTC).
WideString VoDateTimeToISO8601(TDateTime value, bool utc = false);
// "2023-05-01".
WideString VoDateToISO8601(TDateTime value);
// "10:00:00" or "10:00:00.250": the time of day only.
WideString VoTimeToISO8601(TDateTime value);

// Reads the extended or basic calendar forms: a date ("2023-05-01", "20230501"), a date
// and time joined by 'T' or a blank, or a time alone ("10:00", "10:00:00.5", which gives
// the fraction of a day). Seconds and fractions ('.' or ',') are optional; the time may
// end in "Z" or an offset ("+02:00", "-0530", "+02"). A value with a zone is returned as
// UTC and *hasZone is set; without one it is returned as written. Week and ordinal
// dates are not read. Malformed text raises EVoException with E_INVALIDARG.
TDateTime VoISO8601ToDateTime(std::u16string_view text, bool* hasZone = nullptr);

}  // namespace orba
