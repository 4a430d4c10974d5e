// TVoMAPIPropValue: one value of one property of one object, as callers see it (a
// variant) and as MAPI sees it (an SPropValue built on demand into a value buffer).
#pragma once

#include <memory>
#include <optional>

#include "orba/VoMAPIPropConvert.h"
#include "orba/VoMAPIPropOwner.h"
#include "orba/VoMAPIProps.h"
#include "orba/VoMAPIValueBuffers.h"
#include "orba/common/variant.h"

namespace orba {

class TVoMAPIPropValue {
 public:
  // Owner and PropInfo must not be null (E_INVALIDARG). The value starts as Null with
  // no tag; Owner must outlive the value.
  TVoMAPIPropValue(TVoMAPIValueOwner* Owner, const TVoMAPIPropInfo* PropInfo);
  TVoMAPIPropValue(const TVoMAPIPropValue&) = delete;
  TVoMAPIPropValue& operator=(const TVoMAPIPropValue&) = delete;

  TVoMAPIValueOwner* Owner() const { return owner_; }
  const TVoMAPIPropInfo& PropInfo() const { return *propInfo_; }
  const TVoVariant& Value() const { return value_; }
  // Assigns the variant; the exact system time is forgotten.
  void SetValue(TVoVariant Value);
  // Assigns a system time: Value becomes its date, and the FILETIME itself is kept, so
  // that MAPI gets back every digit (a date holds whole milliseconds only).
  void SetFileTime(const FILETIME& Value);

  // The tag; 0 until resolved or loaded.
  TVoMAPIPropTag Tag() const { return tag_; }
  // The tag for the owner: resolved (through the nearest property-bearing object) when
  // still 0, with PropInfo's type in the type half. Named properties are created in the
  // store when Create.
  TVoMAPIPropTag ResolveTag(bool Create = true);

  // The MAPI form, rebuilt from Value (the previous buffer is released first); a
  // PT_SYSTIME value carries the exact system time when there is one. It stays valid
  // until the next conversion or the value's release.
  const SPropValue& GetMAPIValue();
  // Loads a value MAPI returned: Value becomes its variant (Null for PT_ERROR), and the
  // tag takes its identifier with PropInfo's type, except that a standard property
  // keeps its tag when the identifiers differ.
  void SetMAPIValue(const SPropValue& Value);
  // The FILETIME of a PT_SYSTIME value, exact to 100 ns, as loaded or set with
  // SetFileTime, until Value is assigned otherwise.
  const std::optional<FILETIME>& FileTime() const { return fileTime_; }

 private:
  TVoMAPIValueOwner* owner_;
  const TVoMAPIPropInfo* propInfo_;
  TVoVariant value_ = TVoVariant::Null();
  TVoMAPIPropTag tag_ = 0;
  SPropValue mapiValue_{};
  std::optional<FILETIME> fileTime_;
  std::unique_ptr<TVoMAPIValueBuffer> buffer_;
};

}  // namespace orba
