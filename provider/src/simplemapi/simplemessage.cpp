// Simple MAPI's structures both ways: see simplemessage.h.
#include "simplemapi/simplemessage.h"

#include <cstring>

#include "memory/mapimemory.h"
#include "orba/common/encoding.h"
#include "simplemapi/simpleerror.h"

namespace orba::store {
namespace {

using namespace simplemapi;

std::u16string TextOf(const char* text) { return text ? TVoEncoding::ConvertW(text) : std::u16string(); }
std::u16string TextOf(const char16_t* text) { return text ? std::u16string(text) : std::u16string(); }

template <class Char>
std::optional<std::u16string> OptionalText(const Char* text) {
  if (!text || !*text) return std::nullopt;
  return TextOf(text);
}

template <class RecipDesc>
TSimpleRecipient RecipientOf(const RecipDesc& desc) {
  SimpleCheck(desc.ulEIDSize == 0 || desc.lpEntryID, MAPI_E_INVALID_RECIPS, "An entry ID size without an entry ID.");
  TSimpleRecipient recipient{desc.ulRecipClass, TextOf(desc.lpszName), TextOf(desc.lpszAddress), {}};
  const auto* entryId = static_cast<const BYTE*>(desc.lpEntryID);
  recipient.entryId.assign(entryId, entryId + desc.ulEIDSize);
  SimpleCheck(!recipient.name.empty() || !recipient.address.empty() || !recipient.entryId.empty(),
              MAPI_E_INVALID_RECIPS, "A recipient without a name, an address or an entry ID.");
  return recipient;
}

template <class Message>
TSimpleMessage MessageOf(const Message& message) {
  TSimpleMessage result;
  result.subject = OptionalText(message.lpszSubject);
  result.noteText = OptionalText(message.lpszNoteText);
  result.messageType = OptionalText(message.lpszMessageType);
  result.dateReceived = OptionalText(message.lpszDateReceived);
  result.flags = message.flFlags;
  SimpleCheck(message.nRecipCount == 0 || message.lpRecips, MAPI_E_INVALID_RECIPS,
              "A recipient count without recipients.");
  for (ULONG i = 0; i < message.nRecipCount; ++i) {
    ULONG recipClass = message.lpRecips[i].ulRecipClass;
    SimpleCheck(recipClass == MAPI_TO || recipClass == MAPI_CC || recipClass == MAPI_BCC, MAPI_E_BAD_RECIPTYPE,
                "A recipient class other than MAPI_TO, MAPI_CC or MAPI_BCC.");
    result.recipients.push_back(RecipientOf(message.lpRecips[i]));
  }
  SimpleCheck(message.nFileCount == 0 || message.lpFiles, MAPI_E_ATTACHMENT_NOT_FOUND, "A file count without files.");
  for (ULONG i = 0; i < message.nFileCount; ++i) {
    const auto& file = message.lpFiles[i];
    SimpleCheck(file.lpszPathName && *file.lpszPathName, MAPI_E_ATTACHMENT_NOT_FOUND, "A file without a path.");
    result.files.push_back({file.nPosition, TextOf(file.lpszPathName), TextOf(file.lpszFileName)});
  }
  return result;
}

// 8-bit text in the system code page on parent; null for none.
LPSTR CopyText(const std::optional<std::u16string>& text, void* parent) {
  if (!text) return nullptr;
  AnsiString ansi = TVoEncoding::ConvertA(*text);
  auto* out = AllocateMoreOf<char>(ansi.size() + 1, parent);
  std::memcpy(out, ansi.data(), ansi.size());
  return out;
}

void FillRecip(MapiRecipDesc& out, const TSimpleRecipient& recipient, void* parent) {
  out.ulRecipClass = recipient.recipClass;
  out.lpszName = CopyText(recipient.name, parent);
  out.lpszAddress = CopyText(recipient.address, parent);
  out.ulEIDSize = static_cast<ULONG>(recipient.entryId.size());
  if (!recipient.entryId.empty()) {
    auto* entryId = AllocateMoreOf<BYTE>(recipient.entryId.size(), parent);
    std::memcpy(entryId, recipient.entryId.data(), recipient.entryId.size());
    out.lpEntryID = entryId;
  }
}

}  // namespace

TSimpleMessage FromMapiMessage(const MapiMessage& message) { return MessageOf(message); }
TSimpleMessage FromMapiMessage(const MapiMessageW& message) { return MessageOf(message); }
TSimpleRecipient FromMapiRecip(const MapiRecipDesc& recipient) { return RecipientOf(recipient); }

lpMapiMessage ToMapiMessage(const TSimpleMessage& message) {
  auto result = TMapiBuffer<MapiMessage>::Allocate();
  void* parent = result.get();
  result->lpszSubject = CopyText(message.subject, parent);
  result->lpszNoteText = CopyText(message.noteText, parent);
  result->lpszMessageType = CopyText(message.messageType, parent);
  result->lpszDateReceived = CopyText(message.dateReceived, parent);
  result->flFlags = message.flags;
  if (message.originator) {
    result->lpOriginator = AllocateMoreOf<MapiRecipDesc>(1, parent);
    FillRecip(*result->lpOriginator, *message.originator, parent);
  }
  result->nRecipCount = static_cast<ULONG>(message.recipients.size());
  if (!message.recipients.empty()) result->lpRecips = AllocateMoreOf<MapiRecipDesc>(message.recipients.size(), parent);
  for (size_t i = 0; i < message.recipients.size(); ++i) FillRecip(result->lpRecips[i], message.recipients[i], parent);
  result->nFileCount = static_cast<ULONG>(message.files.size());
  if (!message.files.empty()) result->lpFiles = AllocateMoreOf<MapiFileDesc>(message.files.size(), parent);
  for (size_t i = 0; i < message.files.size(); ++i) {
    const TSimpleFile& file = message.files[i];
    MapiFileDesc& out = result->lpFiles[i];
    out.nPosition = file.position;
    if (!file.pathName.empty()) out.lpszPathName = CopyText(file.pathName, parent);
    out.lpszFileName = CopyText(file.fileName, parent);
  }
  return result.Release();
}

lpMapiRecipDesc ToMapiRecip(const TSimpleRecipient& recipient) {
  auto result = TMapiBuffer<MapiRecipDesc>::Allocate();
  FillRecip(*result, recipient, result.get());
  return result.Release();
}

}  // namespace orba::store
