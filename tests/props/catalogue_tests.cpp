// The generated catalogue: order, names, string triples and the library's own names.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "orba/VoMAPIProps.h"
#include "orba/common/utf8.h"
#include "props/VoMAPIPropRegistry.h"

namespace orba {
namespace {

std::vector<std::vector<std::string>> ReadTsv(const std::string& path) {
  std::ifstream in(path);
  EXPECT_TRUE(in.good()) << path;
  std::vector<std::vector<std::string>> rows;
  std::string line;
  std::getline(in, line);  // column names
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream fieldsIn(line);
    while (std::getline(fieldsIn, field, '\t')) fields.push_back(field);
    rows.push_back(fields);
  }
  return rows;
}

const TVoMAPIPropInfo& Info(TVoMAPIPropDef def) { return *GetPropInfo(def); }

TEST(Catalogue, HandlesArePositionsRegisteredInOrderAndNamesAreUnique) {
  ASSERT_GE(GetPropCount(), VoMAPICatalogueCount);
  std::set<WideString> names;
  for (size_t i = 0; i < VoMAPICatalogueCount; ++i) {
    const TVoMAPIPropInfo* info = GetPropInfoByIndex(i);
    ASSERT_EQ(info->PropDef->ID, static_cast<TVoMAPIPropDefID>(i + 1));
    EXPECT_TRUE(names.insert(info->PropName).second) << ToUtf8(info->PropName);
    ASSERT_EQ(FindProp(info->PropName), info);
  }
}

TEST(Catalogue, StringPropertiesComeAsTriples) {
  size_t triples = 0;
  for (size_t i = 0; i < VoMAPICatalogueCount; ++i) {
    const TVoMAPIPropInfo* a = GetPropInfoByIndex(i);
    WideString name = a->PropName;
    if (name.size() < 3 || name.substr(name.size() - 2) != u"_A") continue;
    if (a->PropType != PT_STRING8 && a->PropType != PT_MV_STRING8) continue;
    WideString base = name.substr(0, name.size() - 2);
    // Published with one form under another identifier: two properties, not a triple.
    if (base == u"PR_CONTAB_DISPLAY_NAMES" || base == u"PR_SCHDINFO_DELEGATE_NAMES" || base == u"PR_RULE_PROVIDER")
      continue;
    const TVoMAPIPropInfo* plain = FindProp(base);
    const TVoMAPIPropInfo* w = FindProp(base + u"_W");
    ASSERT_TRUE(w) << ToUtf8(name);
    uint32_t wide = a->PropType == PT_STRING8 ? PT_UNICODE : PT_MV_UNICODE;
    EXPECT_EQ(w->PropType, wide) << ToUtf8(name);
    EXPECT_TRUE(SameProp(*a, *w, false)) << ToUtf8(name);
    // PR_HTML_A/_W are the string forms of the binary PR_HTML; others are full triples.
    if (plain && plain->PropType == wide) {
      EXPECT_TRUE(SameProp(*plain, *w, true)) << ToUtf8(name);
      ++triples;
    }
  }
  EXPECT_GT(triples, 600u);
}

// npr-map.tsv (below) fixes the plain names; their 8-bit and wide twins share the identity.
TEST(Catalogue, TwinsOfNamedRowsAndInternetHeadersByName) {
  EXPECT_TRUE(SameProp(Info(NPR_CERTTHUMBPRINT_A), Info(NPR_CERTTHUMBPRINT), false));
  EXPECT_TRUE(SameProp(Info(NPR_CERTTHUMBPRINT_W), Info(NPR_CERTTHUMBPRINT), true));
  EXPECT_EQ(NPR_SENDUSINGACCOUNT.ID, NPR_SEND_INVITATIONS_AND_UPDATES.ID + 1);
  for (const char16_t* header : {u"Accept-Language", u"X-Mailer", u"X-Sharing-Exended-Caps", u"X-Sharing-Extended-Caps",
                                 u"Content-Type", u"Message-ID"}) {
    const TVoMAPIPropInfo* info = FindProp(PS_INTERNET_HEADERS, TVoVariant(header), PT_UNICODE, true);
    ASSERT_TRUE(info) << ToUtf8(header);
    EXPECT_EQ(info->PropName.substr(0, 8), u"NPR_NAME");
  }
  EXPECT_EQ(FindProp(u"NPR_NAMEXSHARINGEXENDEDCAPS")->PropID, TVoVariant(u"X-Sharing-Exended-Caps"));
}

// Every NPR_ name the library's own code uses resolves to the identity fixed for it.
TEST(Catalogue, LibraryNamesResolveAsTheMapSays) {
  const std::map<std::string, GUID> sets = {{"PS_PUBLIC_STRINGS", PS_PUBLIC_STRINGS},
                                            {"PS_INTERNET_HEADERS", PS_INTERNET_HEADERS},
                                            {"PSETID_Address", PSETID_Address},
                                            {"PSETID_Common", PSETID_Common},
                                            {"PSETID_Appointment", PSETID_Appointment},
                                            {"PSETID_Task", PSETID_Task},
                                            {"PSETID_Meeting", PSETID_Meeting},
                                            {"PSETID_Note", PSETID_Note},
                                            {"PSETID_CalendarAssistant", PSETID_CalendarAssistant},
                                            {"PSETID_Messaging", PSETID_Messaging},
                                            {"GUID_PKMDocSummaryInformation", GUID_PKMDocSummaryInformation},
                                            {"PSETID_Velmora", PSETID_Velmora}};
  const std::map<std::string, uint32_t> types = {{"PT_LONG", PT_LONG},
                                                 {"PT_BOOLEAN", PT_BOOLEAN},
                                                 {"PT_DOUBLE", PT_DOUBLE},
                                                 {"PT_SYSTIME", PT_SYSTIME},
                                                 {"PT_UNICODE", PT_UNICODE},
                                                 {"PT_BINARY", PT_BINARY},
                                                 {"PT_MV_UNICODE", PT_MV_UNICODE},
                                                 {"PT_MV_BINARY", PT_MV_BINARY}};
  auto rows = ReadTsv(std::string(ORBA_FACTS_DIR) + "/npr-map.tsv");
  ASSERT_GT(rows.size(), 100u);
  for (const auto& row : rows) {
    ASSERT_GE(row.size(), 4u);
    SCOPED_TRACE(row[0]);
    const TVoMAPIPropInfo* info = FindProp(FromUtf8(row[0]));
    ASSERT_TRUE(info);
    ASSERT_TRUE(sets.count(row[1])) << row[1];
    ASSERT_TRUE(types.count(row[3])) << row[3];
    EXPECT_TRUE(info->Named);
    EXPECT_TRUE(SameGuid(info->PropSet, sets.at(row[1])));
    EXPECT_EQ(info->PropType, types.at(row[3]));
    const std::string& id = row[2];  // a number, decimal or 0x-hexadecimal, or a name
    if (id.find_first_not_of("0123456789") == std::string::npos || id.rfind("0x", 0) == 0) {
      EXPECT_EQ(info->PropKind, MNID_ID);
      EXPECT_EQ(info->PropID, TVoVariant(static_cast<int32_t>(std::stol(id, nullptr, id[1] == 'x' ? 16 : 10))));
    } else {
      EXPECT_EQ(info->PropKind, MNID_STRING);
      EXPECT_EQ(info->PropID, TVoVariant(FromUtf8(id)));
    }
  }
}

}  // namespace
}  // namespace orba
