// gencatalogue: turns data/catalogue.tsv into the catalogue's two generated files.
//
//   gencatalogue catalogue.tsv VoMAPIPropDefs.h VoMAPICatalogueTable.cpp
//
// The header declares every PR_.../NPR_... handle as a constant whose ID is its 1-based
// row position; the source holds the registration table the registry walks at
// start-up. The output depends on the input only, so builds are reproducible. Any
// malformed row stops the build with the row's line number.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Row {
  std::string name, kind, set, id, type;
};

[[noreturn]] void Fail(const std::string& where, const std::string& text) {
  std::cerr << "gencatalogue: " << where << ": " << text << "\n";
  std::exit(1);
}

bool IsIdentifier(const std::string& s) {
  if (s.empty() || !(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) return false;
  for (char c : s)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
  return true;
}

// A hexadecimal number "0x..." no larger than max.
uint64_t ParseHex(const std::string& s, uint64_t max, const std::string& where) {
  if (s.size() < 3 || s.size() > 10 || s[0] != '0' || (s[1] != 'x' && s[1] != 'X'))
    Fail(where, "\"" + s + "\" is not a hexadecimal number");
  uint64_t value = 0;
  for (size_t i = 2; i < s.size(); ++i) {
    int c = std::tolower(static_cast<unsigned char>(s[i]));
    if (!std::isxdigit(c)) Fail(where, "\"" + s + "\" is not a hexadecimal number");
    value = value * 16 + static_cast<uint64_t>(std::isdigit(c) ? c - '0' : c - 'a' + 10);
  }
  if (value > max) Fail(where, "\"" + s + "\" is out of range");
  return value;
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::string field;
  std::istringstream in(line);
  while (std::getline(in, field, '\t')) fields.push_back(field);
  if (!line.empty() && line.back() == '\t') fields.emplace_back();
  return fields;
}

// A property name string as a UTF-16 literal; printable ASCII only.
std::string WideLiteral(const std::string& s, const std::string& where) {
  std::string out = "u\"";
  for (char c : s) {
    if (c < 0x20 || c > 0x7E) Fail(where, "the name \"" + s + "\" is not printable ASCII");
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::vector<Row> ReadCatalogue(const char* path) {
  std::ifstream in(path);
  if (!in) Fail(path, "cannot be read");
  std::vector<Row> rows;
  std::set<std::string> names;
  std::string line;
  for (int lineNo = 1; std::getline(in, line); ++lineNo) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (lineNo == 1 || line.empty()) continue;  // the column names
    std::string where = std::string(path) + ":" + std::to_string(lineNo);
    std::vector<std::string> f = SplitTabs(line);
    if (f.size() != 5) Fail(where, "expected 5 tab-separated columns");
    Row row{f[0], f[1], f[2], f[3], f[4]};
    if (!IsIdentifier(row.name)) Fail(where, "\"" + row.name + "\" is not a valid name");
    if (!names.insert(row.name).second) Fail(where, "the name " + row.name + " appears twice");
    ParseHex(row.type, 0xFFFF, where);
    if (row.kind == "standard") {
      if (!row.set.empty()) Fail(where, "a standard property has no property set");
      ParseHex(row.id, 0xFFFF, where);
    } else if (row.kind == "named-by-number" || row.kind == "named-by-name") {
      if (!IsIdentifier(row.set)) Fail(where, "\"" + row.set + "\" is not a property set name");
      if (row.kind == "named-by-number")
        ParseHex(row.id, 0xFFFFFFFF, where);
      else if (row.id.empty())
        Fail(where, "a property by name needs a name");
      else
        WideLiteral(row.id, where);
    } else {
      Fail(where, "unknown kind \"" + row.kind + "\"");
    }
    rows.push_back(std::move(row));
  }
  if (rows.empty()) Fail(path, "holds no properties");
  return rows;
}

void WriteFile(const char* path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out.flush()) Fail(path, "cannot be written");
}

std::string Header(const std::vector<Row>& rows) {
  std::ostringstream out;
  out << "// The property catalogue: one handle per PR_.../NPR_... name, its ID its position\n"
         "// in the registry. Generated from data/catalogue.tsv by gencatalogue; do not edit.\n"
         "#pragma once\n"
         "#ifndef ORBA_VOMAPIPROPS_H\n"
         "#error \"include orba/VoMAPIProps.h instead\"\n"
         "#endif\n\n"
         "namespace orba {\n\n"
         "// The number of catalogue entries.\n"
         "inline constexpr size_t VoMAPICatalogueCount = "
      << rows.size() << ";\n\n";
  for (size_t i = 0; i < rows.size(); ++i)
    out << "inline constexpr TVoMAPIPropDef " << rows[i].name << "{" << i + 1 << "};\n";
  out << "\n}  // namespace orba\n";
  return out.str();
}

std::string Source(const std::vector<Row>& rows) {
  std::ostringstream out;
  out << "// The registration table of the property catalogue, in catalogue order.\n"
         "// Generated from data/catalogue.tsv by gencatalogue; do not edit.\n"
         "#include <iterator>\n\n"
         "#include \"props/VoMAPICatalogue.h\"\n\n"
         "namespace orba {\n\n"
         "namespace {\n"
         "using K = TVoMAPICatalogueKind;\n"
         "}  // namespace\n\n"
         "const TVoMAPICatalogueEntry VoMAPICatalogue[] = {\n";
  for (const Row& r : rows) {
    out << "    {&" << r.name << ", u\"" << r.name << "\", ";
    if (r.kind == "standard")
      out << "K::Standard, nullptr, " << r.id << ", nullptr, ";
    else if (r.kind == "named-by-number")
      out << "K::ByNumber, &" << r.set << ", static_cast<int32_t>(" << r.id << "u), nullptr, ";
    else
      out << "K::ByName, &" << r.set << ", 0, " << WideLiteral(r.id, r.name) << ", ";
    out << r.type << "},\n";
  }
  out << "};\n\n"
         "const size_t VoMAPICatalogueSize = std::size(VoMAPICatalogue);\n"
         "static_assert(std::size(VoMAPICatalogue) == VoMAPICatalogueCount);\n\n"
         "}  // namespace orba\n";
  return out.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) Fail("usage", "gencatalogue CATALOGUE.tsv HEADER.h SOURCE.cpp");
  std::vector<Row> rows = ReadCatalogue(argv[1]);
  WriteFile(argv[2], Header(rows));
  WriteFile(argv[3], Source(rows));
  return 0;
}
