// MAPI's interface identifiers and well-known property sets and profile sections,
// with the values of the published MAPIGUID.H.
#pragma once

#include "mapi/mapitypes.h"

// MAPI's GUIDs lie in OLE's range: {l-w1-w2-C000-000000000046}.
inline constexpr GUID MakeOleGuid(uint32_t l, uint16_t w1 = 0, uint16_t w2 = 0) {
  return GUID{l, w1, w2, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
}

// Interfaces deriving from IUnknown.
inline constexpr IID IID_IMAPISession = MakeOleGuid(0x00020300);
inline constexpr IID IID_IMAPITable = MakeOleGuid(0x00020301);
inline constexpr IID IID_IMAPIAdviseSink = MakeOleGuid(0x00020302);
inline constexpr IID IID_IMAPIControl = MakeOleGuid(0x0002031B);
inline constexpr IID IID_IProfAdmin = MakeOleGuid(0x0002031C);
inline constexpr IID IID_IMsgServiceAdmin = MakeOleGuid(0x0002031D);
inline constexpr IID IID_IProviderAdmin = MakeOleGuid(0x00020325);
inline constexpr IID IID_IMAPIProgress = MakeOleGuid(0x0002031F);
inline constexpr IID IID_IMAPIClientShutdown = MakeOleGuid(0x00020397);
inline constexpr IID IID_IMAPIProviderShutdown = MakeOleGuid(0x00020398);

// IMAPIProp and its descendants.
inline constexpr IID IID_IMAPIProp = MakeOleGuid(0x00020303);
inline constexpr IID IID_IProfSect = MakeOleGuid(0x00020304);
inline constexpr IID IID_IMAPIStatus = MakeOleGuid(0x00020305);
inline constexpr IID IID_IMsgStore = MakeOleGuid(0x00020306);
inline constexpr IID IID_IMessage = MakeOleGuid(0x00020307);
inline constexpr IID IID_IAttachment = MakeOleGuid(0x00020308);
inline constexpr IID IID_IAddrBook = MakeOleGuid(0x00020309);
inline constexpr IID IID_IMailUser = MakeOleGuid(0x0002030A);
inline constexpr IID IID_IMAPIContainer = MakeOleGuid(0x0002030B);
inline constexpr IID IID_IMAPIFolder = MakeOleGuid(0x0002030C);
inline constexpr IID IID_IABContainer = MakeOleGuid(0x0002030D);
inline constexpr IID IID_IDistList = MakeOleGuid(0x0002030E);

// Service provider interfaces.
inline constexpr IID IID_IMAPISup = MakeOleGuid(0x0002030F);
inline constexpr IID IID_IMSProvider = MakeOleGuid(0x00020310);
inline constexpr IID IID_IABProvider = MakeOleGuid(0x00020311);
inline constexpr IID IID_IXPProvider = MakeOleGuid(0x00020312);
inline constexpr IID IID_IMSLogon = MakeOleGuid(0x00020313);
inline constexpr IID IID_IABLogon = MakeOleGuid(0x00020314);
inline constexpr IID IID_IXPLogon = MakeOleGuid(0x00020315);
inline constexpr IID IID_IMAPITableData = MakeOleGuid(0x00020316);
inline constexpr IID IID_IMAPISpoolerInit = MakeOleGuid(0x00020317);
inline constexpr IID IID_IMAPISpoolerSession = MakeOleGuid(0x00020318);
inline constexpr IID IID_ITNEF = MakeOleGuid(0x00020319);
inline constexpr IID IID_IMAPIPropData = MakeOleGuid(0x0002031A);
inline constexpr IID IID_IMAPISpoolerService = MakeOleGuid(0x0002031E);
inline constexpr IID IID_ISpoolerHook = MakeOleGuid(0x00020320);

// Forms.
inline constexpr IID IID_IMAPIViewContext = MakeOleGuid(0x00020321);
inline constexpr IID IID_IMAPIFormMgr = MakeOleGuid(0x00020322);
inline constexpr IID IID_IEnumMAPIFormProp = MakeOleGuid(0x00020323);
inline constexpr IID IID_IMAPIFormInfo = MakeOleGuid(0x00020324);
inline constexpr IID IID_IMAPIForm = MakeOleGuid(0x00020327);
inline constexpr IID IID_IPersistMessage = MakeOleGuid(0x0002032A);
inline constexpr IID IID_IMAPIViewAdviseSink = MakeOleGuid(0x0002032B);
inline constexpr IID IID_IMAPIFormProp = MakeOleGuid(0x0002032D);
inline constexpr IID IID_IMAPIFormContainer = MakeOleGuid(0x0002032E);
inline constexpr IID IID_IMAPIFormAdviseSink = MakeOleGuid(0x0002032F);
inline constexpr IID IID_IMAPIFormFactory = MakeOleGuid(0x00020350);
inline constexpr IID IID_IMAPIMessageSite = MakeOleGuid(0x00020370);

// Streams handed out by OpenProperty.
inline constexpr IID IID_IStreamDocfile = MakeOleGuid(0x0002032C);
inline constexpr IID IID_IStreamTnef = MakeOleGuid(0x00020330);

// Property sets for name-to-identifier mapping.
inline constexpr GUID PS_MAPI = MakeOleGuid(0x00020328);
inline constexpr GUID PS_PUBLIC_STRINGS = MakeOleGuid(0x00020329);
inline constexpr GUID PS_INTERNET_HEADERS = MakeOleGuid(0x00020386);

// Property sets that gateways convert when routing documents.
inline constexpr GUID PS_ROUTING_EMAIL_ADDRESSES = MakeOleGuid(0x00020380);
inline constexpr GUID PS_ROUTING_ADDRTYPE = MakeOleGuid(0x00020381);
inline constexpr GUID PS_ROUTING_DISPLAY_NAME = MakeOleGuid(0x00020382);
inline constexpr GUID PS_ROUTING_ENTRYID = MakeOleGuid(0x00020383);
inline constexpr GUID PS_ROUTING_SEARCH_KEY = MakeOleGuid(0x00020384);

// The profile section whose search key is unique per profile.
inline constexpr GUID MUID_PROFILE_INSTANCE = MakeOleGuid(0x00020385);

// The profile section holding the profile's global settings (store server, mailbox).
inline constexpr MAPIUID pbGlobalProfileSectionGuid = {
    {0x13, 0xDB, 0xB0, 0xC8, 0xAA, 0x05, 0x10, 0x1A, 0x9B, 0xB0, 0x00, 0xAA, 0x00, 0x2F, 0xC4, 0x5A}};

// The section of a profile holding its public properties.
inline constexpr MAPIUID PS_PROFILE_PROPERTIES = {
    {0x98, 0x15, 0xAC, 0x08, 0xAA, 0xB0, 0x10, 0x1A, 0x8C, 0x93, 0x08, 0x00, 0x2B, 0x2A, 0x56, 0xC2}};

// The provider UID of one-off entry IDs, and the flags such an entry ID carries.
inline constexpr MAPIUID MAPI_ONE_OFF_UID = {
    {0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10, 0x19, 0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02}};
inline constexpr ULONG MAPI_ONE_OFF_UNICODE = 0x8000;
inline constexpr ULONG MAPI_ONE_OFF_NO_RICH_INFO = 0x0001;
