// Feeds arbitrary bytes to the time-zone readers of appointments. What decodes must
// encode to what decodes the same; conversions with a decoded definition succeed or
// raise EVoException.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "orba/VoMAPITimeZone.h"
#include "orba/common/dates.h"
#include "orba/common/exceptions.h"

namespace {

using namespace orba;

void Check(bool condition) {
  if (!condition) std::abort();
}

bool Same(const TVoTimeZoneRule& a, const TVoTimeZoneRule& b) {
  return a.Flags == b.Flags && std::memcmp(&a.Start, &b.Start, sizeof(SYSTEMTIME)) == 0 && a.SameBiasesAndDates(b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const TVoBytes bytes(data, data + size);
  try {
    const TVoTimeZoneDefinition definition = TVoTimeZoneDefinition::Decode(bytes);
    const TVoTimeZoneDefinition again = TVoTimeZoneDefinition::Decode(definition.Encode());
    Check(again.KeyName == definition.KeyName && again.Rules.size() == definition.Rules.size());
    for (size_t i = 0; i < again.Rules.size(); ++i) Check(Same(again.Rules[i], definition.Rules[i]));
    const TVoRecurrenceTimeZone zone(definition);
    for (TDateTime local : {EncodeDateTime(2007, 3, 11, 2, 30, 0, 0), EncodeDateTime(1601, 1, 1, 0, 0, 0, 0),
                            EncodeDateTime(9999, 12, 31, 23, 0, 0, 0)}) {
      try {
        zone.UTCToLocal(zone.LocalToUTC(local));
      } catch (const EVoException&) {
      }
    }
  } catch (const EVoException&) {
  }
  try {
    const TVoTimeZoneStruct zone = TVoTimeZoneStruct::Decode(bytes);
    Check(TVoTimeZoneStruct::Decode(zone.Encode()).Encode() == zone.Encode());
  } catch (const EVoException&) {
  }
  return 0;
}
