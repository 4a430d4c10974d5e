// Recipients without an address book: see recipients.h.
#include "simplemapi/recipients.h"

#include <algorithm>
#include <array>

#include "mapi/mapiguid.h"
#include "orba/common/encoding.h"
#include "simplemapi/simpleerror.h"

namespace orba::store {
namespace {

constexpr std::u16string_view kSmtp = u"SMTP";

char16_t AsciiUpper(char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - u'a' + u'A') : c; }

bool SameLetters(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char16_t x, char16_t y) { return AsciiUpper(x) == AsciiUpper(y); });
}

// The address type of a "TYPE:address" text (letters and digits before the first
// colon), or empty when the text has none.
std::u16string_view TypePrefix(std::u16string_view text) {
  size_t colon = text.find(u':');
  if (colon == 0 || colon == std::u16string_view::npos) return {};
  std::u16string_view type = text.substr(0, colon);
  bool word = std::all_of(type.begin(), type.end(), [](char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
  });
  return word ? type : std::u16string_view();
}

void AppendText(Bytes& out, std::u16string_view text) {
  for (char16_t c : text) {
    out.push_back(static_cast<BYTE>(c & 0xFF));
    out.push_back(static_cast<BYTE>(c >> 8));
  }
  out.push_back(0);
  out.push_back(0);
}

// A zero-terminated text at pos (UTF-16 or 8-bit), advancing pos; null past the end.
std::optional<std::u16string> ReadText(std::span<const BYTE> bytes, size_t& pos, bool wide) {
  std::u16string wideText;
  std::string narrow;
  while (true) {
    if (pos + (wide ? 2 : 1) > bytes.size()) return std::nullopt;
    char16_t c = wide ? char16_t(bytes[pos] | bytes[pos + 1] << 8) : char16_t(bytes[pos]);
    pos += wide ? 2 : 1;
    if (!c) break;
    if (wide)
      wideText.push_back(c);
    else
      narrow.push_back(static_cast<char>(c));
  }
  return wide ? wideText : TVoEncoding::ConvertW(narrow);
}

}  // namespace

std::optional<TRecipientAddress> SmtpAddress(std::u16string_view text) {
  if (SameLetters(TypePrefix(text), kSmtp)) text.remove_prefix(kSmtp.size() + 1);
  size_t at = text.find(u'@');
  if (at == 0 || at == std::u16string_view::npos || at + 1 == text.size() ||
      text.find(u'@', at + 1) != std::u16string_view::npos)
    return std::nullopt;
  constexpr std::u16string_view kSeparators = u" \t<>()[],;:\\\"";
  for (char16_t c : text)
    if (c < 0x20 || c == 0x7F || kSeparators.find(c) != std::u16string_view::npos) return std::nullopt;
  std::u16string address(text);
  return TRecipientAddress{address, std::u16string(kSmtp), address};
}

Bytes OneOffEntryId(const TRecipientAddress& address) {
  // The fixed head, built in one piece: four flag bytes, the one-off provider's UID, then
  // a version word (0) and the one-off flags.
  constexpr ULONG kFlags = MAPI_ONE_OFF_UNICODE | MAPI_ONE_OFF_NO_RICH_INFO;
  std::array<BYTE, 24> head{};
  std::copy(std::begin(MAPI_ONE_OFF_UID.ab), std::end(MAPI_ONE_OFF_UID.ab), head.begin() + 4);
  head[22] = BYTE(kFlags & 0xFF);
  head[23] = BYTE(kFlags >> 8);
  Bytes id(head.begin(), head.end());
  AppendText(id, address.name);
  AppendText(id, address.addrType);
  AppendText(id, address.email);
  return id;
}

std::optional<TRecipientAddress> ParseOneOffEntryId(std::span<const BYTE> entryId) {
  constexpr size_t kHeader = 4 + sizeof(MAPI_ONE_OFF_UID.ab) + 4;
  if (entryId.size() < kHeader || std::any_of(entryId.begin(), entryId.begin() + 4, [](BYTE b) { return b; }) ||
      !std::equal(std::begin(MAPI_ONE_OFF_UID.ab), std::end(MAPI_ONE_OFF_UID.ab), entryId.begin() + 4) || entryId[20] ||
      entryId[21])
    return std::nullopt;
  bool wide = (entryId[22] | entryId[23] << 8) & MAPI_ONE_OFF_UNICODE;
  size_t pos = kHeader;
  auto name = ReadText(entryId, pos, wide);
  auto addrType = name ? ReadText(entryId, pos, wide) : std::nullopt;
  auto email = addrType ? ReadText(entryId, pos, wide) : std::nullopt;
  if (!email || addrType->empty() || email->empty()) return std::nullopt;
  return TRecipientAddress{*name, *addrType, *email};
}

TRecipientAddress ResolveRecipient(const TSimpleRecipient& recipient) {
  // A one-off entry ID names its recipient completely.
  if (auto address = ParseOneOffEntryId(recipient.entryId)) return *address;
  std::optional<TRecipientAddress> address;
  std::u16string_view type = TypePrefix(recipient.address);
  if (!type.empty() && !SameLetters(type, kSmtp) && recipient.address.size() > type.size() + 1) {
    std::u16string upper(type);
    std::transform(upper.begin(), upper.end(), upper.begin(), AsciiUpper);
    address = TRecipientAddress{{}, upper, recipient.address.substr(type.size() + 1)};
  } else {
    address = SmtpAddress(recipient.address.empty() ? recipient.name : recipient.address);
  }
  SimpleCheck(address.has_value(), simplemapi::MAPI_E_UNKNOWN_RECIPIENT,
              "The recipient is not an address: names wait for an address book.");
  address->name = recipient.name.empty() ? address->email : recipient.name;
  return *address;
}

TSimpleRecipient SimpleRecipientOf(const TRecipientAddress& address, ULONG recipClass) {
  return {recipClass, address.name, address.addrType + u":" + address.email, OneOffEntryId(address)};
}

}  // namespace orba::store
