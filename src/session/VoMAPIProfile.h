// What the session reads from its profile: the message services and the profile
// sections, opened as property objects.
#pragma once

#include <optional>
#include <vector>

#include "orba/VoMAPIProp.h"
#include "orba/VoOrbaMAPI.h"

namespace orba {

// A profile section (IProfSect) of the session's profile.
class TVoMAPIProfSect : public TVoMAPIProp {
 public:
  using TVoMAPIProp::TVoMAPIProp;
};

namespace detail {

// One message service of a profile.
struct TVoProfileService {
  AnsiString Name;  // PR_SERVICE_NAME_A, such as "MSEMS"
  TVoMAPIEntryID UID;
};

// The message services of the session's profile, in the service table's order.
std::vector<TVoProfileService> ProfileServices(TSession& Session);
// The UID of the first service named Name, if any.
std::optional<TVoMAPIEntryID> FindService(const std::vector<TVoProfileService>& Services, const AnsiString& Name);
// A profile section that exists (read-only), or null.
ComPtr<TVoMAPIProp> FindProfileSection(TSession& Session, const TVoMAPIEntryID& UID);
// A 32-bit value of Prop, 0 when Prop does not have it.
int32_t LongOrZero(TVoMAPIProp& Prop, TVoMAPIPropDef PropDef);
// A text of Prop, empty when Prop does not have it.
WideString TextOrEmpty(TVoMAPIProp& Prop, TVoMAPIPropDef PropDef);

}  // namespace detail
}  // namespace orba
