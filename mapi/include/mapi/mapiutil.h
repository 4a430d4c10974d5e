// MAPI's utility entry points (MAPIUTIL.H): freeing row sets and address lists,
// reading whole tables, dispatching notifications, compressed RTF, conversation
// indexes and the default allocator. Declared as function types, because the
// library binds them by name at run time.
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
