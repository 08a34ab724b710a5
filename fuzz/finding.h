// How a fuzz target reports what it found: one line on stderr, then abort, so that libFuzzer
// keeps the input that led there (in build/fuzz/findings/ when run by fuzz/run).
#ifndef LUMETRA_FUZZ_FINDING_H
#define LUMETRA_FUZZ_FINDING_H

#include <cstdio>
#include <cstdlib>
#include <string>

namespace lumetra::fuzz {

[[noreturn]] inline void Finding(const std::string& what) {
  std::fprintf(stderr, "finding: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace lumetra::fuzz

#endif
