// The platform's registry as the registry classes see it. On this platform it is the
// file-backed registry of $ORBA_HOME/registry.reg; a Windows build would answer these
// calls with the system registry (the view maps to KEY_WOW64_32KEY/KEY_WOW64_64KEY).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "orba/common/bitness.h"
#include "orba/common/regtree.h"

namespace orba {

// The two roots of the registry, with their Windows handle values.
enum class TVoRegRoot : uint32_t { CurrentUser = 0x80000001, LocalMachine = 0x80000002 };

class IVoRegistryBackend {
 public:
  virtual ~IVoRegistryBackend() = default;
  // Keys are given as a root, a path below it ("Software\Clients", separators "\")
  // and the registry view to see it in.
  virtual bool KeyExists(TVoRegRoot root, const WideString& path, TVoBitness view) = 0;
  // Creates the key with any missing parents; false when that is not possible.
  virtual bool CreateKey(TVoRegRoot root, const WideString& path, TVoBitness view) = 0;
  // False when the key does not exist or is a root.
  virtual bool DeleteKey(TVoRegRoot root, const WideString& path, TVoBitness view) = 0;
  virtual std::optional<TVoRegValue> ReadValue(TVoRegRoot root, const WideString& path, TVoBitness view,
                                               const WideString& name) = 0;
  // False when the key does not exist.
  virtual bool WriteValue(TVoRegRoot root, const WideString& path, TVoBitness view, const WideString& name,
                          const TVoRegValue& value) = 0;
  virtual bool DeleteValue(TVoRegRoot root, const WideString& path, TVoBitness view, const WideString& name) = 0;
  virtual std::vector<WideString> SubKeyNames(TVoRegRoot root, const WideString& path, TVoBitness view) = 0;
  virtual std::vector<WideString> ValueNames(TVoRegRoot root, const WideString& path, TVoBitness view) = 0;
  // Merges a registry script (key paths in it are physical, as the registry editor's).
  // The whole script is checked before anything changes.
  virtual void ApplyScript(std::string_view script, const WideString& sourceName) = 0;
  // The key and everything below it as registry script text.
  virtual std::string ExportKey(TVoRegRoot root, const WideString& path, TVoBitness view) = 0;
};

// The registry of this platform.
IVoRegistryBackend& VoRegistryBackend();

}  // namespace orba
