// The process-wide property registry: the descriptors in registration order plus hash
// indexes that answer the lookups in constant time with the semantics of a scan (the
// first descriptor in registration order wins).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "orba/VoMAPIProps.h"

namespace orba {

// Raises the registry's assertion failure (catalogue order, null handles).
[[noreturn]] void VoMAPIPropAssertionFailed(const WideString& Text);

// The usual 38-character text form of a GUID: braces, hyphens, upper-case digits.
WideString VoMAPIGuidText(const GUID& Guid);

// Unregistered descriptors of the three kinds (standard, named by number, by name).
TVoMAPIPropInfo VoMAPIStandardPropInfo(const WideString& Name, uint16_t ID, uint32_t PropType);
TVoMAPIPropInfo VoMAPINumberPropInfo(const GUID& PropSet, const WideString& Name, int32_t ID, uint32_t PropType);
TVoMAPIPropInfo VoMAPINamePropInfo(const GUID& PropSet, const WideString& Name, const WideString& NameString,
                                   uint32_t PropType);

class TVoMAPIPropRegistry {
 public:
  TVoMAPIPropRegistry() = default;
  TVoMAPIPropRegistry(const TVoMAPIPropRegistry&) = delete;
  TVoMAPIPropRegistry& operator=(const TVoMAPIPropRegistry&) = delete;
  // Drops the indexes, then releases the descriptors from the last to the first.
  ~TVoMAPIPropRegistry();

  // Appends a descriptor with the ID CalcHash(Info, Standard). With Handle (the
  // catalogue's constants) the handle's ID must equal that ID; without one the
  // registry allocates the handle. Info's PropID must fit its Named/PropKind.
  const TVoMAPIPropInfo* Add(TVoMAPIPropInfo Info, const TVoMAPIPropDef* Handle, bool Standard = true);
  // The ID for Info: the next position, or (not Standard) its hash ID; an ID already
  // registered raises "%s is equal to %s".
  TVoMAPIPropDefID CalcHash(const TVoMAPIPropInfo& Info, bool Standard) const;

  size_t Count() const { return props_.size(); }
  // By 0-based index; out of range raises "List index out of bounds (%d)".
  const TVoMAPIPropInfo* At(size_t Index) const;
  // By hash ID (top four bits set), or nullptr.
  const TVoMAPIPropInfo* FindHash(TVoMAPIPropDefID ID) const;
  // By handle ID: a position or a hash ID; nullptr for 0 and unknown IDs.
  const TVoMAPIPropInfo* FindID(TVoMAPIPropDefID ID) const;
  const TVoMAPIPropInfo* FindName(const WideString& Name) const;
  // A standard property.
  const TVoMAPIPropInfo* FindStandard(uint16_t ID, uint32_t PropType, bool CheckType) const;
  // A named property by number (Kind MNID_ID, Number) or by name (MNID_STRING, Name).
  const TVoMAPIPropInfo* FindNamed(const GUID& PropSet, uint32_t Kind, int32_t Number, std::u16string_view Name,
                                   uint32_t PropType, bool CheckType) const;

 private:
  struct NamedKey {
    GUID PropSet;
    uint32_t Kind;
    int32_t Number;
    std::u16string_view Name;  // into names_, or the caller's text while looking up
    uint32_t PropType;         // 0 in the index that ignores types
    bool operator==(const NamedKey&) const = default;
  };
  struct NamedKeyHash {
    size_t operator()(const NamedKey& Key) const;
  };

  void Index(const TVoMAPIPropInfo& Info, uint32_t Position);

  std::vector<std::unique_ptr<TVoMAPIPropInfo>> props_;
  std::vector<std::unique_ptr<TVoMAPIPropDef>> ownedDefs_;
  std::deque<WideString> names_;  // the names of by-name properties, for NamedKey
  // Each maps to the 0-based index of the first descriptor with that key.
  std::unordered_map<WideString, uint32_t> byName_;
  std::unordered_map<uint32_t, uint32_t> byTag_;
  std::unordered_map<uint16_t, uint32_t> byStandardID_;
  std::unordered_map<NamedKey, uint32_t, NamedKeyHash> byNamedTyped_;
  std::unordered_map<NamedKey, uint32_t, NamedKeyHash> byNamed_;
  std::unordered_map<TVoMAPIPropDefID, uint32_t> byHash_;
};

// The registry of the process, holding the catalogue from its first use on.
TVoMAPIPropRegistry& VoMAPIPropRegistry();

}  // namespace orba
