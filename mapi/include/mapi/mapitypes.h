// MAPI's data structures and property types, laid out as the published MAPIDEFS.H
// lays them out on 64-bit Windows (32-bit ULONG and LONG, 64-bit pointers), so that
// values cross the seam unchanged.
//
// Structures that end in a one-element array are variable-sized: allocate them with
// the CbNew... sizes; the Sized... templates give fixed-size variants whose Ptr()
// hands out the pointer type MAPI takes.
#pragma once

#include "orba/common/com.h"

using LONG_PTR = intptr_t;
using LPULONG = ULONG*;
using LPLONG = LONG*;
using LHANDLE = ULONG_PTR;
using LPLHANDLE = LHANDLE*;
using LPCIID = const IID*;

// MAPI's string parameters are 8-bit text, or UTF-16 text when the call carries
// MAPI_UNICODE; the declared type is that of the 8-bit form, and UTF-16 strings are
// passed cast to it.
using TCHAR = char;
using LPTSTR = TCHAR*;
using LPCTSTR = const TCHAR*;

// Entry identifiers -----------------------------------------------------------

struct ENTRYID {
  BYTE abFlags[4];
  BYTE ab[1];
};
using LPENTRYID = ENTRYID*;

inline constexpr size_t CbNewENTRYID(size_t cb) { return offsetof(ENTRYID, ab) + cb; }
inline constexpr size_t CbENTRYID(size_t cb) { return offsetof(ENTRYID, ab) + cb; }

template <size_t N>
struct SizedENTRYID {
  BYTE abFlags[4];
  BYTE ab[N];
  LPENTRYID Ptr() { return reinterpret_cast<LPENTRYID>(this); }
};

// Byte-order independent unique identifier.
struct MAPIUID {
  BYTE ab[16];
};
using LPMAPIUID = MAPIUID*;

inline bool IsEqualMAPIUID(const MAPIUID* a, const MAPIUID* b) { return std::memcmp(a, b, sizeof(MAPIUID)) == 0; }

// Property types ----------------------------------------------------------------

inline constexpr ULONG MV_FLAG = 0x1000;
inline constexpr ULONG MV_INSTANCE = 0x2000;
inline constexpr ULONG MVI_FLAG = MV_FLAG | MV_INSTANCE;

inline constexpr ULONG PT_UNSPECIFIED = 0;
inline constexpr ULONG PT_NULL = 1;
inline constexpr ULONG PT_I2 = 2;
inline constexpr ULONG PT_LONG = 3;
inline constexpr ULONG PT_R4 = 4;
inline constexpr ULONG PT_DOUBLE = 5;
inline constexpr ULONG PT_CURRENCY = 6;
inline constexpr ULONG PT_APPTIME = 7;
inline constexpr ULONG PT_ERROR = 10;
inline constexpr ULONG PT_BOOLEAN = 11;
inline constexpr ULONG PT_OBJECT = 13;
inline constexpr ULONG PT_I8 = 20;
inline constexpr ULONG PT_STRING8 = 30;
inline constexpr ULONG PT_UNICODE = 31;
inline constexpr ULONG PT_SYSTIME = 64;
inline constexpr ULONG PT_CLSID = 72;
inline constexpr ULONG PT_SVREID = 0xFB;        // server entry ID (Exchange)
inline constexpr ULONG PT_SRESTRICTION = 0xFD;  // a restriction (Exchange)
inline constexpr ULONG PT_ACTIONS = 0xFE;       // rule actions (Exchange)
inline constexpr ULONG PT_BINARY = 258;
inline constexpr ULONG PT_PTR = 259;

inline constexpr ULONG PT_SHORT = PT_I2;
inline constexpr ULONG PT_I4 = PT_LONG;
inline constexpr ULONG PT_FLOAT = PT_R4;
inline constexpr ULONG PT_R8 = PT_DOUBLE;
inline constexpr ULONG PT_LONGLONG = PT_I8;

inline constexpr ULONG PT_MV_I2 = MV_FLAG | PT_I2;
inline constexpr ULONG PT_MV_LONG = MV_FLAG | PT_LONG;
inline constexpr ULONG PT_MV_R4 = MV_FLAG | PT_R4;
inline constexpr ULONG PT_MV_DOUBLE = MV_FLAG | PT_DOUBLE;
inline constexpr ULONG PT_MV_CURRENCY = MV_FLAG | PT_CURRENCY;
inline constexpr ULONG PT_MV_APPTIME = MV_FLAG | PT_APPTIME;
inline constexpr ULONG PT_MV_SYSTIME = MV_FLAG | PT_SYSTIME;
inline constexpr ULONG PT_MV_STRING8 = MV_FLAG | PT_STRING8;
inline constexpr ULONG PT_MV_BINARY = MV_FLAG | PT_BINARY;
inline constexpr ULONG PT_MV_UNICODE = MV_FLAG | PT_UNICODE;
inline constexpr ULONG PT_MV_CLSID = MV_FLAG | PT_CLSID;
inline constexpr ULONG PT_MV_I8 = MV_FLAG | PT_I8;

inline constexpr ULONG PT_MV_SHORT = PT_MV_I2;
inline constexpr ULONG PT_MV_I4 = PT_MV_LONG;
inline constexpr ULONG PT_MV_FLOAT = PT_MV_R4;
inline constexpr ULONG PT_MV_R8 = PT_MV_DOUBLE;
inline constexpr ULONG PT_MV_LONGLONG = PT_MV_I8;

// Property tags: the type in the low 16 bits, the identifier in the high 16 bits.
inline constexpr ULONG PROP_TYPE_MASK = 0x0000FFFF;
inline constexpr ULONG PROP_ID_NULL = 0;
inline constexpr ULONG PROP_ID_INVALID = 0xFFFF;
inline constexpr ULONG PROP_ID_SECURE_MIN = 0x67F0;
inline constexpr ULONG PROP_ID_SECURE_MAX = 0x67FF;

inline constexpr ULONG PROP_TAG(ULONG propType, ULONG propId) { return (propId << 16) | propType; }
inline constexpr ULONG PROP_TYPE(ULONG propTag) { return propTag & PROP_TYPE_MASK; }
inline constexpr ULONG PROP_ID(ULONG propTag) { return propTag >> 16; }
inline constexpr ULONG CHANGE_PROP_TYPE(ULONG propTag, ULONG propType) { return (0xFFFF0000u & propTag) | propType; }
inline constexpr ULONG MVI_PROP(ULONG propTag) { return propTag | MVI_FLAG; }

// Property tag arrays -------------------------------------------------------------

struct SPropTagArray {
  ULONG cValues;
  ULONG aulPropTag[1];
};
using LPSPropTagArray = SPropTagArray*;

inline constexpr size_t CbNewSPropTagArray(size_t count) {
  return offsetof(SPropTagArray, aulPropTag) + count * sizeof(ULONG);
}
inline size_t CbSPropTagArray(const SPropTagArray* array) { return CbNewSPropTagArray(array->cValues); }

template <size_t N>
struct SizedSPropTagArray {
  ULONG cValues;
  ULONG aulPropTag[N];
  LPSPropTagArray Ptr() { return reinterpret_cast<LPSPropTagArray>(this); }
};

// Property values -----------------------------------------------------------------

union CURRENCY {
  struct {
    ULONG Lo;
    LONG Hi;
  };
  LONGLONG int64;
};
using CY = CURRENCY;

struct SBinary {
  ULONG cb;
  LPBYTE lpb;
};
using LPSBinary = SBinary*;

struct SShortArray {
  ULONG cValues;
  int16_t* lpi;
};
struct SGuidArray {
  ULONG cValues;
  GUID* lpguid;
};
struct SRealArray {
  ULONG cValues;
  float* lpflt;
};
struct SLongArray {
  ULONG cValues;
  LONG* lpl;
};
struct SLargeIntegerArray {
  ULONG cValues;
  LARGE_INTEGER* lpli;
};
struct SDateTimeArray {
  ULONG cValues;
  FILETIME* lpft;
};
struct SAppTimeArray {
  ULONG cValues;
  double* lpat;
};
struct SCurrencyArray {
  ULONG cValues;
  CURRENCY* lpcur;
};
struct SBinaryArray {
  ULONG cValues;
  SBinary* lpbin;
};
struct SDoubleArray {
  ULONG cValues;
  double* lpdbl;
};
struct SWStringArray {
  ULONG cValues;
  LPWSTR* lppszW;
};
struct SLPSTRArray {
  ULONG cValues;
  LPSTR* lppszA;
};

// The value of a property; the member to read follows the tag's type.
union __UPV {
  int16_t i;                // PT_I2
  LONG l;                   // PT_LONG
  ULONG ul;                 // PT_LONG, unsigned
  LPVOID lpv;               // PT_PTR
  float flt;                // PT_R4
  double dbl;               // PT_DOUBLE
  uint16_t b;               // PT_BOOLEAN
  CURRENCY cur;             // PT_CURRENCY
  double at;                // PT_APPTIME
  FILETIME ft;              // PT_SYSTIME
  LPSTR lpszA;              // PT_STRING8
  SBinary bin;              // PT_BINARY
  LPWSTR lpszW;             // PT_UNICODE
  LPGUID lpguid;            // PT_CLSID
  LARGE_INTEGER li;         // PT_I8
  SShortArray MVi;          // PT_MV_I2
  SLongArray MVl;           // PT_MV_LONG
  SRealArray MVflt;         // PT_MV_R4
  SDoubleArray MVdbl;       // PT_MV_DOUBLE
  SCurrencyArray MVcur;     // PT_MV_CURRENCY
  SAppTimeArray MVat;       // PT_MV_APPTIME
  SDateTimeArray MVft;      // PT_MV_SYSTIME
  SBinaryArray MVbin;       // PT_MV_BINARY
  SLPSTRArray MVszA;        // PT_MV_STRING8
  SWStringArray MVszW;      // PT_MV_UNICODE
  SGuidArray MVguid;        // PT_MV_CLSID
  SLargeIntegerArray MVli;  // PT_MV_I8
  SCODE err;                // PT_ERROR
  LONG x;                   // PT_NULL, PT_OBJECT
};

struct SPropValue {
  ULONG ulPropTag;
  ULONG dwAlignPad;
  __UPV Value;
};
using LPSPropValue = SPropValue*;

// Property problems -----------------------------------------------------------------

struct SPropProblem {
  ULONG ulIndex;
  ULONG ulPropTag;
  SCODE scode;
};
using LPSPropProblem = SPropProblem*;

struct SPropProblemArray {
  ULONG cProblem;
  SPropProblem aProblem[1];
};
using LPSPropProblemArray = SPropProblemArray*;

inline constexpr size_t CbNewSPropProblemArray(size_t count) {
  return offsetof(SPropProblemArray, aProblem) + count * sizeof(SPropProblem);
}
inline size_t CbSPropProblemArray(const SPropProblemArray* array) { return CbNewSPropProblemArray(array->cProblem); }

template <size_t N>
struct SizedSPropProblemArray {
  ULONG cProblem;
  SPropProblem aProblem[N];
  LPSPropProblemArray Ptr() { return reinterpret_cast<LPSPropProblemArray>(this); }
};

// Property attributes (IPropData).
struct SPropAttrArray {
  ULONG cValues;
  ULONG aPropAttr[1];
};
using LPSPropAttrArray = SPropAttrArray*;

inline constexpr size_t CbNewSPropAttrArray(size_t count) {
  return offsetof(SPropAttrArray, aPropAttr) + count * sizeof(ULONG);
}

inline constexpr ULONG PROPATTR_MANDATORY = 0x00000001;
inline constexpr ULONG PROPATTR_READABLE = 0x00000002;
inline constexpr ULONG PROPATTR_WRITEABLE = 0x00000004;
inline constexpr ULONG PROPATTR_NOT_PRESENT = 0x00000008;

// Entry lists -------------------------------------------------------------------------

using ENTRYLIST = SBinaryArray;
using LPENTRYLIST = ENTRYLIST*;

struct FLATENTRY {
  ULONG cb;
  BYTE abEntry[1];
};
using LPFLATENTRY = FLATENTRY*;

// Entries packed one after the other, each a FLATENTRY padded to a multiple of 4.
struct FLATENTRYLIST {
  ULONG cEntries;
  ULONG cbEntries;
  BYTE abEntries[1];
};
using LPFLATENTRYLIST = FLATENTRYLIST*;

struct MTSID {
  ULONG cb;
  BYTE ab[1];
};
using LPMTSID = MTSID*;

struct FLATMTSIDLIST {
  ULONG cMTSIDs;
  ULONG cbMTSIDs;
  BYTE abMTSIDs[1];
};
using LPFLATMTSIDLIST = FLATMTSIDLIST*;

inline constexpr size_t CbNewFLATENTRY(size_t cb) { return offsetof(FLATENTRY, abEntry) + cb; }
inline size_t CbFLATENTRY(const FLATENTRY* entry) { return CbNewFLATENTRY(entry->cb); }
inline constexpr size_t CbNewFLATENTRYLIST(size_t cb) { return offsetof(FLATENTRYLIST, abEntries) + cb; }
inline size_t CbFLATENTRYLIST(const FLATENTRYLIST* list) { return CbNewFLATENTRYLIST(list->cbEntries); }
inline constexpr size_t CbNewMTSID(size_t cb) { return offsetof(MTSID, ab) + cb; }
inline size_t CbMTSID(const MTSID* id) { return CbNewMTSID(id->cb); }
inline constexpr size_t CbNewFLATMTSIDLIST(size_t cb) { return offsetof(FLATMTSIDLIST, abMTSIDs) + cb; }
inline size_t CbFLATMTSIDLIST(const FLATMTSIDLIST* list) { return CbNewFLATMTSIDLIST(list->cbMTSIDs); }

// Address lists and row sets (an SRow maps onto an ADRENTRY) ---------------------------

struct ADRENTRY {
  ULONG ulReserved1;
  ULONG cValues;
  LPSPropValue rgPropVals;
};
using LPADRENTRY = ADRENTRY*;

struct ADRLIST {
  ULONG cEntries;
  ADRENTRY aEntries[1];
};
using LPADRLIST = ADRLIST*;

inline constexpr size_t CbNewADRLIST(size_t count) { return offsetof(ADRLIST, aEntries) + count * sizeof(ADRENTRY); }
inline size_t CbADRLIST(const ADRLIST* list) { return CbNewADRLIST(list->cEntries); }

template <size_t N>
struct SizedADRLIST {
  ULONG cEntries;
  ADRENTRY aEntries[N];
  LPADRLIST Ptr() { return reinterpret_cast<LPADRLIST>(this); }
};

struct SRow {
  ULONG ulAdrEntryPad;
  ULONG cValues;
  LPSPropValue lpProps;
};
using LPSRow = SRow*;

struct SRowSet {
  ULONG cRows;
  SRow aRow[1];
};
using LPSRowSet = SRowSet*;

inline constexpr size_t CbNewSRowSet(size_t count) { return offsetof(SRowSet, aRow) + count * sizeof(SRow); }
inline size_t CbSRowSet(const SRowSet* rows) { return CbNewSRowSet(rows->cRows); }

template <size_t N>
struct SizedSRowSet {
  ULONG cRows;
  SRow aRow[N];
  LPSRowSet Ptr() { return reinterpret_cast<LPSRowSet>(this); }
};

// Sort orders ---------------------------------------------------------------------------

struct SSortOrder {
  ULONG ulPropTag;
  ULONG ulOrder;  // TABLE_SORT_...
};
using LPSSortOrder = SSortOrder*;

struct SSortOrderSet {
  ULONG cSorts;
  ULONG cCategories;
  ULONG cExpanded;
  SSortOrder aSort[1];
};
using LPSSortOrderSet = SSortOrderSet*;

inline constexpr size_t CbNewSSortOrderSet(size_t count) {
  return offsetof(SSortOrderSet, aSort) + count * sizeof(SSortOrder);
}
inline size_t CbSSortOrderSet(const SSortOrderSet* set) { return CbNewSSortOrderSet(set->cSorts); }

template <size_t N>
struct SizedSSortOrderSet {
  ULONG cSorts;
  ULONG cCategories;
  ULONG cExpanded;
  SSortOrder aSort[N];
  LPSSortOrderSet Ptr() { return reinterpret_cast<LPSSortOrderSet>(this); }
};

using BOOKMARK = ULONG_PTR;

// Restrictions --------------------------------------------------------------------------

struct SRestriction;
using LPSRestriction = SRestriction*;

struct SAndRestriction {
  ULONG cRes;
  LPSRestriction lpRes;
};
struct SOrRestriction {
  ULONG cRes;
  LPSRestriction lpRes;
};
struct SNotRestriction {
  ULONG ulReserved;
  LPSRestriction lpRes;
};
struct SContentRestriction {
  ULONG ulFuzzyLevel;
  ULONG ulPropTag;
  LPSPropValue lpProp;
};
struct SBitMaskRestriction {
  ULONG relBMR;
  ULONG ulPropTag;
  ULONG ulMask;
};
struct SPropertyRestriction {
  ULONG relop;
  ULONG ulPropTag;
  LPSPropValue lpProp;
};
struct SComparePropsRestriction {
  ULONG relop;
  ULONG ulPropTag1;
  ULONG ulPropTag2;
};
struct SSizeRestriction {
  ULONG relop;
  ULONG ulPropTag;
  ULONG cb;
};
struct SExistRestriction {
  ULONG ulReserved1;
  ULONG ulPropTag;
  ULONG ulReserved2;
};
struct SSubRestriction {
  ULONG ulSubObject;
  LPSRestriction lpRes;
};
struct SCommentRestriction {
  ULONG cValues;
  LPSRestriction lpRes;
  LPSPropValue lpProp;
};
struct SAnnotationRestriction {
  ULONG cValues;
  LPSRestriction lpRes;
  LPSPropValue lpProp;
};
struct SCountRestriction {
  ULONG ulCount;
  LPSRestriction lpRes;
};

struct SRestriction {
  ULONG rt;  // RES_...
  union {
    SComparePropsRestriction resCompareProps;  // first, for static initialisation
    SAndRestriction resAnd;
    SOrRestriction resOr;
    SNotRestriction resNot;
    SContentRestriction resContent;
    SPropertyRestriction resProperty;
    SBitMaskRestriction resBitMask;
    SSizeRestriction resSize;
    SExistRestriction resExist;
    SSubRestriction resSub;
    SCommentRestriction resComment;
    SAnnotationRestriction resAnnotation;
    SCountRestriction resCount;
  } res;
};

// Extended error information --------------------------------------------------------------

struct MAPIERROR {
  ULONG ulVersion;
  LPTSTR lpszError;
  LPTSTR lpszComponent;
  ULONG ulLowLevelError;
  ULONG ulContext;
};
using LPMAPIERROR = MAPIERROR*;

// Notifications ------------------------------------------------------------------------------

struct ERROR_NOTIFICATION {
  ULONG cbEntryID;
  LPENTRYID lpEntryID;
  SCODE scode;
  ULONG ulFlags;  // 0 or MAPI_UNICODE
  LPMAPIERROR lpMAPIError;
};

struct NEWMAIL_NOTIFICATION {
  ULONG cbEntryID;
  LPENTRYID lpEntryID;  // the new message
  ULONG cbParentID;
  LPENTRYID lpParentID;  // the folder it arrived in
  ULONG ulFlags;         // 0 or MAPI_UNICODE
  LPTSTR lpszMessageClass;
  ULONG ulMessageFlags;
};

struct OBJECT_NOTIFICATION {
  ULONG cbEntryID;
  LPENTRYID lpEntryID;
  ULONG ulObjType;
  ULONG cbParentID;
  LPENTRYID lpParentID;
  ULONG cbOldID;
  LPENTRYID lpOldID;
  ULONG cbOldParentID;
  LPENTRYID lpOldParentID;
  LPSPropTagArray lpPropTagArray;
};

struct TABLE_NOTIFICATION {
  ULONG ulTableEvent;  // TABLE_...
  HRESULT hResult;     // for TABLE_ERROR
  SPropValue propIndex;
  SPropValue propPrior;
  SRow row;
  ULONG ulPad;
};

struct EXTENDED_NOTIFICATION {
  ULONG ulEvent;
  ULONG cb;
  LPBYTE pbEventParameters;
};

struct STATUS_OBJECT_NOTIFICATION {
  ULONG cbEntryID;
  LPENTRYID lpEntryID;
  ULONG cValues;
  LPSPropValue lpPropVals;
};

struct NOTIFICATION {
  ULONG ulEventType;  // fnev...
  ULONG ulAlignPad;
  union {
    ERROR_NOTIFICATION err;
    NEWMAIL_NOTIFICATION newmail;
    OBJECT_NOTIFICATION obj;
    TABLE_NOTIFICATION tab;
    EXTENDED_NOTIFICATION ext;
    STATUS_OBJECT_NOTIFICATION statobj;
  } info;
};
using LPNOTIFICATION = NOTIFICATION*;

// Named properties -------------------------------------------------------------------------------

inline constexpr ULONG MNID_ID = 0;
inline constexpr ULONG MNID_STRING = 1;

struct MAPINAMEID {
  LPGUID lpguid;
  ULONG ulKind;  // MNID_ID or MNID_STRING
  union {
    LONG_PTR lID_Reserved;
    LONG lID;
    LPWSTR lpwstrName;
  } Kind;
};
using LPMAPINAMEID = MAPINAMEID*;

// Flag lists (IABContainer::ResolveNames) ----------------------------------------------------------

struct FlagList {
  ULONG cFlags;
  ULONG ulFlag[1];
};
using LPFlagList = FlagList*;

inline constexpr size_t CbNewFlagList(size_t count) { return offsetof(FlagList, ulFlag) + count * sizeof(ULONG); }

// Per-user read state of a message, by source key.
struct READSTATE {
  ULONG cbSourceKey;
  BYTE* pbSourceKey;
  ULONG ulFlags;  // MSGFLAG_READ or 0
};
using LPREADSTATE = READSTATE*;

// Memory allocation -----------------------------------------------------------------------------------

using ALLOCATEBUFFER = SCODE(ULONG cbSize, LPVOID* lppBuffer);
using ALLOCATEMORE = SCODE(ULONG cbSize, LPVOID lpObject, LPVOID* lppBuffer);
using FREEBUFFER = ULONG(LPVOID lpBuffer);
using LPALLOCATEBUFFER = ALLOCATEBUFFER*;
using LPALLOCATEMORE = ALLOCATEMORE*;
using LPFREEBUFFER = FREEBUFFER*;
