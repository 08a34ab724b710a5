// Graphics ports, offscreen worlds, the current graphics world, rectangles, colours and the
// block copy between ports.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform_p.h"

// A device stands for what a port draws on. Nothing reads more than its pixel map: the
// screen device has none, a world's device shares the world's.
struct GDevice {
  PixMapHandle gdPMap;
};

enum PortKind : UInt8 { kScreenPort, kWorldPort, kWindowPort };

struct GrafPort {
  PortKind kind;
  Rect portRect;
  RGBColor rgbFgColor;
  RGBColor rgbBkColor;
  PixMapHandle portPixMap;  // null for the screen port; points at pixMapMaster below otherwise
  PixMapPtr pixMapMaster;
  PixMap pixMap;
  BitMap portBits;          // what GetPortBitMapForCopyBits hands out, made with the port
  GDevice device;           // a world's own device
  GDevice* deviceMaster;
  // A world's pixels follow the record in the same block, so that one free releases both.
};

namespace {

constexpr RGBColor kBlack = {0, 0, 0};
constexpr RGBColor kWhite = {0xFFFF, 0xFFFF, 0xFFFF};

// The screen: current from load, without pixels.
GrafPort gScreenPort = {kScreenPort, {0, 0, 0, 0}, kBlack, kWhite, nullptr, nullptr, {}, {}, {nullptr}, nullptr};
GDevice gScreenDevice = {nullptr};
GDevice* gScreenDeviceMaster = &gScreenDevice;

CGrafPtr gCurrentPort = &gScreenPort;
GDHandle gCurrentDevice = &gScreenDeviceMaster;

long gNewGWorldsUntilFailure = 0;  // 0: no failure pending
long gLiveWorlds = 0;

// The drawing library forms pixel addresses in signed 32-bit arithmetic, so no port's pixels
// may span 2^31 bytes or more.
constexpr int64_t kMaxPixelBytes = INT32_MAX;

int32_t Width(const Rect& r) { return int32_t{r.right} - r.left; }
int32_t Height(const Rect& r) { return int32_t{r.bottom} - r.top; }
bool IsEmpty(const Rect& r) { return r.top >= r.bottom || r.left >= r.right; }

bool NewGWorldAllowed() {
  if (gNewGWorldsUntilFailure > 0 && --gNewGWorldsUntilFailure == 0) return false;
  return true;
}

// Fills in a port over pixels at base (32 bits per pixel), everything but its kind and the
// memory behind it.
void InitPort(GrafPort* port, PortKind kind, void* base, SInt32 rowBytes, const Rect& bounds) {
  port->kind = kind;
  port->portRect = bounds;
  port->rgbFgColor = kBlack;
  port->rgbBkColor = kWhite;
  port->pixMap.baseAddr = static_cast<Ptr>(base);
  port->pixMap.rowBytes = rowBytes;
  port->pixMap.bounds = bounds;
  port->pixMap.pixelType = 16;  // direct colour
  port->pixMap.pixelSize = 32;
  port->pixMap.cmpCount = 3;
  port->pixMap.cmpSize = 8;
  port->pixMap.pmTable = nullptr;
  port->pixMapMaster = &port->pixMap;
  port->portPixMap = &port->pixMapMaster;
  port->portBits = {port->pixMap.baseAddr, rowBytes, bounds, 32};
  port->device.gdPMap = port->portPixMap;
  port->deviceMaster = &port->device;
}

// A port that is released must not stay current.
void ForgetIfCurrent(CGrafPtr port) {
  if (gCurrentPort == port) {
    gCurrentPort = &gScreenPort;
    gCurrentDevice = &gScreenDeviceMaster;
  }
}

UInt32 Pixel32(const RGBColor& c) {
  return (UInt32{c.red} >> 8) << 16 | (UInt32{c.green} >> 8) << 8 | UInt32{c.blue} >> 8;
}

// The classic colour constants; false for a value that names none.
bool ClassicColor(SInt32 color, RGBColor* rgb) {
  switch (color) {
    case blackColor: *rgb = {0, 0, 0}; return true;
    case whiteColor: *rgb = {0xFFFF, 0xFFFF, 0xFFFF}; return true;
    case redColor: *rgb = {0xFFFF, 0, 0}; return true;
    case greenColor: *rgb = {0, 0xFFFF, 0}; return true;
    case blueColor: *rgb = {0, 0, 0xFFFF}; return true;
    case cyanColor: *rgb = {0, 0xFFFF, 0xFFFF}; return true;
    case magentaColor: *rgb = {0xFFFF, 0, 0xFFFF}; return true;
    case yellowColor: *rgb = {0xFFFF, 0xFFFF, 0}; return true;
    default: return false;
  }
}

UInt8* PixelAddress(const BitMap& map, int32_t h, int32_t v) {
  return reinterpret_cast<UInt8*>(map.baseAddr) + static_cast<ptrdiff_t>(map.rowBytes) * (v - map.bounds.top) +
         static_cast<ptrdiff_t>(h - map.bounds.left) * 4;
}

}  // namespace

extern "C" {

OSErr NewGWorld(GWorldPtr* offscreen, SInt16 pixelDepth, const Rect* boundsRect, CTabHandle, GDHandle, UInt32) {
  // Every call counts towards LumetraFailNthNewGWorld, whatever its arguments.
  const bool allowed = NewGWorldAllowed();
  if (!offscreen) return paramErr;
  *offscreen = nullptr;
  if (!boundsRect || IsEmpty(*boundsRect) || pixelDepth != 32) return paramErr;
  if (!allowed) return memFullErr;
  const int64_t rowBytes = int64_t{Width(*boundsRect)} * 4;
  const int64_t pixelBytes = rowBytes * Height(*boundsRect);
  if (pixelBytes > kMaxPixelBytes || !PlatformAllocationAllowed()) return memFullErr;
  void* block = std::calloc(1, sizeof(GrafPort) + static_cast<size_t>(pixelBytes));
  if (!block) return memFullErr;
  auto* port = static_cast<GrafPort*>(block);
  InitPort(port, kWorldPort, port + 1, static_cast<SInt32>(rowBytes), *boundsRect);
  ++gLiveWorlds;
  *offscreen = port;
  return noErr;
}

void DisposeGWorld(GWorldPtr offscreen) {
  if (!offscreen || offscreen->kind != kWorldPort) return;
  ForgetIfCurrent(offscreen);
  --gLiveWorlds;
  std::free(offscreen);
}

void GetGWorld(CGrafPtr* port, GDHandle* gdh) {
  if (port) *port = gCurrentPort;
  if (gdh) *gdh = gCurrentDevice;
}

void SetGWorld(CGrafPtr port, GDHandle gdh) {
  if (!port) return;
  gCurrentPort = port;
  if (port->kind == kWorldPort)
    gCurrentDevice = &port->deviceMaster;
  else
    gCurrentDevice = gdh ? gdh : &gScreenDeviceMaster;
}

PixMapHandle GetGWorldPixMap(GWorldPtr offscreen) { return offscreen ? offscreen->portPixMap : nullptr; }

Boolean LockPixels(PixMapHandle) { return true; }

void OffsetRect(Rect* r, SInt16 dh, SInt16 dv) {
  if (!r) return;
  r->top = static_cast<SInt16>(r->top + dv);
  r->bottom = static_cast<SInt16>(r->bottom + dv);
  r->left = static_cast<SInt16>(r->left + dh);
  r->right = static_cast<SInt16>(r->right + dh);
}

Boolean EqualRect(const Rect* a, const Rect* b) {
  if (!a || !b) return false;
  return a->top == b->top && a->left == b->left && a->bottom == b->bottom && a->right == b->right;
}

void PaintRect(const Rect* r) {
  if (!r || !gCurrentPort->portPixMap) return;
  const BitMap& map = gCurrentPort->portBits;
  if (map.pixelSize != 32) return;
  const int32_t top = r->top > map.bounds.top ? r->top : map.bounds.top;
  const int32_t bottom = r->bottom < map.bounds.bottom ? r->bottom : map.bounds.bottom;
  const int32_t left = r->left > map.bounds.left ? r->left : map.bounds.left;
  const int32_t right = r->right < map.bounds.right ? r->right : map.bounds.right;
  if (top >= bottom || left >= right) return;
  const UInt32 value = Pixel32(gCurrentPort->rgbFgColor);
  for (int32_t v = top; v < bottom; ++v) {
    UInt8* row = PixelAddress(map, left, v);
    for (int32_t h = 0; h < right - left; ++h) std::memcpy(row + 4 * h, &value, 4);
  }
}

void ForeColor(SInt32 color) { ClassicColor(color, &gCurrentPort->rgbFgColor); }

void BackColor(SInt32 color) { ClassicColor(color, &gCurrentPort->rgbBkColor); }

void RGBForeColor(const RGBColor* color) {
  if (color) gCurrentPort->rgbFgColor = *color;
}

const BitMap* GetPortBitMapForCopyBits(CGrafPtr port) { return port ? &port->portBits : nullptr; }

void CopyBits(const BitMap* srcBits, const BitMap* dstBits, const Rect* srcRect, const Rect* dstRect, SInt16 mode,
              RgnHandle maskRgn) {
  if (!srcBits || !dstBits || !srcRect || !dstRect || mode != srcCopy || maskRgn) return;
  if (srcBits->pixelSize != 32 || dstBits->pixelSize != 32 || !srcBits->baseAddr || !dstBits->baseAddr) return;
  if (IsEmpty(*srcRect) || Width(*srcRect) != Width(*dstRect) || Height(*srcRect) != Height(*dstRect)) return;
  // Work in source coordinates: the destination bounds moved by the rectangles' offset. The
  // pixel pairs kept are those inside the source rectangle and both bounds.
  const int32_t dh = int32_t{dstRect->left} - srcRect->left;
  const int32_t dv = int32_t{dstRect->top} - srcRect->top;
  int32_t top = srcRect->top, left = srcRect->left, bottom = srcRect->bottom, right = srcRect->right;
  auto cut = [&](int32_t t, int32_t l, int32_t b, int32_t r) {
    if (top < t) top = t;
    if (left < l) left = l;
    if (bottom > b) bottom = b;
    if (right > r) right = r;
  };
  cut(srcBits->bounds.top, srcBits->bounds.left, srcBits->bounds.bottom, srcBits->bounds.right);
  cut(dstBits->bounds.top - dv, dstBits->bounds.left - dh, dstBits->bounds.bottom - dv, dstBits->bounds.right - dh);
  if (top >= bottom || left >= right) return;
  const size_t rowBytes = static_cast<size_t>(right - left) * 4;
  // Rows run bottom-up when the destination lies below the source in one shared memory, so a
  // row is never overwritten before it is read; memmove takes care of the columns.
  const bool upward = dstBits->baseAddr == srcBits->baseAddr && dv > 0;
  for (int32_t i = 0; i < bottom - top; ++i) {
    const int32_t v = upward ? bottom - 1 - i : top + i;
    std::memmove(PixelAddress(*dstBits, left + dh, v + dv), PixelAddress(*srcBits, left, v), rowBytes);
  }
}

CGrafPtr LumetraNewWindowPort(void* pixels, SInt32 rowBytes, const Rect* bounds) {
  if (!pixels || !bounds || IsEmpty(*bounds)) return nullptr;
  if (int64_t{rowBytes} < int64_t{Width(*bounds)} * 4) return nullptr;
  if (int64_t{rowBytes} * Height(*bounds) > kMaxPixelBytes) return nullptr;
  if (!PlatformAllocationAllowed()) return nullptr;
  auto* port = static_cast<GrafPort*>(std::calloc(1, sizeof(GrafPort)));
  if (!port) return nullptr;
  InitPort(port, kWindowPort, pixels, rowBytes, *bounds);
  return port;
}

void LumetraDisposeWindowPort(CGrafPtr port) {
  if (!port || port->kind != kWindowPort) return;
  ForgetIfCurrent(port);
  std::free(port);
}

OSErr LumetraGetPortColors(CGrafPtr port, RGBColor* foreground, RGBColor* background) {
  if (!port) return paramErr;
  if (foreground) *foreground = port->rgbFgColor;
  if (background) *background = port->rgbBkColor;
  return noErr;
}

void LumetraFailNthNewGWorld(long n) { gNewGWorldsUntilFailure = n > 0 ? n : 0; }

long LumetraLiveGWorldCount(void) { return gLiveWorlds; }

}  // extern "C"
