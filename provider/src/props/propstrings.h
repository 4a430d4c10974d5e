// Character-width conversion of string property values (PT_STRING8 <-> PT_UNICODE,
// PT_MV_STRING8 <-> PT_MV_UNICODE) and of string arguments, through the support
// layer's code pages.
#pragma once

#include <cstdint>
#include <string>

#include "mapi/mapidefs.h"

namespace orba::store {

// True for PT_STRING8, PT_UNICODE and their multi-valued forms.
bool IsStringType(ULONG type);
// The type with its string width replaced: wide when wide is set, 8-bit otherwise;
// other types are returned unchanged.
ULONG WithStringWidth(ULONG type, bool wide);

// Copies src into out (blocks allocated on parent) with its type changed to
// targetType, which must be src's type or its other string width. 8-bit text is in
// codePage (0: the system code page).
void CopyWithStringWidth(const SPropValue& src, ULONG targetType, SPropValue& out, void* parent, uint32_t codePage);

// A string argument of a MAPI method as UTF-8: UTF-16 when flags has MAPI_UNICODE, else
// 8-bit text in the system code page; null gives an empty string.
std::string ArgText(const void* text, ULONG flags);

}  // namespace orba::store
