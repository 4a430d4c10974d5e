// A Simple MAPI message in one form for both character widths, and its conversion from
// and to the caller's structures (MapiMessage with 8-bit texts in the system code page,
// MapiMessageW with UTF-16 texts).
//
// From the caller (FromMapiMessage): null and empty texts alike mean "none";
// inconsistent structures answer their Simple MAPI codes (TSimpleMapiError): a
// recipient count without recipients, an entry ID size without an entry ID, or a
// recipient that names nobody: MAPI_E_INVALID_RECIPS; a recipient class other than
// MAPI_TO, MAPI_CC or MAPI_BCC: MAPI_E_BAD_RECIPTYPE; a file count without files, or a
// file without a path: MAPI_E_ATTACHMENT_NOT_FOUND. lpOriginator and lpFileType are not
// read (Simple MAPI ignores them when saving and sending).
//
// To the caller (ToMapiMessage, ToMapiRecip): one MAPI buffer with every text, array
// and entry ID chained to it, so that one MAPIFreeBuffer releases it all.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "mapi/simplemapi.h"
#include "props/propcodec.h"

namespace orba::store {

// A recipient, or the originator. address is Simple MAPI's "TYPE:address" text (or a
// bare address from the caller).
struct TSimpleRecipient {
  ULONG recipClass = MAPI_TO;
  std::u16string name, address;
  Bytes entryId;
};

// An attached file: pathName holds the data (none: listed without a copy), fileName is
// what the recipient sees (empty: the path's file name).
struct TSimpleFile {
  ULONG position = 0xFFFFFFFF;  // the character of the text it stands for; none
  std::u16string pathName, fileName;
};

struct TSimpleMessage {
  std::optional<std::u16string> subject, noteText, messageType, dateReceived;
  FLAGS flags = 0;  // MAPI_UNREAD, MAPI_RECEIPT_REQUESTED, MAPI_SENT
  std::optional<TSimpleRecipient> originator;
  std::vector<TSimpleRecipient> recipients;
  std::vector<TSimpleFile> files;
};

TSimpleMessage FromMapiMessage(const MapiMessage& message);
TSimpleMessage FromMapiMessage(const MapiMessageW& message);
// One recipient as MAPIDetails takes it (any class; MAPI_E_INVALID_RECIPS as above).
TSimpleRecipient FromMapiRecip(const MapiRecipDesc& recipient);

lpMapiMessage ToMapiMessage(const TSimpleMessage& message);
lpMapiRecipDesc ToMapiRecip(const TSimpleRecipient& recipient);

}  // namespace orba::store
