/*
 * The desktop platform, as far as Lumetra relies on it.
 *
 * libLumetraPlatform.so stands in for the platform services the plug-in was written
 * against: the memory manager, pixel maps and graphics ports, offscreen worlds, the block
 * copy, bundles, interface files, windows, controls, events and the alert sound. Each call
 * keeps the platform's name and does what the plug-in relies on and no more. Host and
 * plug-in both link this one shared library, so they see one current graphics world and
 * one set of windows.
 *
 * The header is C so that it can be included from C and C++ alike. Calls whose names begin
 * with "Lumetra" are the host-facing half: they are ours, for the player and for tests.
 */
#ifndef LUMETRA_PLATFORM_H
#define LUMETRA_PLATFORM_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(LUMETRA_PLATFORM_BUILD)
#define LUMETRA_PLATFORM_API __attribute__((visibility("default")))
#else
#define LUMETRA_PLATFORM_API
#endif

/* ---- Scalar types ------------------------------------------------------------------- */

typedef uint8_t UInt8;
typedef int8_t SInt8;
typedef uint16_t UInt16;
typedef int16_t SInt16;
typedef uint32_t UInt32;
typedef int32_t SInt32;
typedef uint64_t UInt64;
typedef int64_t SInt64;
typedef UInt8 Boolean;
typedef char* Ptr;
typedef Ptr* Handle;
typedef long Size;
typedef SInt16 OSErr;
typedef SInt32 OSStatus;
typedef UInt32 OSType;
typedef UInt32 FourCharCode;
typedef unsigned long ByteCount;
typedef unsigned long ItemCount;

enum {
  noErr = 0,
  unimpErr = -4,     /* message or call not handled */
  paramErr = -50,    /* an argument is unusable */
  memFullErr = -108  /* the memory could not be had */
};

/* A four-character code packed into 32 bits, first character in the most significant byte. */
#define LUMETRA_FOURCC(a, b, c, d) \
  ((OSType)(((UInt32)(UInt8)(a) << 24) | ((UInt32)(UInt8)(b) << 16) | ((UInt32)(UInt8)(c) << 8) | (UInt32)(UInt8)(d)))

/* ---- Geometry records ---------------------------------------------------------------- */

/* Half-open: covers left <= h < right and top <= v < bottom. */
typedef struct Rect {
  SInt16 top;
  SInt16 left;
  SInt16 bottom;
  SInt16 right;
} Rect;

typedef struct Point {
  SInt16 v;
  SInt16 h;
} Point;

/* 0 is none of a component, 65535 is full. */
typedef struct RGBColor {
  UInt16 red;
  UInt16 green;
  UInt16 blue;
} RGBColor;

/* ---- Memory manager ------------------------------------------------------------------ */

/* A zero-filled block of byteCount bytes, or null when the memory cannot be had (also for a
 * negative count). Release it with DisposePtr. */
LUMETRA_PLATFORM_API Ptr NewPtrClear(Size byteCount);
/* Releases a block from NewPtrClear; null is ignored. */
LUMETRA_PLATFORM_API void DisposePtr(Ptr p);
/* Copies byteCount bytes; the two ranges may overlap. A count of 0 or less copies nothing. */
LUMETRA_PLATFORM_API void BlockMoveData(const void* src, void* dst, Size byteCount);

/* Fault injection for tests: the n-th allocation from now (1 = the next one) fails, and every
 * allocation after it succeeds again. 0 cancels a pending failure. Allocations counted here are
 * those of NewPtrClear and of every platform object that takes memory (worlds, ports). */
LUMETRA_PLATFORM_API void LumetraFailNthAllocation(long n);
/* Blocks from NewPtrClear not yet released, for leak checks. */
LUMETRA_PLATFORM_API long LumetraLivePtrCount(void);

/* ---- Multiprocessing services -------------------------------------------------------- */

/* Copies byteCount bytes from src to dst before it returns; overlapping ranges are moved as
 * memmove moves them. */
LUMETRA_PLATFORM_API void MPBlockCopy(const void* src, void* dst, ByteCount byteCount);

/* ---- File specification -------------------------------------------------------------- */

/* What the host writes on 'pspc': the full path of the plug-in's bundle folder, NUL-terminated.
 * A path that does not fit is cut and still terminated. */
enum { kLumetraFileSpecPathMax = 4096 };
typedef struct FSSpec {
  char path[kLumetraFileSpecPathMax];
} FSSpec;

/* Fills spec with path (cut to fit). Returns noErr, or paramErr for a null argument. */
LUMETRA_PLATFORM_API OSErr LumetraMakeFileSpec(const char* path, FSSpec* spec);

/* ---- Pixel maps ---------------------------------------------------------------------- */

typedef struct ColorSpec {
  SInt16 value;  /* the entry's index value; the drawing library never reads it */
  RGBColor rgb;
} ColorSpec;

/* A colour table: ctSize is the last index (number of entries minus one; -1 for none),
 * followed by that many entries. The table is allocated with room for all of them;
 * ctTable is declared with one element and reached through a pointer. */
typedef struct ColorTable {
  SInt32 ctSeed;
  SInt16 ctFlags;
  SInt16 ctSize;
  ColorSpec ctTable[1];
} ColorTable;
typedef ColorTable* CTabPtr;
typedef CTabPtr* CTabHandle;

/* A pixel map record. The drawing library reads bounds, pixelSize and pmTable from it and
 * takes the base address and row bytes from GetPixBaseAddr and GetPixRowBytes. */
typedef struct PixMap {
  Ptr baseAddr;       /* the pixel at (bounds.left, bounds.top) */
  SInt32 rowBytes;    /* distance between the starts of two rows, a 32-bit count */
  Rect bounds;
  SInt16 pixelType;
  SInt16 pixelSize;   /* bits per pixel */
  SInt16 cmpCount;
  SInt16 cmpSize;
  CTabHandle pmTable; /* may be null; used at 8 bits per pixel */
} PixMap;
typedef PixMap* PixMapPtr;
typedef PixMapPtr* PixMapHandle;

/* The address of the pixel at (bounds.left, bounds.top); null for a null handle or master
 * pointer. */
LUMETRA_PLATFORM_API Ptr GetPixBaseAddr(PixMapHandle pm);
/* The row bytes as a 32-bit count; 0 for a null handle or master pointer. */
LUMETRA_PLATFORM_API SInt32 GetPixRowBytes(PixMapHandle pm);

/* A pixel map over memory the caller owns: pixelSize bits per pixel, the given bounds and row
 * bytes, and an optional colour table (not copied; it must outlive the map). The record and
 * its master pointer are allocated here and released by LumetraDisposePixMap; the pixels are
 * the caller's. Returns null when the memory cannot be had. */
LUMETRA_PLATFORM_API PixMapHandle LumetraNewPixMap(void* pixels, SInt16 pixelSize, const Rect* bounds,
                                                   SInt32 rowBytes, CTabHandle table);
LUMETRA_PLATFORM_API void LumetraDisposePixMap(PixMapHandle pm);

/* A colour table of count entries (0 to 256; index values 0, 1, ...), all black, and its
 * master pointer. Returns null when the memory cannot be had or count is out of range. */
LUMETRA_PLATFORM_API CTabHandle LumetraNewColorTable(SInt16 count);
LUMETRA_PLATFORM_API void LumetraDisposeColorTable(CTabHandle table);

/* ---- Graphics ports and offscreen worlds --------------------------------------------- */

/* A graphics port: a window's port or an offscreen world. Its pixels are a PixMap. */
typedef struct GrafPort GrafPort;
typedef GrafPort* GrafPtr;
typedef GrafPtr CGrafPtr;
typedef CGrafPtr GWorldPtr;
typedef struct GDevice GDevice;
typedef GDevice** GDHandle;

#ifdef __cplusplus
}
#endif

#endif
