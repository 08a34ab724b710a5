// Pixel maps and colour tables over memory their callers own.
#include <cstddef>
#include <cstdlib>
#include <new>

#include "platform_p.h"

namespace {

// A handle and the record it reaches, allocated together so that one free releases both.
struct PixMapBlock {
  PixMapPtr master;
  PixMap record;
};

struct ColorTableBlock {
  CTabPtr master;
  // The table itself follows, sized for its entries.
};

}  // namespace

extern "C" {

Ptr GetPixBaseAddr(PixMapHandle pm) { return pm && *pm ? (*pm)->baseAddr : nullptr; }

SInt32 GetPixRowBytes(PixMapHandle pm) { return pm && *pm ? (*pm)->rowBytes : 0; }

PixMapHandle LumetraNewPixMap(void* pixels, SInt16 pixelSize, const Rect* bounds, SInt32 rowBytes,
                              CTabHandle table) {
  if (!bounds || !PlatformAllocationAllowed()) return nullptr;
  auto* block = static_cast<PixMapBlock*>(std::calloc(1, sizeof(PixMapBlock)));
  if (!block) return nullptr;
  block->record.baseAddr = static_cast<Ptr>(pixels);
  block->record.rowBytes = rowBytes;
  block->record.bounds = *bounds;
  block->record.pixelSize = pixelSize;
  block->record.cmpCount = pixelSize > 8 ? 3 : 1;
  block->record.cmpSize = pixelSize == 32 ? 8 : pixelSize == 16 ? 5 : pixelSize;
  block->record.pmTable = table;
  block->master = &block->record;
  return &block->master;
}

void LumetraDisposePixMap(PixMapHandle pm) {
  // The handle is the first member of its block.
  std::free(reinterpret_cast<PixMapBlock*>(pm));
}

CTabHandle LumetraNewColorTable(SInt16 count) {
  if (count < 0 || count > 256 || !PlatformAllocationAllowed()) return nullptr;
  const size_t tableBytes = offsetof(ColorTable, ctTable) + sizeof(ColorSpec) * (count > 0 ? count : 1);
  auto* block = static_cast<ColorTableBlock*>(std::calloc(1, sizeof(ColorTableBlock) + tableBytes));
  if (!block) return nullptr;
  auto* table = reinterpret_cast<CTabPtr>(block + 1);
  table->ctSize = static_cast<SInt16>(count - 1);
  ColorSpec* entries = table->ctTable;
  for (SInt16 i = 0; i < count; ++i) entries[i].value = i;
  block->master = table;
  return &block->master;
}

void LumetraDisposeColorTable(CTabHandle table) { std::free(reinterpret_cast<ColorTableBlock*>(table)); }

}  // extern "C"
