// Counts every allocation of the process: these definitions take the place of the C library's
// allocator entry points for the program and every library it loads (the bundle and the
// platform included), count the call, and hand it on to the C library's own allocator.
// operator new ends in malloc, so it is counted too.
#include <cstddef>

#include "bench.h"

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
}

namespace {
long gAllocations = 0;
}

long lumetra::bench::AllocationCount() { return gAllocations; }

extern "C" {

__attribute__((visibility("default"))) void* malloc(size_t size) {
  ++gAllocations;
  return __libc_malloc(size);
}
__attribute__((visibility("default"))) void* calloc(size_t count, size_t size) {
  ++gAllocations;
  return __libc_calloc(count, size);
}
__attribute__((visibility("default"))) void* realloc(void* p, size_t size) {
  ++gAllocations;
  return __libc_realloc(p, size);
}
__attribute__((visibility("default"))) void* memalign(size_t alignment, size_t size) {
  ++gAllocations;
  return __libc_memalign(alignment, size);
}
__attribute__((visibility("default"))) void* aligned_alloc(size_t alignment, size_t size) {
  ++gAllocations;
  return __libc_memalign(alignment, size);
}
__attribute__((visibility("default"))) int posix_memalign(void** out, size_t alignment, size_t size) {
  ++gAllocations;
  void* p = __libc_memalign(alignment, size);
  if (!p) return 12;  // ENOMEM
  *out = p;
  return 0;
}

}  // extern "C"
