// The registry in the shape of TRegistry: choose a root and an access mode, open a key,
// read or write its values. On this platform it is the file-backed registry kept in
// $ORBA_HOME/registry.reg (see regbackend.h and regfile.h for its format). Key and
// value names are case-insensitive; "" names a key's default value.
//
// Built-in default: unless the file says otherwise, HKLM\SOFTWARE\Clients\Mail has the
// default value "Orba Store" and HKLM\SOFTWARE\Clients\Mail\Orba Store has "DLLPathEx" =
// the full name of liborbastore.so next to this library, in both registry views. The
// file overrides it by setting these values, and removes it with "@"=- or
// [-HKEY_LOCAL_MACHINE\SOFTWARE\Clients\Mail\Orba Store] (deleting the values or keys
// through this class writes exactly that).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "orba/common/regbackend.h"

namespace orba {

constexpr TVoRegRoot HKEY_CURRENT_USER = TVoRegRoot::CurrentUser;
constexpr TVoRegRoot HKEY_LOCAL_MACHINE = TVoRegRoot::LocalMachine;

// Access rights, with Windows' values; the WOW64 flags choose the registry view (the
// default is the view of the process's own bitness).
constexpr uint32_t KEY_QUERY_VALUE = 0x0001;
constexpr uint32_t KEY_SET_VALUE = 0x0002;
constexpr uint32_t KEY_CREATE_SUB_KEY = 0x0004;
constexpr uint32_t KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr uint32_t KEY_WOW64_64KEY = 0x0100;
constexpr uint32_t KEY_WOW64_32KEY = 0x0200;
constexpr uint32_t KEY_READ = 0x20019;
constexpr uint32_t KEY_WRITE = 0x20006;
constexpr uint32_t KEY_ALL_ACCESS = 0xF003F;

// The registry view that access flags select.
TVoBitness VoRegistryView(uint32_t access);

// Failures raise EVoException (code E_FAIL) with TRegistry's texts: "Failed to get data
// for '<name>'", "Invalid data type for '<name>'", "Failed to set data for '<name>'",
// "Failed to create key <key>".
class TVoRegistry {
 public:
  explicit TVoRegistry(uint32_t access = KEY_ALL_ACCESS);

  TVoRegRoot RootKey() const { return root_; }
  // Changing the root closes the open key.
  void SetRootKey(TVoRegRoot root);
  uint32_t Access() const { return access_; }
  void SetAccess(uint32_t access) { access_ = access; }
  // The path of the open key below the root, without a leading "\".
  const WideString& CurrentPath() const { return path_; }
  bool HasCurrentKey() const { return open_; }

  // Opens a key: a path starting with "\" is taken from the root, any other from the
  // open key (or the root when none is open). With canCreate a missing key is created
  // (raising "Failed to create key" when that fails); without it a missing key gives
  // false. Opens for reading and writing as Access allows.
  bool OpenKey(const WideString& key, bool canCreate);
  // Opens an existing key for reading only (KEY_READ, keeping the view flags).
  bool OpenKeyReadOnly(const WideString& key);
  void CloseKey();
  // Whether a key exists (the path is resolved as in OpenKey).
  bool KeyExists(const WideString& key) const;
  // Deletes a key with all below it; false when it did not exist.
  bool DeleteKey(const WideString& key);

  bool ValueExists(const WideString& name) const;
  // The REG_ type of a value, REG_NONE when it does not exist.
  uint32_t GetDataType(const WideString& name) const;
  // A string value (REG_SZ or REG_EXPAND_SZ, returned unexpanded); "" when missing.
  WideString ReadString(const WideString& name) const;
  // A string value with %NAME% environment variables expanded; "" when missing.
  WideString ReadExpandedString(const WideString& name) const;
  // A REG_DWORD value; raises when missing or of another type.
  int32_t ReadInteger(const WideString& name) const;
  // A REG_QWORD or REG_DWORD value; raises when missing or of another type.
  int64_t ReadInt64(const WideString& name) const;
  // The data of a REG_BINARY (or REG_NONE) value; empty when missing.
  std::vector<uint8_t> ReadBinaryData(const WideString& name) const;
  // The lines of a REG_MULTI_SZ value (a REG_SZ value gives its lines); empty when missing.
  std::vector<WideString> ReadMultiString(const WideString& name) const;

  void WriteString(const WideString& name, const WideString& value);
  void WriteExpandString(const WideString& name, const WideString& value);
  void WriteInteger(const WideString& name, int32_t value);
  void WriteInt64(const WideString& name, int64_t value);
  void WriteMultiString(const WideString& name, const std::vector<WideString>& lines);
  void WriteBinaryData(const WideString& name, const std::vector<uint8_t>& data);
  bool DeleteValue(const WideString& name);

  std::vector<WideString> GetKeyNames() const;
  std::vector<WideString> GetValueNames() const;

 private:
  WideString Resolve(const WideString& key) const;
  TVoBitness View() const { return VoRegistryView(access_); }
  const TVoRegValue* Fetch(const WideString& name, TVoRegValue& holder) const;
  void Write(const WideString& name, const TVoRegValue& value);

  TVoRegRoot root_ = HKEY_CURRENT_USER;
  uint32_t access_;
  WideString path_;
  bool open_ = false;
  bool writable_ = false;
};

// The lines of a multi-line value (REG_MULTI_SZ, or a string split at line breaks) of a
// key, in the given view (KEY_WOW64_32KEY/KEY_WOW64_64KEY, 0 for the default view);
// empty when the key or value is missing.
std::vector<WideString> VoReadMultiLineReg(TVoRegRoot root, const WideString& key, const WideString& value,
                                           uint32_t view = 0);

// Merges a registry script into the registry. Nothing changes when it is malformed.
void VoApplyRegistryScript(std::string_view script, const WideString& sourceName = u"(script)");
// Merges a registry script file (UTF-8 or UTF-16LE with byte order mark).
void VoApplyRegistryScriptFile(const WideString& fileName);
// A key and everything below it as registry script text (only the header when the key
// does not exist).
std::string VoExportRegistryKey(TVoRegRoot root, const WideString& key, uint32_t view = 0);

}  // namespace orba
