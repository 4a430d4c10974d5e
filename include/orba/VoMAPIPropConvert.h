// The two conversions between the variants callers see and the SPropValue MAPI sees.
//
// Variant to MAPI, by the tag's property type: integers, floating point and booleans
// as the variant converts; currency as the amount times 10,000; system times from a
// date (or double) without zone change, else from the 64-bit FILETIME value itself;
// GUIDs from their text; texts whose trimmed form is empty as null pointers; binaries
// from byte arrays; multi-valued types from arrays (multi-valued texts also from one
// text, split into lines when it holds "\r\n", else at ";"). Other types raise
// E_INVALIDARG "The PropList does not support data of type %d!".
//
// MAPI to variant: the matching variant; currency as the amount, system times as
// dates, GUIDs as their 38-character text, binaries as byte arrays, multi-valued types
// as arrays of variants, PT_OBJECT as "<object>"; PT_ERROR and types without a
// variant form give the caller's default.
#pragma once

#include <memory>

#include "mapi/mapitypes.h"
#include "orba/VoMAPIValueBuffers.h"
#include "orba/common/types.h"
#include "orba/common/variant.h"

namespace orba {

// The MAPI form of Value under Tag. Buffer receives the memory the result points
// into (none for scalar types); the result is valid while Buffer holds it.
SPropValue VoMAPIVariantToPropValue(const TVoVariant& Value, ULONG Tag, std::unique_ptr<TVoMAPIValueBuffer>& Buffer);

// The variant of a MAPI value; Default for PT_ERROR and types without a variant form.
TVoVariant VoMAPIPropVarValue(const SPropValue& Value, const TVoVariant& Default);

// Splits the text of a multi-valued text property: into lines when it holds "\r\n"
// (a final line break adds no empty value), else at every ";". Empty text gives none.
std::vector<WideString> VoMAPISplitMultiText(const WideString& Text);

}  // namespace orba
