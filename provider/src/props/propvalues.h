// Property values built and read in one way everywhere in Orba Store.
//
// Builders make an SPropValue: fixed-size values by value; binaries and texts either
// point at the caller's data (which must outlive the value) or are copied onto parent, a
// MAPI buffer or a block chained to one. Stored turns a value into its stored form
// (propcodec.h); the readers below look into lists of stored values.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "memory/mapimemory.h"
#include "props/propcodec.h"

namespace orba::store {

SPropValue LongValue(ULONG tag, ULONG value);
SPropValue BoolValue(ULONG tag, bool value);
SPropValue TimeValue(ULONG tag, int64_t fileTime);
// A PT_ERROR value for tag's property identifier.
SPropValue ErrorValue(ULONG tag, SCODE code);
// Pointing at text or bytes.
SPropValue TextValue(ULONG tag, const std::u16string& text);
SPropValue BinaryValue(ULONG tag, std::span<const BYTE> bytes);
// Copied onto parent.
SPropValue TextValue(ULONG tag, std::u16string_view text, void* parent);
SPropValue BinaryValue(ULONG tag, std::span<const BYTE> bytes, void* parent);

// The stored form of a value (TMapiError as EncodePropValue).
TStoredProp Stored(const SPropValue& value);

// The stored value of a property identifier, or null.
const TStoredProp* FindStored(const TStoredProps& props, ULONG propId);
// The text of a stored string property (either width), if it is one.
std::optional<std::u16string> StoredText(const TStoredProp& prop);
// The number of a stored PT_LONG, PT_BOOLEAN, PT_I8 or PT_SYSTIME property, if it is one.
std::optional<int64_t> StoredNumber(const TStoredProp& prop);
// Stored values decoded into one MAPI buffer, followed by extraSlots zeroed values for
// the caller to fill (TMapiError(MAPI_E_CORRUPT_DATA) for bytes that do not fit a type).
TMapiBuffer<SPropValue> DecodeStored(const TStoredProps& props, size_t extraSlots = 0);
// The bytes a list of stored values takes, as a message's size counts them: each value
// and its tag.
uint64_t StoredSize(const TStoredProps& props);

}  // namespace orba::store
