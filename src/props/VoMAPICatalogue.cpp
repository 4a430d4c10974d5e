#include "props/VoMAPICatalogue.h"

#include "props/VoMAPIPropRegistry.h"

namespace orba {

void VoMAPIRegisterCatalogue(TVoMAPIPropRegistry& Registry) {
  for (size_t i = 0; i < VoMAPICatalogueSize; ++i) {
    const TVoMAPICatalogueEntry& e = VoMAPICatalogue[i];
    switch (e.Kind) {
      case TVoMAPICatalogueKind::Standard:
        Registry.Add(VoMAPIStandardPropInfo(e.Name, static_cast<uint16_t>(e.ID), e.PropType), e.PropDef);
        break;
      case TVoMAPICatalogueKind::ByNumber:
        Registry.Add(VoMAPINumberPropInfo(*e.PropSet, e.Name, e.ID, e.PropType), e.PropDef);
        break;
      case TVoMAPICatalogueKind::ByName:
        Registry.Add(VoMAPINamePropInfo(*e.PropSet, e.Name, e.NameString, e.PropType), e.PropDef);
        break;
    }
  }
}

}  // namespace orba
