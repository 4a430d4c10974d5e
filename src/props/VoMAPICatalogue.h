// The catalogue's registration table (generated from data/catalogue.tsv) and the
// start-up registration that walks it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "orba/VoMAPIProps.h"

namespace orba {

class TVoMAPIPropRegistry;

enum class TVoMAPICatalogueKind : uint8_t { Standard, ByNumber, ByName };

// One catalogue row: the handle constant and the identity it names.
struct TVoMAPICatalogueEntry {
  const TVoMAPIPropDef* PropDef;
  const char16_t* Name;
  TVoMAPICatalogueKind Kind;
  const GUID* PropSet;         // named properties only
  int32_t ID;                  // standard identifier or named number
  const char16_t* NameString;  // by-name properties only
  uint32_t PropType;
};

extern const TVoMAPICatalogueEntry VoMAPICatalogue[];
extern const size_t VoMAPICatalogueSize;

// Registers every catalogue row in order; each handle's ID must equal its position
// (an assertion failure otherwise).
void VoMAPIRegisterCatalogue(TVoMAPIPropRegistry& Registry);

}  // namespace orba
