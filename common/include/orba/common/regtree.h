// The in-memory model of the registry: keys with case-insensitive names holding values
// in Windows' own representation (a type number and the raw data bytes, strings as
// UTF-16LE with their terminating zero), so every value type round-trips unchanged.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

#include "orba/common/types.h"

namespace orba {

// Registry value types, numbered as on Windows.
constexpr uint32_t REG_NONE = 0;
constexpr uint32_t REG_SZ = 1;
constexpr uint32_t REG_EXPAND_SZ = 2;
constexpr uint32_t REG_BINARY = 3;
constexpr uint32_t REG_DWORD = 4;
constexpr uint32_t REG_MULTI_SZ = 7;
constexpr uint32_t REG_QWORD = 11;

struct TVoRegValue {
  uint32_t Type = REG_NONE;
  std::vector<uint8_t> Data;

  static TVoRegValue String(const WideString& text, uint32_t type = REG_SZ);
  static TVoRegValue MultiString(const std::vector<WideString>& lines);
  static TVoRegValue DWord(uint32_t value);
  static TVoRegValue QWord(uint64_t value);
  static TVoRegValue Binary(std::vector<uint8_t> data, uint32_t type = REG_BINARY);

  // The data read as UTF-16LE text up to the first zero (an odd last byte is ignored).
  WideString AsString() const;
  // The data read as a list of zero-terminated strings ended by an empty one.
  std::vector<WideString> AsMultiString() const;

  bool operator==(const TVoRegValue&) const = default;
};

// One key: its name as first written, its values and subkeys, both found ignoring case.
class TVoRegKey {
 public:
  struct NamedValue {
    WideString Name;
    TVoRegValue Value;
  };
  using SubKeyMap = std::map<WideString, std::unique_ptr<TVoRegKey>>;
  using ValueMap = std::map<WideString, NamedValue>;

  explicit TVoRegKey(WideString name) : name_(std::move(name)) {}
  std::unique_ptr<TVoRegKey> Clone() const;

  const WideString& Name() const { return name_; }
  const SubKeyMap& SubKeys() const { return subKeys_; }
  const ValueMap& Values() const { return values_; }

  TVoRegKey* SubKey(std::u16string_view name) const;
  // The subkey of that name, created when missing.
  TVoRegKey& CreateSubKey(const WideString& name);
  bool DeleteSubKey(std::u16string_view name);

  // The key at a path of names below this one (nullptr when missing); empty path: this.
  TVoRegKey* Find(const std::vector<WideString>& path);
  const TVoRegKey* Find(const std::vector<WideString>& path) const;
  TVoRegKey& Create(const std::vector<WideString>& path);
  // Deletes the key at the path with everything below it; false when it did not exist.
  bool Delete(const std::vector<WideString>& path);

  const TVoRegValue* Value(std::u16string_view name) const;
  void SetValue(const WideString& name, TVoRegValue value);
  bool DeleteValue(std::u16string_view name);

 private:
  WideString name_;
  SubKeyMap subKeys_;
  ValueMap values_;
};

// Splits a key path at "\" ignoring empty parts ("\A\\B\" gives A, B).
std::vector<WideString> VoSplitKeyPath(std::u16string_view path);
// Joins key names with "\".
WideString VoJoinKeyPath(const std::vector<WideString>& names);

}  // namespace orba
