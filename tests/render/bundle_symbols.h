// Reaching the bundle's hidden globals from a test. The bundle exports only its public names,
// so the settings bytes are found through the shared object's full symbol table instead.
#ifndef LUMETRA_TESTS_BUNDLE_SYMBOLS_H
#define LUMETRA_TESTS_BUNDLE_SYMBOLS_H

#include <string>

#include "testhost.h"

namespace lumetra::test {

// The address, in the loaded bundle, of the object called name in its symbol table; throws
// std::runtime_error when the file has no such symbol (a stripped build, say).
void* HiddenBundleObject(const TestHost& host, const std::string& name);

}  // namespace lumetra::test

#endif
