#include "bundle_symbols.h"

#include <dlfcn.h>
#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

namespace lumetra::test {

namespace {

// The value of the named symbol in the file's .symtab, for one ELF class.
template <class Ehdr, class Shdr, class Sym>
std::optional<uint64_t> SymbolValue(const std::vector<char>& file, const std::string& name) {
  if (file.size() < sizeof(Ehdr)) return std::nullopt;
  Ehdr header;
  std::memcpy(&header, file.data(), sizeof header);
  if (header.e_shoff == 0 || header.e_shentsize != sizeof(Shdr) ||
      header.e_shoff + uint64_t{header.e_shnum} * sizeof(Shdr) > file.size())
    return std::nullopt;
  std::vector<Shdr> sections(header.e_shnum);
  std::memcpy(sections.data(), file.data() + header.e_shoff, sections.size() * sizeof(Shdr));
  for (const Shdr& section : sections) {
    if (section.sh_type != SHT_SYMTAB || section.sh_link >= sections.size()) continue;
    const Shdr& strings = sections[section.sh_link];
    if (section.sh_offset + section.sh_size > file.size() || strings.sh_offset + strings.sh_size > file.size())
      return std::nullopt;
    for (uint64_t at = 0; at + sizeof(Sym) <= section.sh_size; at += sizeof(Sym)) {
      Sym symbol;
      std::memcpy(&symbol, file.data() + section.sh_offset + at, sizeof symbol);
      if (symbol.st_name >= strings.sh_size) continue;
      const char* symbolName = file.data() + strings.sh_offset + symbol.st_name;
      if (name == symbolName) return symbol.st_value;
    }
  }
  return std::nullopt;
}

std::optional<uint64_t> SymbolValue(const std::string& path, const std::string& name) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (file.size() < EI_NIDENT || std::memcmp(file.data(), ELFMAG, SELFMAG) != 0) return std::nullopt;
  if (file[EI_CLASS] == ELFCLASS64) return SymbolValue<Elf64_Ehdr, Elf64_Shdr, Elf64_Sym>(file, name);
  return SymbolValue<Elf32_Ehdr, Elf32_Shdr, Elf32_Sym>(file, name);
}

}  // namespace

void* HiddenBundleObject(const TestHost& host, const std::string& name) {
  // The load address: where the dynamic linker put the file, checked against one exported name
  // whose address both ways must agree.
  void* entry = host.symbol("iTunesPluginMainMachO");
  Dl_info info{};
  if (!entry || !dladdr(entry, &info) || !info.dli_fbase) throw std::runtime_error("cannot locate the bundle");
  const auto entryValue = SymbolValue(host.executablePath(), "iTunesPluginMainMachO");
  if (!entryValue || static_cast<char*>(info.dli_fbase) + *entryValue != entry)
    throw std::runtime_error("the bundle's symbol table does not match the loaded bundle");
  const auto value = SymbolValue(host.executablePath(), name);
  if (!value) throw std::runtime_error("the bundle's symbol table has no " + name);
  return static_cast<char*>(info.dli_fbase) + *value;
}

}  // namespace lumetra::test
