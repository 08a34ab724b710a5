// The memory manager, the block copy and the file specification record.
#include <cstdlib>
#include <cstring>

#include "platform_p.h"

namespace {

long gAllocationsUntilFailure = 0;  // 0: no failure pending
long gLivePtrs = 0;

}  // namespace

bool PlatformAllocationAllowed() {
  if (gAllocationsUntilFailure > 0 && --gAllocationsUntilFailure == 0) return false;
  return true;
}

extern "C" {

void LumetraFailNthAllocation(long n) { gAllocationsUntilFailure = n > 0 ? n : 0; }

long LumetraLivePtrCount(void) { return gLivePtrs; }

Ptr NewPtrClear(Size byteCount) {
  if (byteCount < 0 || !PlatformAllocationAllowed()) return nullptr;
  // calloc(0) may return null; a zero-byte block is still a block the caller may release.
  void* p = std::calloc(1, byteCount > 0 ? static_cast<size_t>(byteCount) : 1);
  if (p) ++gLivePtrs;
  return static_cast<Ptr>(p);
}

void DisposePtr(Ptr p) {
  if (!p) return;
  --gLivePtrs;
  std::free(p);
}

void BlockMoveData(const void* src, void* dst, Size byteCount) {
  if (byteCount > 0) std::memmove(dst, src, static_cast<size_t>(byteCount));
}

void MPBlockCopy(const void* src, void* dst, ByteCount byteCount) {
  if (byteCount > 0) std::memmove(dst, src, byteCount);
}

OSErr LumetraMakeFileSpec(const char* path, FSSpec* fileSpec) {
  if (!path || !fileSpec) return paramErr;
  std::memset(fileSpec, 0, sizeof *fileSpec);
  std::strncpy(fileSpec->path, path, sizeof fileSpec->path - 1);
  return noErr;
}

}  // extern "C"
