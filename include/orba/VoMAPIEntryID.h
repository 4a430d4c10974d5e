// Entry IDs (TVoMAPIEntryID): a variant holding a byte array (lower bound 0); Null or
// Empty means no entry ID. Their text form is two upper-case hexadecimal digits per
// byte, without separators.
#pragma once

#include <vector>

#include "mapi/mapidefs.h"
#include "orba/common/types.h"
#include "orba/common/variant.h"

namespace orba {

class TVoMAPISessionBase;

using TVoMAPIEntryID = TVoVariant;
using TVoMAPIByteArray = TVoVariant;

// The bytes of an entry ID with an SBinary view of them; the view stays valid while
// the object lives.
class TVoMAPIBinary {
 public:
  explicit TVoMAPIBinary(std::vector<BYTE> Bytes);
  TVoMAPIBinary(const TVoMAPIBinary&) = delete;
  TVoMAPIBinary& operator=(const TVoMAPIBinary&) = delete;
  const SBinary& Bin() const { return bin_; }
  const std::vector<BYTE>& Bytes() const { return bytes_; }

 private:
  std::vector<BYTE> bytes_;
  SBinary bin_;
};

// A byte array of Size bytes copied from Data; Null when Size <= 0 (or Data is null).
TVoMAPIEntryID BinToEntryID(LONG Size, const void* Data);
// The hexadecimal text; empty for no entry ID.
WideString EntryIDToStr(const TVoMAPIEntryID& EntryID);
AnsiString EntryIDToStrA(const TVoMAPIEntryID& EntryID);
WideString EntryIDToStrW(const TVoMAPIEntryID& EntryID);
// The entry ID of hexadecimal text (either case, blanks around it ignored). Text of odd
// length or with other characters raises E_INVALIDARG
// "The text "%s" is not a valid hexadecimal EntryID!".
TVoMAPIEntryID StrToEntryID(const AnsiString& Text);
TVoMAPIEntryID StrToEntryID(const WideString& Text);
// The bytes of an entry ID: a byte array, an array of numbers (each a byte), or none for
// Empty and Null; anything else raises a type mismatch (DISP_E_TYPEMISMATCH).
std::vector<BYTE> EntryIDToArr(const TVoMAPIEntryID& EntryID);
TVoMAPIEntryID ArrToEntryID(const std::vector<BYTE>& Bytes);
// The bytes as an SBinary-style count and buffer.
TVoMAPIBinary EntryIDToBin(const TVoMAPIEntryID& EntryID);
// The 16 bytes as a MAPI UID; any other length raises E_INVALIDARG
// "The size of the specified EntryID does not match the size of a TMAPIUID!".
MAPIUID EntryIDToUID(const TVoMAPIEntryID& EntryID);
// The bytes copied into MAPI memory allocated through Session (the caller frees it with
// MAPIFreeBuffer); Size receives their count. A missing session or an entry ID that is
// not a non-empty array fails the assertion "Empty EntryID values are not allowed!".
LPENTRYID _GetMAPIEntryID(TVoMAPISessionBase* Session, const TVoMAPIEntryID& EntryID, ULONG& Size);
// The retention policy tag of a policy GUID text ("{...}"): the GUID's 16 bytes as
// PR_POLICY_TAG stores them. Text that is not a GUID raises E_INVALIDARG.
TVoMAPIByteArray PolicyGuidToTag(const WideString& Text);

}  // namespace orba
