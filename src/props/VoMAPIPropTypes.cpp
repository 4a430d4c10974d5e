// Data-type names of MAPI property types.
#include <unordered_map>

#include "orba/VoMAPIProps.h"
#include "orba/common/exceptions.h"

namespace orba {

WideString PropTypeToStr(uint32_t PropType) {
  static const std::unordered_map<uint32_t, std::u16string_view> kNames = {
      {0x0000, u"dtUnknown"},       {0x0001, u"dtNull"},         {0x0002, u"dtSmallInt"},     {0x0003, u"dtLongInt"},
      {0x0004, u"dtSingle"},        {0x0005, u"dtDouble"},       {0x0006, u"dtCurrency"},     {0x0007, u"dtAppTime"},
      {0x000A, u"dtError"},         {0x000B, u"dtBoolean"},      {0x000D, u"dtObject"},       {0x0014, u"dtInt64"},
      {0x001E, u"dtAnsiString"},    {0x001F, u"dtWideString"},   {0x0040, u"dtSysTime"},      {0x0048, u"dtGUID"},
      {0x00FB, u"dtServerEntryID"}, {0x00FD, u"dtRestriction"},  {0x00FE, u"dtActions"},      {0x0102, u"dtBinary"},
      {0x0103, u"dtFileHandle"},    {0x0104, u"dtFileEA"},       {0x0105, u"dtVirtual"},      {0x1002, u"dtMvSmallInt"},
      {0x1003, u"dtMvLongInt"},     {0x1004, u"dtMvSingle"},     {0x1005, u"dtMvDouble"},     {0x1006, u"dtMvCurrency"},
      {0x1007, u"dtMvAppTime"},     {0x100A, u"dtMvError"},      {0x100B, u"dtMvBoolean"},    {0x100D, u"dtMvObject"},
      {0x1014, u"dtMvInt64"},       {0x101E, u"dtMvAnsiString"}, {0x101F, u"dtMvWideString"}, {0x1040, u"dtMvSysTime"},
      {0x1048, u"dtMvGUID"},        {0x1102, u"dtMvBinary"},
  };
  auto it = kNames.find(PropType);
  if (it == kNames.end()) throw EVoException(u"Invalid PropType");
  return WideString(it->second);
}

}  // namespace orba
