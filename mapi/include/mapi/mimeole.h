// The MIME converter (IConverterSession): converts between MAPI messages and MIME
// streams. Created as CLSID_IConverterSession. Methods are in the published order;
// the placeholders are unsupported slots that keep the virtual table in shape.
#pragma once

#include "mapi/mapix.h"

enum ENCODINGTYPE : int {
  IET_BINARY = 0,
  IET_BASE64 = 1,
  IET_UUENCODE = 2,
  IET_QP = 3,
  IET_7BIT = 4,
  IET_8BIT = 5,
  IET_INETCSET = 6,
  IET_UNICODE = 7,
  IET_RFC1522 = 8,
  IET_ENCODED = 9,
  IET_CURRENT = 10,
  IET_UNKNOWN = 11,
  IET_BINHEX40 = 12,
  IET_LAST = 13,
};

enum MIMESAVETYPE : int { SAVE_RFC822 = 0, SAVE_RFC1521 = 1 };

enum CSETAPPLYTYPE : int { CSET_APPLY_UNTAGGED = 0, CSET_APPLY_ALL = 1, CSET_APPLY_TAG_ALL = 2 };

// An opaque character set handle.
struct HCHARSET_OPAQUE;
using HCHARSET = HCHARSET_OPAQUE*;

// Conversion flags.
inline constexpr ULONG CCSF_SMTP = 0x00000002;              // the source is an SMTP message
inline constexpr ULONG CCSF_NOHEADERS = 0x00000004;         // ignore the outer message's headers
inline constexpr ULONG CCSF_USE_TNEF = 0x00000010;          // embed TNEF in the MIME message
inline constexpr ULONG CCSF_INCLUDE_BCC = 0x00000020;       // include Bcc recipients
inline constexpr ULONG CCSF_8BITHEADERS = 0x00000040;       // allow 8-bit headers
inline constexpr ULONG CCSF_USE_RTF = 0x00000080;           // convert HTML to RTF
inline constexpr ULONG CCSF_PLAIN_TEXT_ONLY = 0x00001000;   // send plain text only
inline constexpr ULONG CCSF_NO_MSGID = 0x00004000;          // no Message-Id in outgoing messages
inline constexpr ULONG CCSF_EMBEDDED_MESSAGE = 0x00008000;  // keep sent/unsent state in X-Unsent
inline constexpr ULONG CCSF_PRESERVE_SOURCE = 0x00040000;   // do not modify the source message
inline constexpr ULONG CCSF_GLOBAL_MESSAGE = 0x00200000;    // build an internationalised message

struct IConverterSession : IUnknown {
  STDMETHOD(SetAdrBook)(LPADRBOOK pab) PURE;
  STDMETHOD(SetEncoding)(ENCODINGTYPE et) PURE;
  STDMETHOD(PlaceHolder1)() PURE;
  STDMETHOD(MIMEToMAPI)(LPSTREAM pstm, LPMESSAGE pmsg, LPCSTR pszSrcSrv, ULONG ulFlags) PURE;
  STDMETHOD(MAPIToMIMEStm)(LPMESSAGE pmsg, LPSTREAM pstm, ULONG ulFlags) PURE;
  STDMETHOD(PlaceHolder2)() PURE;
  STDMETHOD(PlaceHolder3)() PURE;
  STDMETHOD(PlaceHolder4)() PURE;
  STDMETHOD(SetTextWrapping)(BOOL fWrapText, ULONG ulWrapWidth) PURE;
  STDMETHOD(SetSaveFormat)(MIMESAVETYPE mstSaveFormat) PURE;
  STDMETHOD(PlaceHolder5)() PURE;
  STDMETHOD(SetCharset)(BOOL fApply, HCHARSET hcharset, CSETAPPLYTYPE csetapplytype) PURE;
};
using LPCONVERTERSESSION = IConverterSession*;

inline constexpr CLSID CLSID_IConverterSession = {
    0x4E3A7680, 0xB77A, 0x11D0, {0x9D, 0xA5, 0x00, 0xC0, 0x4F, 0xD6, 0x56, 0x85}};
inline constexpr IID IID_IConverterSession = {
    0x4B401570, 0xB77B, 0x11D0, {0x9D, 0xA5, 0x00, 0xC0, 0x4F, 0xD6, 0x56, 0x85}};

ORBA_DECLARE_INTERFACE(IConverterSession, IUnknown, IID_IConverterSession);
