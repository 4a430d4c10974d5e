#include "orba/common/regtree.h"

#include "orba/common/casefold.h"

namespace orba {

static void AppendUtf16(std::vector<uint8_t>& data, std::u16string_view text) {
  for (char16_t c : text) {
    data.push_back(static_cast<uint8_t>(c & 0xFF));
    data.push_back(static_cast<uint8_t>(c >> 8));
  }
  data.push_back(0);
  data.push_back(0);
}

TVoRegValue TVoRegValue::String(const WideString& text, uint32_t type) {
  TVoRegValue value{type, {}};
  AppendUtf16(value.Data, text);
  return value;
}

TVoRegValue TVoRegValue::MultiString(const std::vector<WideString>& lines) {
  TVoRegValue value{REG_MULTI_SZ, {}};
  for (const auto& line : lines) AppendUtf16(value.Data, line);
  AppendUtf16(value.Data, u"");
  return value;
}

TVoRegValue TVoRegValue::DWord(uint32_t number) {
  TVoRegValue value{REG_DWORD, {}};
  for (int i = 0; i < 4; ++i) value.Data.push_back(static_cast<uint8_t>(number >> (8 * i)));
  return value;
}

TVoRegValue TVoRegValue::QWord(uint64_t number) {
  TVoRegValue value{REG_QWORD, {}};
  for (int i = 0; i < 8; ++i) value.Data.push_back(static_cast<uint8_t>(number >> (8 * i)));
  return value;
}

TVoRegValue TVoRegValue::Binary(std::vector<uint8_t> data, uint32_t type) { return TVoRegValue{type, std::move(data)}; }

WideString TVoRegValue::AsString() const {
  WideString text;
  for (size_t i = 0; i + 1 < Data.size(); i += 2) {
    char16_t c = static_cast<char16_t>(Data[i] | (Data[i + 1] << 8));
    if (c == 0) break;
    text += c;
  }
  return text;
}

std::vector<WideString> TVoRegValue::AsMultiString() const {
  std::vector<WideString> lines;
  WideString line;
  for (size_t i = 0; i + 1 < Data.size(); i += 2) {
    char16_t c = static_cast<char16_t>(Data[i] | (Data[i + 1] << 8));
    if (c != 0) {
      line += c;
    } else if (line.empty()) {
      return lines;  // the empty string ends the list
    } else {
      lines.push_back(std::move(line));
      line.clear();
    }
  }
  if (!line.empty()) lines.push_back(std::move(line));  // data without its terminator
  return lines;
}

std::unique_ptr<TVoRegKey> TVoRegKey::Clone() const {
  auto copy = std::make_unique<TVoRegKey>(name_);
  copy->values_ = values_;
  for (const auto& [folded, sub] : subKeys_) copy->subKeys_.emplace(folded, sub->Clone());
  return copy;
}

TVoRegKey* TVoRegKey::SubKey(std::u16string_view name) const {
  auto it = subKeys_.find(VoFoldCase(name));
  return it == subKeys_.end() ? nullptr : it->second.get();
}

TVoRegKey& TVoRegKey::CreateSubKey(const WideString& name) {
  auto& slot = subKeys_[VoFoldCase(name)];
  if (!slot) slot = std::make_unique<TVoRegKey>(name);
  return *slot;
}

bool TVoRegKey::DeleteSubKey(std::u16string_view name) { return subKeys_.erase(VoFoldCase(name)) > 0; }

TVoRegKey* TVoRegKey::Find(const std::vector<WideString>& path) {
  TVoRegKey* key = this;
  for (const auto& name : path)
    if (!(key = key->SubKey(name))) return nullptr;
  return key;
}

const TVoRegKey* TVoRegKey::Find(const std::vector<WideString>& path) const {
  return const_cast<TVoRegKey*>(this)->Find(path);
}

TVoRegKey& TVoRegKey::Create(const std::vector<WideString>& path) {
  TVoRegKey* key = this;
  for (const auto& name : path) key = &key->CreateSubKey(name);
  return *key;
}

bool TVoRegKey::Delete(const std::vector<WideString>& path) {
  if (path.empty()) return false;
  TVoRegKey* parent = Find(std::vector<WideString>(path.begin(), path.end() - 1));
  return parent && parent->DeleteSubKey(path.back());
}

const TVoRegValue* TVoRegKey::Value(std::u16string_view name) const {
  auto it = values_.find(VoFoldCase(name));
  return it == values_.end() ? nullptr : &it->second.Value;
}

void TVoRegKey::SetValue(const WideString& name, TVoRegValue value) {
  auto [it, inserted] = values_.try_emplace(VoFoldCase(name), NamedValue{name, {}});
  it->second.Value = std::move(value);
}

bool TVoRegKey::DeleteValue(std::u16string_view name) { return values_.erase(VoFoldCase(name)) > 0; }

std::vector<WideString> VoSplitKeyPath(std::u16string_view path) {
  std::vector<WideString> names;
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t sep = path.find(u'\\', pos);
    if (sep == std::u16string_view::npos) sep = path.size();
    if (sep > pos) names.emplace_back(path.substr(pos, sep - pos));
    pos = sep + 1;
  }
  return names;
}

WideString VoJoinKeyPath(const std::vector<WideString>& names) {
  WideString path;
  for (const auto& name : names) {
    if (!path.empty()) path += u'\\';
    path += name;
  }
  return path;
}

}  // namespace orba
