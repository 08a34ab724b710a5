// The bundle's dynamic symbol table holds exactly the names listed in tests/plugin/exports/*.txt
// (one file per owner, one name a line), each a function with C linkage, and nothing else of
// ours: no data, no mangled C++ name, no helper that forgot to be hidden.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "testhost.h"

namespace lumetra::test {
namespace {

struct Symbol {
  char type;
  std::string name;
};

// `nm -D --defined-only` of the shared object (the toolchain's nm, found by CMake): one "address type name" line per symbol.
std::vector<Symbol> definedDynamicSymbols(const std::string& path) {
  const std::string command = std::string(LUMETRA_NM) + " -D --defined-only '" + path + "'";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) throw std::runtime_error("cannot run " + command);
  std::vector<Symbol> symbols;
  char line[1024];
  while (std::fgets(line, sizeof line, pipe.get())) {
    std::istringstream in(line);
    std::string address, type, name;
    if (!(in >> address >> type >> name) || type.size() != 1) throw std::runtime_error("unexpected nm line: " + std::string(line));
    // Versioned names carry "@VERSION"; the bundle's version script gives them none, but a
    // version would not make the name another one.
    name = name.substr(0, name.find('@'));
    symbols.push_back({type[0], name});
  }
  const int status = pclose(pipe.release());
  if (status != 0) throw std::runtime_error(command + " failed with status " + std::to_string(status));
  return symbols;
}

std::set<std::string> listedExports() {
  std::set<std::string> names;
  const std::filesystem::path folder = std::filesystem::path(LUMETRA_SOURCE_DIR) / "tests" / "plugin" / "exports";
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() != ".txt") continue;
    std::ifstream in(entry.path());
    std::string line;
    while (std::getline(in, line)) {
      const auto first = line.find_first_not_of(" \t\r");
      if (first == std::string::npos) continue;
      const auto last = line.find_last_not_of(" \t\r");
      EXPECT_TRUE(names.insert(line.substr(first, last - first + 1)).second)
          << line << " is listed twice (" << entry.path().filename() << ")";
    }
  }
  return names;
}

TEST(Exports, TheDynamicTableHoldsExactlyTheListedFunctions) {
  TestHost host;  // the bundle must also load, and with it its listed names
  const std::set<std::string> listed = listedExports();
  ASSERT_FALSE(listed.empty());

  std::set<std::string> exported;
  for (const Symbol& s : definedDynamicSymbols(host.executablePath())) {
    // Nothing is filtered: on every preset (ASan and UBSan included) the toolchain adds no
    // defined symbol of its own (_init, _fini and the like stay out of this table).
    // Every defined dynamic symbol counts, functions or not: an exported data object of ours is
    // as much a leak as a function. Lower-case types are local and cannot be in this table,
    // except 'i' (an indirect function, what target_clones makes of a dispatched export).
    EXPECT_FALSE(s.name.starts_with("_Z")) << s.name << " has C++ linkage";
    EXPECT_TRUE(s.type == 'T' || s.type == 'W' || s.type == 'i')
        << s.name << " is exported as '" << s.type << "', not as a function";
    exported.insert(s.name);
  }

  for (const std::string& name : listed) {
    EXPECT_TRUE(exported.contains(name)) << name << " is listed but not exported";
    EXPECT_NE(host.symbol(name.c_str()), nullptr) << name << " cannot be looked up";
  }
  for (const std::string& name : exported) EXPECT_TRUE(listed.contains(name)) << name << " is exported but not listed";
}

}  // namespace
}  // namespace lumetra::test
