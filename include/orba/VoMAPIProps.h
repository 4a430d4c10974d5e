// The property registry (unit uVoMAPIProps): handles of MAPI properties, their
// descriptors, lookup and run-time registration, and the property catalogue.
//
// A TVoMAPIPropDef names a registered property by one 64-bit ID: IDs 1..N are
// positions in the registry (the catalogue's PR_.../NPR_... constants are positions,
// valid before the library has started), IDs with the top four bits set are hash IDs
// found by value. The registry owns one TVoMAPIPropInfo per property; it is filled with
// the catalogue on first use and only grows afterwards.
//
// Threads: lookups may come from any thread; run-time registration (RegisterProp,
// GetProp on a miss, GetPropInfo without Unicode when a property has no 8-bit twin)
// must be serialised by the caller, as the registry has no lock.
//
// Failures raise EVoMAPIException family errors with E_INVALIDARG (0x80070057), except
// PropTypeToStr's plain EVoException "Invalid PropType".
#pragma once
#define ORBA_VOMAPIPROPS_H

#include <cstddef>
#include <cstdint>

#include "mapi/mapiguid.h"
#include "mapi/mapitypes.h"
#include "orba/common/com.h"
#include "orba/common/types.h"
#include "orba/common/variant.h"

namespace orba {

using TVoMAPIPropDefID = int64_t;
using TVoMAPIPropTag = uint32_t;

// The handle of a registered property; ID 0 means no property.
struct TVoMAPIPropDef {
  TVoMAPIPropDefID ID = 0;
  friend constexpr bool operator==(TVoMAPIPropDef, TVoMAPIPropDef) = default;
};
using PVoMAPIPropDef = const TVoMAPIPropDef*;

// IDs at or above this value (as unsigned) are hash IDs; below it they are positions.
inline constexpr uint64_t VoMAPIHashIDMask = 0xF000000000000000ull;

// PropKind values: a named property by number (also every standard property) or by name.
inline constexpr uint32_t VoMAPIPropKindID = MNID_ID;
inline constexpr uint32_t VoMAPIPropKindString = MNID_STRING;

// The registry's descriptor of one property.
struct TVoMAPIPropInfo {
  // Standard: the 16-bit identifier (varWord); named by number: the 32-bit number
  // (varInteger); named by name: the name (varOleStr).
  TVoVariant PropID;
  uint32_t PropType = 0;                    // MAPI property type (PT_...)
  WideString PropName;                      // catalogue name or the name built on registration
  bool Named = false;                       // a named property
  GUID PropSet = GUID_NULL;                 // property set of a named property, else all zero
  uint32_t PropKind = 0;                    // 0 by number (MNID_ID), 1 by name (MNID_STRING)
  const TVoMAPIPropDef* PropDef = nullptr;  // the handle of this property
  bool DisposePropDef = false;              // the registry allocated the handle
  TVoMAPIPropDefID Hash = 0;                // equal to PropDef->ID
};
using PVoMAPIPropInfo = const TVoMAPIPropInfo*;

// Property sets of the catalogue, with their published values. The two PS_ sets are
// the seam's own constants.
using ::PS_INTERNET_HEADERS;
using ::PS_PUBLIC_STRINGS;
inline constexpr GUID PSETID_PublicStrings = ::PS_PUBLIC_STRINGS;
inline constexpr GUID PSETID_InternetHeaders = ::PS_INTERNET_HEADERS;
inline constexpr GUID PSETID_MAPI = ::PS_MAPI;
inline constexpr GUID PSETID_Appointment = MakeOleGuid(0x00062002);
inline constexpr GUID PSETID_Task = MakeOleGuid(0x00062003);
inline constexpr GUID PSETID_Address = MakeOleGuid(0x00062004);
inline constexpr GUID PSETID_Common = MakeOleGuid(0x00062008);
inline constexpr GUID PSETID_Log = MakeOleGuid(0x0006200A);
inline constexpr GUID PSETID_Note = MakeOleGuid(0x0006200E);
inline constexpr GUID PSETID_Report = MakeOleGuid(0x00062013);
inline constexpr GUID PSETID_Remote = MakeOleGuid(0x00062014);
inline constexpr GUID PSETID_Sharing = MakeOleGuid(0x00062040);
inline constexpr GUID PSETID_PostRss = MakeOleGuid(0x00062041);
inline constexpr GUID PSETID_Meeting = {0x6ED8DA90, 0x450B, 0x101B, {0x98, 0xDA, 0x00, 0xAA, 0x00, 0x3F, 0x13, 0x05}};
inline constexpr GUID PSETID_UnifiedMessaging = {
    0x4442858E, 0xA9E3, 0x4E80, {0xB9, 0x00, 0x31, 0x7A, 0x21, 0x0C, 0xC1, 0x5B}};
inline constexpr GUID PSETID_AirSync = {0x71035549, 0x0739, 0x4DCB, {0x91, 0x63, 0x00, 0xF0, 0x58, 0x0D, 0xBB, 0xDF}};
inline constexpr GUID PSETID_Attachment = {
    0x96357F7F, 0x59E1, 0x47D0, {0x99, 0xA7, 0x46, 0x51, 0x5C, 0x18, 0x3B, 0x54}};
inline constexpr GUID PSETID_CalendarAssistant = {
    0x11000E07, 0xB51B, 0x40D6, {0xAF, 0x21, 0xCA, 0xA8, 0x5E, 0xDA, 0xB1, 0xD0}};
inline constexpr GUID PSETID_Messaging = {0x41F28F13, 0x83F4, 0x4114, {0xA5, 0x84, 0xEE, 0xDB, 0x5A, 0x6B, 0x0B, 0xFF}};
inline constexpr GUID GUID_PKMDocSummaryInformation = {
    0xD5CDD502, 0x2E9C, 0x101B, {0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE}};
inline constexpr GUID PSETID_Exchange1 = {0x48862A09, 0xF786, 0x0114, {0x02, 0x81, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}};
// The library's own private named properties.
inline constexpr GUID PSETID_Velmora = {0x52A474EE, 0xE1A3, 0x4E63, {0x8F, 0xFC, 0xFC, 0xDA, 0xCB, 0x06, 0xA7, 0xFC}};

// Registration. Each returns the descriptor: the existing one when a property of that
// identity and type is registered already, else a new one at the next position.
// Standard property by identifier.
const TVoMAPIPropInfo* RegisterProp(const WideString& Name, uint16_t ID, uint32_t PropType);
// Named property by number.
const TVoMAPIPropInfo* RegisterProp(const GUID& PropSet, const WideString& Name, int32_t ID, uint32_t PropType);
// Named property by name.
const TVoMAPIPropInfo* RegisterProp(const GUID& PropSet, const WideString& Name, const WideString& NameString,
                                    uint32_t PropType);

// Lookup: the first matching descriptor in registration order, or nullptr.
// By catalogue name, case-sensitive.
const TVoMAPIPropInfo* FindProp(const WideString& Name);
// Standard property by identifier (and type when CheckType).
const TVoMAPIPropInfo* FindProp(uint16_t ID, uint32_t PropType, bool CheckType);
// Standard property by tag: FindProp(Tag >> 16, Tag & 0xFFFF, CheckType).
const TVoMAPIPropInfo* FindProp(TVoMAPIPropTag Tag, bool CheckType);
// Named property of PropSet by number (an integer IDOrName) or by name (a string one).
const TVoMAPIPropInfo* FindProp(const GUID& PropSet, const TVoVariant& IDOrName, uint32_t PropType, bool CheckType);
// Named property of a MAPINAMEID (number for MNID_ID, wide name for MNID_STRING).
const TVoMAPIPropInfo* FindProp(const MAPINAMEID& NameID, uint32_t PropType, bool CheckType);
const TVoMAPIPropInfo* FindProp(uint32_t PropType, const MAPINAMEID& NameID, bool CheckType);
// Exact identity: same PropID variant type and value, PropType, Named, PropSet, PropKind.
const TVoMAPIPropInfo* FindProp(const TVoVariant& IDOrName, uint32_t PropType, bool Named, const GUID& PropSet,
                                uint32_t PropKind);

// As FindProp, but a missing property is registered: standard and by-number ones under
// "$" + the hexadecimal text of (identifier << 16 | type), by-name ones under the name.
const TVoMAPIPropInfo* GetProp(uint16_t ID, uint32_t PropType, bool CheckType);
const TVoMAPIPropInfo* GetProp(TVoMAPIPropTag Tag, bool CheckType);
const TVoMAPIPropInfo* GetProp(const GUID& PropSet, const TVoVariant& IDOrName, uint32_t PropType, bool CheckType);
const TVoMAPIPropInfo* GetProp(const MAPINAMEID& NameID, uint32_t PropType, bool CheckType);
const TVoMAPIPropInfo* GetProp(uint32_t PropType, const MAPINAMEID& NameID, bool CheckType);
// Not named: the standard form with the number; named: the property-set form. Both
// compare the type.
const TVoMAPIPropInfo* GetProp(const TVoVariant& IDOrName, uint32_t PropType, bool Named, const GUID& PropSet,
                               uint32_t PropKind);

// The descriptor of a handle. Without AllowUnicode a PT_UNICODE (PT_MV_UNICODE)
// property answers its PT_STRING8 (PT_MV_STRING8) twin, registered on demand.
const TVoMAPIPropInfo* GetPropInfo(TVoMAPIPropDef PropDef, bool AllowUnicode = true);
// The same for a handle pointer; a null pointer or ID 0 is an assertion failure.
const TVoMAPIPropInfo* GetPropInfo(const TVoMAPIPropDef* PropDef, bool AllowUnicode = true);

// The handle of a registered name (case-sensitive).
TVoMAPIPropDef GetPropDef(const WideString& Name);
// The tag of a standard property.
TVoMAPIPropTag GetPropTag(TVoMAPIPropDef PropDef);
TVoMAPIPropTag GetPropTag(const TVoMAPIPropInfo& PropInfo);
// The PropName of a handle's descriptor.
WideString GetPropName(TVoMAPIPropDef PropDef);

// Field-by-field GUID equality.
bool SameGuid(const GUID& A, const GUID& B);
// Equal names (case-insensitive), or the same identity (and type when CheckType).
bool SameProp(const TVoMAPIPropInfo& A, const TVoMAPIPropInfo& B, bool CheckType);
// A standard property against a tag (named properties never match).
bool SameProp(const TVoMAPIPropInfo& Info, TVoMAPIPropTag Tag, bool CheckType);
// Against a tag plus its MAPINAMEID: named properties compare with NameID, standard
// ones with Tag; the type always comes from Tag.
bool SameProp(const TVoMAPIPropInfo& Info, TVoMAPIPropTag Tag, const MAPINAMEID& NameID, bool CheckType);
bool SameProp(const TVoMAPIPropInfo& Info, const MAPINAMEID& NameID, TVoMAPIPropTag Tag, bool CheckType);

// The ID for a new descriptor: with Standard the next position, else the hash ID of
// its identity (SHA-1 based, top four bits set). An ID already registered raises
// "%s is equal to %s".
TVoMAPIPropDefID CalcPropHash(const TVoMAPIPropInfo& Info, bool Standard);

// The data-type name of a property type ("dtLongInt", "dtMvBinary", ...).
WideString PropTypeToStr(uint32_t PropType);

// The number of registered descriptors and one of them by 0-based registration index
// (out of range raises "List index out of bounds (%d)").
size_t GetPropCount();
const TVoMAPIPropInfo* GetPropInfoByIndex(size_t Index);

}  // namespace orba

// The catalogue's handles: PR_SUBJECT, NPR_CONTACT_FILEUNDER, ... (generated).
#include "orba/VoMAPIPropDefs.h"
