// A Simple MAPI message in an IMessage: see storedmessage.h.
#include "simplemapi/storedmessage.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/filetime.h"
#include "base/maperror.h"
#include "mapi/mapiexports.h"
#include "memory/mapimemory.h"
#include "orba/common/dates.h"
#include "orba/common/encoding.h"
#include "orba/common/timezone.h"
#include "orba/common/utf8.h"
#include "props/propvalues.h"
#include "props/tags.h"
#include "simplemapi/mapicalls.h"
#include "simplemapi/recipients.h"
#include "simplemapi/simpleerror.h"

namespace orba::store {
namespace {

using namespace simplemapi;
namespace fs = std::filesystem;

constexpr ULONG kStreamChunk = 64 * 1024;

bool Has(const SPropValue& value, ULONG tag) { return value.ulPropTag == tag; }

// The bytes of a stream property; none when the object does not have it.
std::optional<Bytes> ReadStream(IMAPIProp* object, ULONG tag) {
  ComPtr<IStream> stream;
  HRESULT hr = object->OpenProperty(tag, &IID_IStream, 0, 0, reinterpret_cast<LPUNKNOWN*>(stream.Out()));
  if (hr == MAPI_E_NOT_FOUND) return std::nullopt;
  CheckResult(hr, "The property cannot be opened as a stream.");
  Bytes all;
  BYTE chunk[kStreamChunk];
  ULONG read = 0;
  do {
    CheckResult(stream->Read(chunk, sizeof(chunk), &read), "The stream cannot be read.");
    all.insert(all.end(), chunk, chunk + read);
  } while (read);
  return all;
}

// Copies a file into a new stream property of object.
void WriteFileStream(IMAPIProp* object, ULONG tag, const fs::path& path) {
  std::error_code error;
  SimpleCheck(fs::is_regular_file(path, error), MAPI_E_ATTACHMENT_NOT_FOUND, "The file to attach does not exist.");
  std::ifstream file(path, std::ios::binary);
  SimpleCheck(file.is_open(), MAPI_E_ATTACHMENT_OPEN_FAILURE, "The file to attach cannot be opened.");
  ComPtr<IStream> stream;
  CheckResult(
      object->OpenProperty(tag, &IID_IStream, 0, MAPI_CREATE | MAPI_MODIFY, reinterpret_cast<LPUNKNOWN*>(stream.Out())),
      "The attachment's data cannot be created.");
  std::vector<char> chunk(kStreamChunk);
  while (file.read(chunk.data(), chunk.size()) || file.gcount()) {
    ULONG written = 0;
    CheckResult(stream->Write(chunk.data(), static_cast<ULONG>(file.gcount()), &written),
                "The attachment's data cannot be written.");
  }
  SimpleCheck(file.eof(), MAPI_E_ATTACHMENT_OPEN_FAILURE, "The file to attach cannot be read.");
  CheckResult(stream->Commit(0), "The attachment's data cannot be written.");
}

std::u16string DateText(const FILETIME& time) {
  TDateTime local = VoUTCToLocal(FileTimeToDateTime(time));
  int year, month, day, hour, minute, second, msec;
  DecodeDate(local, year, month, day);
  DecodeTime(local, hour, minute, second, msec);
  char text[32];
  std::snprintf(text, sizeof(text), "%04d/%02d/%02d %02d:%02d", year, month, day, hour, minute);
  return FromUtf8(text);
}

int64_t DateValue(const std::u16string& text) {
  int year, month, day, hour, minute, length = 0;
  TDateTime date = 0, time = 0;  // set by the encoders when the text is valid
  bool valid =
      std::sscanf(ToUtf8(text).c_str(), "%4d/%2d/%2d %2d:%2d%n", &year, &month, &day, &hour, &minute, &length) == 5 &&
      static_cast<size_t>(length) == text.size() && TryEncodeDate(year, month, day, date) &&
      TryEncodeTime(hour, minute, 0, 0, time);
  SimpleCheck(valid, MAPI_E_FAILURE, "The date received is not of the form YYYY/MM/DD HH:MM.");
  return static_cast<int64_t>(DateTimeToFileTime(VoLocalToUTC(date + time)));
}

void WriteRecipients(IMessage* message, const std::vector<TSimpleRecipient>& recipients, TRecipientCheck check) {
  std::vector<TRecipientAddress> addresses;
  std::vector<Bytes> entryIds;
  std::vector<std::vector<SPropValue>> values;
  addresses.reserve(recipients.size());
  entryIds.reserve(recipients.size());
  for (const TSimpleRecipient& recipient : recipients) {
    std::vector<SPropValue> row = {LongValue(tags::kRecipientType, recipient.recipClass)};
    try {
      const TRecipientAddress& address = addresses.emplace_back(ResolveRecipient(recipient));
      const Bytes& entryId = entryIds.emplace_back(OneOffEntryId(address));
      row.push_back(TextValue(tags::kDisplayNameW, address.name));
      row.push_back(TextValue(tags::kAddrTypeW, address.addrType));
      row.push_back(TextValue(tags::kEmailAddressW, address.email));
      row.push_back(BinaryValue(tags::kEntryId, entryId));
    } catch (const TSimpleMapiError&) {
      if (check == TRecipientCheck::Resolve) throw;
      row.push_back(TextValue(tags::kDisplayNameW, recipient.name));
    }
    values.push_back(std::move(row));
  }
  auto list = TMapiBuffer<ADRLIST>::Allocate(CbNewADRLIST(values.size()));
  list->cEntries = static_cast<ULONG>(values.size());
  for (size_t i = 0; i < values.size(); ++i) {
    list->aEntries[i].cValues = static_cast<ULONG>(values[i].size());
    list->aEntries[i].rgPropVals = values[i].data();
  }
  CheckResult(message->ModifyRecipients(0, list.get()), "The recipients cannot be written.");
}

void WriteAttachment(IMessage* message, const TSimpleFile& file) {
  fs::path path = ToUtf8(file.pathName);
  std::u16string name = file.fileName.empty() ? FromUtf8(path.filename().string()) : file.fileName;
  ComPtr<IAttach> attach;
  ULONG number = 0;
  CheckResult(message->CreateAttach(nullptr, 0, &number, attach.Out()), "The attachment cannot be created.");
  SetValues(attach.get(), {LongValue(tags::kAttachMethod, ATTACH_BY_VALUE), TextValue(tags::kAttachLongFilenameW, name),
                           TextValue(tags::kAttachFilenameW, name), TextValue(tags::kDisplayNameW, name),
                           LongValue(tags::kRenderingPosition, file.position)});
  WriteFileStream(attach.get(), tags::kAttachDataBin, path);
  CheckResult(attach->SaveChanges(0), "The attachment cannot be saved.");
}

TSimpleRecipient Originator(const SPropValue* values) {
  std::u16string type = TextOf(values[0], tags::kSender.addrType),
                 email = TextOf(values[1], tags::kSender.emailAddress);
  return {MAPI_ORIG, TextOf(values[2], tags::kSender.name), type.empty() ? email : type + u":" + email,
          BytesOf(values[3], tags::kSender.entryId)};
}

std::vector<TSimpleRecipient> ReadRecipients(IMessage* message) {
  ComPtr<IMAPITable> table;
  CheckResult(message->GetRecipientTable(MAPI_UNICODE, table.Out()), "The recipients cannot be read.");
  TRowSet rows(table.get(),
               {tags::kRecipientType, tags::kDisplayNameW, tags::kAddrTypeW, tags::kEmailAddressW, tags::kEntryId});
  std::vector<TSimpleRecipient> recipients;
  for (ULONG i = 0; i < rows.size(); ++i) {
    std::u16string type = TextOf(rows[i][2], tags::kAddrTypeW), email = TextOf(rows[i][3], tags::kEmailAddressW);
    recipients.push_back({LongOf(rows[i][0], tags::kRecipientType, MAPI_TO), TextOf(rows[i][1], tags::kDisplayNameW),
                          type.empty() ? email : type + u":" + email, BytesOf(rows[i][4], tags::kEntryId)});
  }
  return recipients;
}

// A new file named name (or a variant of it) in folder, holding bytes.
fs::path WriteTempFile(const fs::path& folder, std::u16string name, const Bytes& bytes) {
  // A name is a file name only: no folders, nothing hidden.
  for (char16_t& c : name)
    if (c == u'/' || c == u'\\' || c < 0x20) c = u'_';
  if (name.empty() || name[0] == u'.') name.insert(0, u"attachment");
  fs::path path = folder / ToUtf8(name);
  for (int n = 2; fs::exists(path); ++n) path = folder / (std::to_string(n) + "-" + ToUtf8(name));
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  file.close();
  SimpleCheck(file.good(), MAPI_E_ATTACHMENT_WRITE_FAILURE, "A temporary file cannot be written.");
  return path;
}

// A new folder for one message's temporary files.
fs::path NewTempFolder() {
  std::string pattern = (fs::temp_directory_path() / "orbamapi-XXXXXX").string();
  SimpleCheck(mkdtemp(pattern.data()) != nullptr, MAPI_E_ATTACHMENT_WRITE_FAILURE,
              "A temporary folder cannot be made.");
  return pattern;
}

// The attachments with a file form; their data copied into files of folder when given.
std::vector<TSimpleFile> ReadFiles(IMessage* message, const fs::path* folder) {
  ComPtr<IMAPITable> table;
  CheckResult(message->GetAttachmentTable(MAPI_UNICODE, table.Out()), "The attachments cannot be read.");
  TRowSet rows(table.get(), {tags::kAttachNum, tags::kAttachMethod, tags::kAttachLongFilenameW, tags::kAttachFilenameW,
                             tags::kDisplayNameW, tags::kRenderingPosition, tags::kAttachLongPathnameW});
  std::vector<TSimpleFile> files;
  for (ULONG i = 0; i < rows.size(); ++i) {
    const SPropValue* row = rows[i];
    ULONG method = LongOf(row[1], tags::kAttachMethod, ATTACH_BY_VALUE);
    bool byReference = method == ATTACH_BY_REFERENCE || method == ATTACH_BY_REF_RESOLVE || method == ATTACH_BY_REF_ONLY;
    if (method != ATTACH_BY_VALUE && !byReference) continue;
    TSimpleFile file{
        LongOf(row[5], tags::kRenderingPosition, 0xFFFFFFFF), {}, TextOf(row[2], tags::kAttachLongFilenameW)};
    if (file.fileName.empty()) file.fileName = TextOf(row[3], tags::kAttachFilenameW);
    if (file.fileName.empty()) file.fileName = TextOf(row[4], tags::kDisplayNameW);
    if (byReference) {
      file.pathName = TextOf(row[6], tags::kAttachLongPathnameW);
    } else if (folder) {
      ComPtr<IAttach> attach;
      CheckResult(message->OpenAttach(LongOf(row[0], tags::kAttachNum, 0), nullptr, 0, attach.Out()),
                  "An attachment cannot be opened.");
      Bytes data = ReadStream(attach.get(), tags::kAttachDataBin).value_or(Bytes());
      file.pathName = FromUtf8(WriteTempFile(*folder, file.fileName, data).string());
    }
    files.push_back(std::move(file));
  }
  return files;
}

}  // namespace

void WriteMessage(IMessage* message, const TSimpleMessage& simple, TRecipientCheck check) {
  std::u16string messageClass = simple.messageType.value_or(u"IPM.Note");
  std::vector<SPropValue> values = {
      TextValue(tags::kMessageClassW, messageClass),
      BoolValue(tags::kReadReceiptRequested, (simple.flags & MAPI_RECEIPT_REQUESTED) != 0)};
  if (simple.subject) values.push_back(TextValue(tags::kSubjectW, *simple.subject));
  if (simple.noteText) values.push_back(TextValue(tags::kBodyW, *simple.noteText));
  if (simple.dateReceived) values.push_back(TimeValue(tags::kMessageDeliveryTime, DateValue(*simple.dateReceived)));
  SetValues(message, std::move(values));
  WriteRecipients(message, simple.recipients, check);
  for (const TSimpleFile& file : simple.files) WriteAttachment(message, file);
}

void ClearMessage(IMessage* message) {
  SizedSPropTagArray<2> texts{2, {tags::kSubjectW, tags::kBodyW}};
  CheckResult(message->DeleteProps(texts.Ptr(), nullptr), "The message's texts cannot be removed.");
  WriteRecipients(message, {}, TRecipientCheck::Keep);
  ComPtr<IMAPITable> table;
  CheckResult(message->GetAttachmentTable(0, table.Out()), "The attachments cannot be read.");
  TRowSet rows(table.get(), {tags::kAttachNum});
  for (ULONG i = 0; i < rows.size(); ++i)
    CheckResult(message->DeleteAttach(rows[i][0].Value.ul, 0, nullptr, 0), "An attachment cannot be removed.");
}

TSimpleMessage ReadMessage(IMessage* message, FLAGS flags) {
  auto values = GetValues(message, {tags::kSubjectW, tags::kMessageClassW, tags::kMessageDeliveryTime,
                                    tags::kMessageFlags, tags::kReadReceiptRequested, tags::kSender.addrType,
                                    tags::kSender.emailAddress, tags::kSender.name, tags::kSender.entryId});
  const SPropValue* v = values.get();
  TSimpleMessage simple;
  simple.subject = TextOf(v[0], tags::kSubjectW);
  simple.messageType = TextOf(v[1], tags::kMessageClassW);
  if (Has(v[2], tags::kMessageDeliveryTime)) simple.dateReceived = DateText(v[2].Value.ft);
  ULONG messageFlags = LongOf(v[3], tags::kMessageFlags, 0);
  if (!(messageFlags & MSGFLAG_READ)) simple.flags |= MAPI_UNREAD;
  if (!(messageFlags & MSGFLAG_UNSENT)) simple.flags |= MAPI_SENT;
  if (Has(v[4], tags::kReadReceiptRequested) && v[4].Value.b) simple.flags |= MAPI_RECEIPT_REQUESTED;
  if (Has(v[7], tags::kSender.name) || Has(v[6], tags::kSender.emailAddress)) simple.originator = Originator(v + 5);
  simple.recipients = ReadRecipients(message);

  const bool envelope = flags & MAPI_ENVELOPE_ONLY;
  const bool copyFiles = !envelope && !(flags & MAPI_SUPPRESS_ATTACH);
  std::optional<fs::path> folder;
  if (copyFiles || (!envelope && (flags & MAPI_BODY_AS_FILE))) folder = NewTempFolder();
  if (!envelope) {
    Bytes body = ReadStream(message, tags::kBodyW).value_or(Bytes());
    std::u16string text(reinterpret_cast<const char16_t*>(body.data()), body.size() / 2);
    if (flags & MAPI_BODY_AS_FILE) {
      AnsiString ansi = TVoEncoding::ConvertA(text);
      fs::path path = WriteTempFile(*folder, u"body.txt", Bytes(ansi.begin(), ansi.end()));
      simple.files.push_back({0xFFFFFFFF, FromUtf8(path.string()), u"body.txt"});
    } else {
      simple.noteText = std::move(text);
    }
  }
  for (TSimpleFile& file : ReadFiles(message, copyFiles ? &*folder : nullptr)) simple.files.push_back(std::move(file));
  return simple;
}

}  // namespace orba::store
