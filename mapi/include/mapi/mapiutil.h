// MAPI's utility entry points (MAPIUTIL.H, MAPIVAL.H): freeing row sets and address
// lists, reading whole tables, dispatching notifications, compressed RTF, conversation
// indexes, the default allocator, copying, comparing and validating property values,
// property data objects, text and number helpers and advise sinks. Declared as
// function types, because the library binds them by name at run time.
#pragma once

#include "mapi/mapidefs.h"

// WrapCompressedRTFStream.
inline constexpr ULONG MAPI_NATIVE_BODY = 0x00010000;  // also: STORE_UNCOMPRESSED_RTF, MAPI_MODIFY

// RTFSync.
inline constexpr ULONG RTF_SYNC_RTF_CHANGED = 0x00000001;
inline constexpr ULONG RTF_SYNC_BODY_CHANGED = 0x00000002;

using FREEPROWS = void(LPSRowSet lpRows);
using LPFREEPROWS = FREEPROWS*;

using FREEPADRLIST = void(LPADRLIST lpAdrlist);
using LPFREEPADRLIST = FREEPADRLIST*;

using HRQUERYALLROWS = HRESULT(LPMAPITABLE lpTable, LPSPropTagArray lpPropTags, LPSRestriction lpRestriction,
                               LPSSortOrderSet lpSortOrderSet, LONG crowsMax, LPSRowSet* lppRows);
using LPHRQUERYALLROWS = HRQUERYALLROWS*;

using HRDISPATCHNOTIFICATIONS = HRESULT(ULONG ulFlags);
using LPHRDISPATCHNOTIFICATIONS = HRDISPATCHNOTIFICATIONS*;

using WRAPCOMPRESSEDRTFSTREAM = HRESULT(LPSTREAM lpCompressedRTFStream, ULONG ulFlags,
                                        LPSTREAM* lpUncompressedRTFStream);
using LPWRAPCOMPRESSEDRTFSTREAM = WRAPCOMPRESSEDRTFSTREAM*;

using RTFSYNC = HRESULT(LPMESSAGE lpMessage, ULONG ulFlags, BOOL* lpfMessageUpdated);
using LPRTFSYNC = RTFSYNC*;

using SCCREATECONVERSATIONINDEX = SCODE(ULONG cbParent, LPBYTE lpbParent, ULONG* lpcbConvIndex, LPBYTE* lppbConvIndex);
using LPSCCREATECONVERSATIONINDEX = SCCREATECONVERSATIONINDEX*;

using MAPIGETDEFAULTMALLOC = LPMALLOC();
using LPMAPIGETDEFAULTMALLOC = MAPIGETDEFAULTMALLOC*;

// Maps a structured-storage error to the MAPI error of the same meaning.
using MAPSTORAGESCODE = SCODE(SCODE StgSCode);
using LPMAPSTORAGESCODE = MAPSTORAGESCODE*;

// Initialisation of the utility functions without MAPIInitialize; ulFlags is reserved.
using SCINITMAPIUTIL = SCODE(ULONG ulFlags);
using LPSCINITMAPIUTIL = SCINITMAPIUTIL*;
using DEINITMAPIUTIL = void();
using LPDEINITMAPIUTIL = DEINITMAPIUTIL*;

// Property values ---------------------------------------------------------------------

// Copies one value; the blocks it needs are allocated "more" on lpvObject.
using PROPCOPYMORE = SCODE(LPSPropValue lpSPropValueDest, LPSPropValue lpSPropValueSrc, ALLOCATEMORE* lpfAllocMore,
                           LPVOID lpvObject);
using LPPROPCOPYMORE = PROPCOPYMORE*;
// The bytes of a value's data, without the rest of its SPropValue.
using ULPROPSIZE = ULONG(LPSPropValue lpSPropValue);
using LPULPROPSIZE = ULPROPSIZE*;
// Whether lpSPropValueSrc is found in lpSPropValueDst as ulFuzzyLevel (FL_...) asks.
using FPROPCONTAINSPROP = BOOL(LPSPropValue lpSPropValueDst, LPSPropValue lpSPropValueSrc, ULONG ulFuzzyLevel);
using LPFPROPCONTAINSPROP = FPROPCONTAINSPROP*;
// Whether lpSPropValue1 ulRelOp (RELOP_...) lpSPropValue2 holds.
using FPROPCOMPAREPROP = BOOL(LPSPropValue lpSPropValue1, ULONG ulRelOp, LPSPropValue lpSPropValue2);
using LPFPROPCOMPAREPROP = FPROPCOMPAREPROP*;
// <0, 0 or >0 as lpSPropValueA is less than, equal to or greater than lpSPropValueB.
using LPROPCOMPAREPROP = LONG(LPSPropValue lpSPropValueA, LPSPropValue lpSPropValueB);
using LPLPROPCOMPAREPROP = LPROPCOMPAREPROP*;
// The value of ulPropTag in an array (by identifier alone when its type is
// PT_UNSPECIFIED), or null.
using PPROPFINDPROP = LPSPropValue(LPSPropValue lpPropArray, ULONG cValues, ULONG ulPropTag);
using LPPPROPFINDPROP = PPROPFINDPROP*;
// The value with the identifier of ulPropTag in an array, or null.
using LPVALFINDPROP = LPSPropValue(ULONG ulPropTag, ULONG cValues, LPSPropValue lpPropArray);
using LPLPVALFINDPROP = LPVALFINDPROP*;
// The bytes a copy of an array made by ScCopyProps takes (checking the array).
using SCCOUNTPROPS = SCODE(int cValues, LPSPropValue lpPropArray, ULONG* lpcb);
using LPSCCOUNTPROPS = SCCOUNTPROPS*;
// Copies an array and its data into one block at lpvDst (ScCountProps bytes).
using SCCOPYPROPS = SCODE(int cValues, LPSPropValue lpPropArray, LPVOID lpvDst, ULONG* lpcb);
using LPSCCOPYPROPS = SCCOPYPROPS*;
// Adjusts the pointers of an array copied by ScCopyProps from base lpvBaseOld to lpvBaseNew.
using SCRELOCPROPS = SCODE(int cValues, LPSPropValue lpPropArray, LPVOID lpvBaseOld, LPVOID lpvBaseNew, ULONG* lpcb);
using LPSCRELOCPROPS = SCRELOCPROPS*;
// Copies an array and its data into one new buffer of lpAllocateBuffer.
using SCDUPPROPSET = SCODE(int cValues, LPSPropValue lpPropArray, LPALLOCATEBUFFER lpAllocateBuffer,
                           LPSPropValue* lppPropArray);
using LPSCDUPPROPSET = SCDUPPROPSET*;
// One property of an object read or written.
using HRGETONEPROP = HRESULT(LPMAPIPROP lpMapiProp, ULONG ulPropTag, LPSPropValue* lppProp);
using LPHRGETONEPROP = HRGETONEPROP*;
using HRSETONEPROP = HRESULT(LPMAPIPROP lpMapiProp, LPSPropValue lpProp);
using LPHRSETONEPROP = HRSETONEPROP*;
// Whether an object has a property (of any type when ulPropTag's type is PT_UNSPECIFIED).
using FPROPEXISTS = BOOL(LPMAPIPROP lpMapiProp, ULONG ulPropTag);
using LPFPROPEXISTS = FPROPEXISTS*;

// Validation (MAPIVAL.H): TRUE when the structure is bad ---------------------------------

using FBADRGLPSZA = ULONG(LPSTR* lppszA, ULONG cStrings);
using LPFBADRGLPSZA = FBADRGLPSZA*;
using FBADRGLPSZW = ULONG(LPWSTR* lppszW, ULONG cStrings);
using LPFBADRGLPSZW = FBADRGLPSZW*;
using FBADROWSET = ULONG(LPSRowSet lpRowSet);
using LPFBADROWSET = FBADROWSET*;
using FBADROW = ULONG(LPSRow lprow);
using LPFBADROW = FBADROW*;
using FBADPROP = ULONG(LPSPropValue lpprop);
using LPFBADPROP = FBADPROP*;
using FBADPROPTAG = ULONG(ULONG ulPropTag);
using LPFBADPROPTAG = FBADPROPTAG*;
using FBADCOLUMNSET = ULONG(LPSPropTagArray lpptaCols);
using LPFBADCOLUMNSET = FBADCOLUMNSET*;
using FBADSORTORDERSET = ULONG(LPSSortOrderSet lpsos);
using LPFBADSORTORDERSET = FBADSORTORDERSET*;
using FBADRESTRICTION = ULONG(LPSRestriction lpres);
using LPFBADRESTRICTION = FBADRESTRICTION*;

// Property data objects (IPropData) ----------------------------------------------------

// Access levels and states of the object and of its properties.
inline constexpr ULONG IPROP_READONLY = 0x00000001;
inline constexpr ULONG IPROP_READWRITE = 0x00000002;
inline constexpr ULONG IPROP_CLEAN = 0x00010000;
inline constexpr ULONG IPROP_DIRTY = 0x00020000;

// A property object in memory whose access can be set per object and per property.
struct IPropData : IMAPIProp {
  STDMETHOD(HrSetObjAccess)(ULONG ulAccess) PURE;
  STDMETHOD(HrSetPropAccess)(LPSPropTagArray lpPropTagArray, ULONG* rgulAccess) PURE;
  STDMETHOD(HrGetPropAccess)(LPSPropTagArray* lppPropTagArray, ULONG** lprgulAccess) PURE;
  STDMETHOD(HrAddObjProps)(LPSPropTagArray lpPropTagArray, LPSPropProblemArray* lppProblems) PURE;
};
using LPPROPDATA = IPropData*;

ORBA_DECLARE_INTERFACE(IPropData, IMAPIProp, IID_IMAPIPropData);

// A new property data object whose memory comes from the allocators given.
using CREATEIPROP = SCODE(LPCIID lpInterface, ALLOCATEBUFFER* lpAllocateBuffer, ALLOCATEMORE* lpAllocateMore,
                          FREEBUFFER* lpFreeBuffer, LPVOID lpvReserved, LPPROPDATA* lppPropData);
using LPCREATEIPROP = CREATEIPROP*;

// Text and numbers ------------------------------------------------------------------------

// Swap the bytes of each of cw words (cl longs) in place; return the array.
using SWAPPWORD = WORD*(WORD* lpw, int cw);
using LPSWAPPWORD = SWAPPWORD*;
using SWAPPLONG = LPULONG(LPULONG lpul, int cl);
using LPSWAPPLONG = SWAPPLONG*;
// cb bytes as upper-case hexadecimal text (2 * cb + 1 characters with the terminator).
using HEXFROMBIN = void(LPBYTE pb, int cb, LPTSTR sz);
using LPHEXFROMBIN = HEXFROMBIN*;
// Hexadecimal text to bytes; FALSE for a character that is not a digit or an odd length.
using FBINFROMHEX = BOOL(LPTSTR sz, LPBYTE pb);
using LPFBINFROMHEX = FBINFROMHEX*;
// The number of the leading decimal (hexadecimal) digits; 0 without any.
using UFROMSZ = UINT(LPCTSTR lpsz);
using LPUFROMSZ = UFROMSZ*;
using ULFROMSZHEX = ULONG(LPCTSTR lpsz);
using LPULFROMSZHEX = ULFROMSZHEX*;
// The bytes an identifier encoded as text (6 bits a character) decodes to.
using CBOFENCODED = ULONG(LPCTSTR lpszEnc);
using LPCBOFENCODED = CBOFENCODED*;
// Whether the text at lpsz cannot be read up to its terminator or cchMax characters.
using ISBADBOUNDEDSTRINGPTR = BOOL(const void* lpsz, UINT cchMax);
using LPISBADBOUNDEDSTRINGPTR = ISBADBOUNDEDSTRINGPTR*;

// Advise sinks ------------------------------------------------------------------------------

// An advise sink that calls lpfnCallback with lpvContext for each OnNotify.
using HRALLOCADVISESINK = HRESULT(LPNOTIFCALLBACK lpfnCallback, LPVOID lpvContext, LPMAPIADVISESINK* lppAdviseSink);
using LPHRALLOCADVISESINK = HRALLOCADVISESINK*;
// An advise sink that hands lpAdviseSink its notifications on the calling thread.
using HRTHISTHREADADVISESINK = HRESULT(LPMAPIADVISESINK lpAdviseSink, LPMAPIADVISESINK* lppAdviseSink);
using LPHRTHISTHREADADVISESINK = HRTHISTHREADADVISESINK*;
