#include "orba/common/registry.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "orba/common/com.h"
#include "orba/common/environment.h"
#include "orba/common/exceptions.h"
#include "orba/common/oserror.h"
#include "orba/common/utf8.h"

namespace orba {

namespace {

[[noreturn]] void Fail(const char16_t* text, const WideString& name) { throw EVoException(text + name + u"'", E_FAIL); }

std::vector<WideString> SplitLines(const WideString& text) {
  std::vector<WideString> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of(u"\r\n", pos);
    if (end == WideString::npos) end = text.size();
    lines.push_back(text.substr(pos, end - pos));
    pos = end + (text.compare(end, 2, u"\r\n") == 0 ? 2 : 1);
  }
  return lines;
}

bool IsString(uint32_t type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

}  // namespace

TVoBitness VoRegistryView(uint32_t access) {
  if (access & KEY_WOW64_32KEY) return bt32;
  if (access & KEY_WOW64_64KEY) return bt64;
  return VoProcessBitness();
}

TVoRegistry::TVoRegistry(uint32_t access) : access_(access) {}

void TVoRegistry::SetRootKey(TVoRegRoot root) {
  CloseKey();
  root_ = root;
}

WideString TVoRegistry::Resolve(const WideString& key) const {
  bool absolute = !key.empty() && key.front() == u'\\';
  WideString path = absolute || !open_ ? WideString() : path_;
  WideString rest = VoJoinKeyPath(VoSplitKeyPath(key));
  if (!path.empty() && !rest.empty()) path += u'\\';
  return path + rest;
}

bool TVoRegistry::OpenKey(const WideString& key, bool canCreate) {
  WideString path = Resolve(key);
  IVoRegistryBackend& backend = VoRegistryBackend();
  if (!backend.KeyExists(root_, path, View())) {
    if (!canCreate) return false;
    if (!(access_ & KEY_CREATE_SUB_KEY) || !backend.CreateKey(root_, path, View()))
      throw EVoException(u"Failed to create key " + key, E_FAIL);
  }
  path_ = path;
  open_ = true;
  writable_ = (access_ & KEY_SET_VALUE) != 0;
  return true;
}

bool TVoRegistry::OpenKeyReadOnly(const WideString& key) {
  WideString path = Resolve(key);
  if (!VoRegistryBackend().KeyExists(root_, path, View())) return false;
  path_ = path;
  open_ = true;
  writable_ = false;
  return true;
}

void TVoRegistry::CloseKey() {
  path_.clear();
  open_ = false;
  writable_ = false;
}

bool TVoRegistry::KeyExists(const WideString& key) const {
  return VoRegistryBackend().KeyExists(root_, Resolve(key), View());
}

bool TVoRegistry::DeleteKey(const WideString& key) {
  WideString path = Resolve(key);
  bool deleted = VoRegistryBackend().DeleteKey(root_, path, View());
  // Deleting the open key (or one above it) leaves nothing open, as on Windows.
  if (deleted && open_ && !VoRegistryBackend().KeyExists(root_, path_, View())) CloseKey();
  return deleted;
}

const TVoRegValue* TVoRegistry::Fetch(const WideString& name, TVoRegValue& holder) const {
  if (!open_) return nullptr;
  auto value = VoRegistryBackend().ReadValue(root_, path_, View(), name);
  if (!value) return nullptr;
  holder = std::move(*value);
  return &holder;
}

bool TVoRegistry::ValueExists(const WideString& name) const {
  TVoRegValue holder;
  return Fetch(name, holder) != nullptr;
}

uint32_t TVoRegistry::GetDataType(const WideString& name) const {
  TVoRegValue holder;
  const TVoRegValue* value = Fetch(name, holder);
  return value ? value->Type : REG_NONE;
}

WideString TVoRegistry::ReadString(const WideString& name) const {
  TVoRegValue holder;
  const TVoRegValue* value = Fetch(name, holder);
  if (!value) return {};
  if (!IsString(value->Type)) Fail(u"Invalid data type for '", name);
  return value->AsString();
}

WideString TVoRegistry::ReadExpandedString(const WideString& name) const {
  return VoExpandEnvironmentStrings(ReadString(name));
}

int32_t TVoRegistry::ReadInteger(const WideString& name) const {
  TVoRegValue holder;
  const TVoRegValue* value = Fetch(name, holder);
  if (!value) Fail(u"Failed to get data for '", name);
  if (value->Type != REG_DWORD || value->Data.size() != 4) Fail(u"Invalid data type for '", name);
  uint32_t number = 0;
  for (int i = 3; i >= 0; --i) number = (number << 8) | value->Data[i];
  return static_cast<int32_t>(number);
}

int64_t TVoRegistry::ReadInt64(const WideString& name) const {
  TVoRegValue holder;
  const TVoRegValue* value = Fetch(name, holder);
  if (!value) Fail(u"Failed to get data for '", name);
  if (value->Type == REG_DWORD) return ReadInteger(name);
  if (value->Type != REG_QWORD || value->Data.size() != 8) Fail(u"Invalid data type for '", name);
  uint64_t number = 0;
  for (int i = 7; i >= 0; --i) number = (number << 8) | value->Data[i];
  return static_cast<int64_t>(number);
}

std::vector<uint8_t> TVoRegistry::ReadBinaryData(const WideString& name) const {
  TVoRegValue holder;
  const TVoRegValue* value = Fetch(name, holder);
  if (!value) return {};
  if (value->Type != REG_BINARY && value->Type != REG_NONE) Fail(u"Invalid data type for '", name);
  return value->Data;
}

std::vector<WideString> TVoRegistry::ReadMultiString(const WideString& name) const {
  TVoRegValue holder;
  const TVoRegValue* value = Fetch(name, holder);
  if (!value) return {};
  if (value->Type == REG_MULTI_SZ) return value->AsMultiString();
  if (IsString(value->Type)) return SplitLines(value->AsString());
  Fail(u"Invalid data type for '", name);
}

void TVoRegistry::Write(const WideString& name, const TVoRegValue& value) {
  if (!open_ || !writable_ || !VoRegistryBackend().WriteValue(root_, path_, View(), name, value))
    Fail(u"Failed to set data for '", name);
}

void TVoRegistry::WriteString(const WideString& name, const WideString& value) {
  Write(name, TVoRegValue::String(value));
}

void TVoRegistry::WriteExpandString(const WideString& name, const WideString& value) {
  Write(name, TVoRegValue::String(value, REG_EXPAND_SZ));
}

void TVoRegistry::WriteInteger(const WideString& name, int32_t value) {
  Write(name, TVoRegValue::DWord(static_cast<uint32_t>(value)));
}

void TVoRegistry::WriteInt64(const WideString& name, int64_t value) {
  Write(name, TVoRegValue::QWord(static_cast<uint64_t>(value)));
}

void TVoRegistry::WriteMultiString(const WideString& name, const std::vector<WideString>& lines) {
  for (const auto& line : lines)
    if (line.empty() || line.find(u'\0') != WideString::npos)
      throw EVoException(u"A multi-string value cannot hold an empty line or a zero character ('" + name + u"')",
                         E_INVALIDARG);
  Write(name, TVoRegValue::MultiString(lines));
}

void TVoRegistry::WriteBinaryData(const WideString& name, const std::vector<uint8_t>& data) {
  Write(name, TVoRegValue::Binary(data));
}

bool TVoRegistry::DeleteValue(const WideString& name) {
  if (!open_ || !writable_) return false;
  return VoRegistryBackend().DeleteValue(root_, path_, View(), name);
}

std::vector<WideString> TVoRegistry::GetKeyNames() const {
  if (!open_) return {};
  return VoRegistryBackend().SubKeyNames(root_, path_, View());
}

std::vector<WideString> TVoRegistry::GetValueNames() const {
  if (!open_) return {};
  return VoRegistryBackend().ValueNames(root_, path_, View());
}

std::vector<WideString> VoReadMultiLineReg(TVoRegRoot root, const WideString& key, const WideString& value,
                                           uint32_t view) {
  TVoRegistry registry(KEY_READ | view);
  registry.SetRootKey(root);
  if (!registry.OpenKeyReadOnly(key)) return {};
  return registry.ReadMultiString(value);
}

void VoApplyRegistryScript(std::string_view script, const WideString& sourceName) {
  VoRegistryBackend().ApplyScript(script, sourceName);
}

void VoApplyRegistryScriptFile(const WideString& fileName) {
  std::ifstream in(ToUtf8(fileName), std::ios::binary);
  if (!in) {
    int err = errno;
    throw EVoOSError(u"Failed to open the registry script " + fileName + u": " + FromUtf8(std::strerror(err)),
                     VoErrnoToOSError(err));
  }
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  VoApplyRegistryScript(bytes, fileName);
}

std::string VoExportRegistryKey(TVoRegRoot root, const WideString& key, uint32_t view) {
  return VoRegistryBackend().ExportKey(root, key, VoRegistryView(view));
}

}  // namespace orba
