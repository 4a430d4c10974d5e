#include "orba/common/elf.h"

#include <elf.h>

#include <bit>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "orba/common/oserror.h"
#include "orba/common/utf8.h"

namespace orba {

namespace {

[[noreturn]] void Fail(const WideString& source, const char16_t* reason) {
  throw EVoOSError(source + u" is not a valid ELF file: " + reason, ERROR_BAD_EXE_FORMAT);
}

// Whether [offset, offset + length) lies inside the image, without overflow.
bool InBounds(std::span<const uint8_t> image, uint64_t offset, uint64_t length) {
  return offset <= image.size() && length <= image.size() - offset;
}

template <typename T>
T ReadAt(std::span<const uint8_t> image, uint64_t offset, const WideString& source) {
  if (!InBounds(image, offset, sizeof(T))) Fail(source, u"the file is truncated");
  T value;
  std::memcpy(&value, image.data() + offset, sizeof(T));
  return value;
}

void CheckIdentity(std::span<const uint8_t> image, const WideString& source) {
  if (image.size() < EI_NIDENT || std::memcmp(image.data(), ELFMAG, SELFMAG) != 0)
    Fail(source, u"the ELF signature is missing");
  if (image[EI_CLASS] != ELFCLASS32 && image[EI_CLASS] != ELFCLASS64) Fail(source, u"unknown ELF class");
}

template <typename Ehdr, typename Shdr, typename Sym, unsigned char (*SymType)(unsigned char),
          unsigned char (*SymBind)(unsigned char)>
std::vector<WideString> Exports(std::span<const uint8_t> image, const WideString& source) {
  const auto header = ReadAt<Ehdr>(image, 0, source);
  std::vector<WideString> names;
  if (header.e_shoff == 0 || header.e_shnum == 0) return names;  // no section table
  if (header.e_shentsize != sizeof(Shdr)) Fail(source, u"unexpected section header size");
  if (!InBounds(image, header.e_shoff, uint64_t{header.e_shnum} * sizeof(Shdr)))
    Fail(source, u"the section table lies outside the file");
  auto section = [&](uint64_t index) { return ReadAt<Shdr>(image, header.e_shoff + index * sizeof(Shdr), source); };
  for (uint64_t i = 0; i < header.e_shnum; ++i) {
    const Shdr symbols = section(i);
    if (symbols.sh_type != SHT_DYNSYM) continue;
    if (symbols.sh_link == 0 || symbols.sh_link >= header.e_shnum)
      Fail(source, u"the dynamic symbol table has no string table");
    const Shdr strings = section(symbols.sh_link);
    if (strings.sh_type != SHT_STRTAB) Fail(source, u"the dynamic string table has a wrong type");
    if (symbols.sh_entsize != sizeof(Sym)) Fail(source, u"unexpected symbol entry size");
    if (!InBounds(image, symbols.sh_offset, symbols.sh_size) || !InBounds(image, strings.sh_offset, strings.sh_size))
      Fail(source, u"the dynamic symbol table lies outside the file");
    const char* text = reinterpret_cast<const char*>(image.data() + strings.sh_offset);
    for (uint64_t s = 1; s < symbols.sh_size / sizeof(Sym); ++s) {
      const Sym symbol = ReadAt<Sym>(image, symbols.sh_offset + s * sizeof(Sym), source);
      unsigned char type = SymType(symbol.st_info), bind = SymBind(symbol.st_info);
      unsigned char visibility = symbol.st_other & 3;
      if ((type != STT_FUNC && type != STT_GNU_IFUNC) || symbol.st_shndx == SHN_UNDEF ||
          (bind != STB_GLOBAL && bind != STB_WEAK) || (visibility != STV_DEFAULT && visibility != STV_PROTECTED))
        continue;
      if (symbol.st_name >= strings.sh_size) Fail(source, u"a symbol name lies outside its table");
      const char* name = text + symbol.st_name;
      size_t length = strnlen(name, strings.sh_size - symbol.st_name);
      if (length == strings.sh_size - symbol.st_name) Fail(source, u"a symbol name is not terminated");
      names.push_back(FromUtf8(std::string_view(name, length)));
    }
    break;  // an object has at most one dynamic symbol table
  }
  return names;
}

unsigned char Type32(unsigned char info) { return ELF32_ST_TYPE(info); }
unsigned char Bind32(unsigned char info) { return ELF32_ST_BIND(info); }
unsigned char Type64(unsigned char info) { return ELF64_ST_TYPE(info); }
unsigned char Bind64(unsigned char info) { return ELF64_ST_BIND(info); }

std::vector<uint8_t> ReadFile(const WideString& fileName, size_t limit) {
  std::ifstream in(ToUtf8(fileName), std::ios::binary);
  if (!in) {
    int err = errno;
    throw EVoOSError(u"Failed to open " + fileName + u": " + FromUtf8(std::strerror(err)), VoErrnoToOSError(err));
  }
  std::vector<uint8_t> bytes(limit);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(limit));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return bytes;
}

}  // namespace

TVoBitness VoElfBitness(std::span<const uint8_t> image, const WideString& source) {
  CheckIdentity(image, source);
  return image[EI_CLASS] == ELFCLASS64 ? bt64 : bt32;
}

std::vector<WideString> VoElfExportedFunctionNames(std::span<const uint8_t> image, const WideString& source) {
  CheckIdentity(image, source);
  constexpr unsigned char native = std::endian::native == std::endian::little ? ELFDATA2LSB : ELFDATA2MSB;
  if (image[EI_DATA] != native) Fail(source, u"the byte order is not this machine's");
  if (image[EI_CLASS] == ELFCLASS64) return Exports<Elf64_Ehdr, Elf64_Shdr, Elf64_Sym, Type64, Bind64>(image, source);
  return Exports<Elf32_Ehdr, Elf32_Shdr, Elf32_Sym, Type32, Bind32>(image, source);
}

TVoBitness VoFileBitness(const WideString& fileName) { return VoElfBitness(ReadFile(fileName, EI_NIDENT), fileName); }

bool Is64BitFile(const WideString& fileName) { return VoFileBitness(fileName) == bt64; }

std::vector<WideString> VoGetExportedFunctionNames(const WideString& fileName) {
  std::ifstream probe(ToUtf8(fileName), std::ios::binary | std::ios::ate);
  size_t size = probe ? static_cast<size_t>(probe.tellg()) : 0;
  return VoElfExportedFunctionNames(ReadFile(fileName, size), fileName);
}

}  // namespace orba
