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

/* Fills fileSpec with path (cut to fit). Returns noErr, or paramErr for a null argument. */
LUMETRA_PLATFORM_API OSErr LumetraMakeFileSpec(const char* path, FSSpec* fileSpec);

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

/* ---- Graphics ports and offscreen worlds: the calls ----------------------------------- */

/*
 * A port holds a pixel map (a PixMapHandle), a port rectangle, and a foreground and a
 * background colour (black and white when it is made). Three kinds exist:
 *   - the screen port, current from load together with the screen device; it has no pixels,
 *     so drawing into it and copying to or from it does nothing;
 *   - offscreen worlds (NewGWorld), which own their pixel memory and a device of their own;
 *   - window ports (LumetraNewWindowPort) over 32-bit pixels that the host owns.
 * The records are the platform's own; callers reach them only through these calls.
 *
 * One graphics world (a port and a device) is current at a time, process-wide. Drawing calls
 * (PaintRect, ForeColor, BackColor, RGBForeColor) act on the current port.
 */

/* A bit map as CopyBits takes it: the pixel at (bounds.left, bounds.top) lies at baseAddr,
 * rows are rowBytes apart, and pixelSize is the bits per pixel (0 for a port without
 * pixels). GetPortBitMapForCopyBits hands out the port's own; it lives as long as the port. */
typedef struct BitMap {
  Ptr baseAddr;
  SInt32 rowBytes;
  Rect bounds;
  SInt16 pixelSize;
} BitMap;

/* Regions exist only as the type of CopyBits' mask; the platform makes none. */
typedef struct Region Region;
typedef Region** RgnHandle;

/* NewGWorld's flags. Only useTempMem is named, as it is the one the renderer passes; the
 * platform has one kind of memory, so the bit changes nothing. Every other bit is accepted
 * and ignored as well. */
enum { useTempMem = 4 };

/* The classic colour constants of ForeColor and BackColor. */
enum {
  blackColor = 33,
  whiteColor = 30,
  redColor = 205,
  greenColor = 341,
  blueColor = 409,
  cyanColor = 273,
  magentaColor = 137,
  yellowColor = 69
};

/* CopyBits' transfer modes; only srcCopy copies (see CopyBits). */
enum { srcCopy = 0 };

/* Makes an offscreen world of pixelDepth bits per pixel whose port rectangle and pixel map
 * bounds are *boundsRect, its pixels all 0, its foreground black and its background white,
 * and stores it in *offscreen. Only depth 32 is made. The colour table and the device are not
 * consulted (a 32-bit world needs neither) and may be null; flags are described above.
 * Answers noErr, or on failure leaves *offscreen null and answers
 *   paramErr   for a null argument, an empty or inverted rectangle or a depth other than 32;
 *   memFullErr when the memory cannot be had: an allocation refused (LumetraFailNthAllocation
 *              counts NewGWorld as one allocation), or pixels of 2^31 bytes or more, which the
 *              drawing library's 32-bit address arithmetic could not reach.
 * The pixel memory keeps one address for the world's whole life. */
LUMETRA_PLATFORM_API OSErr NewGWorld(GWorldPtr* offscreen, SInt16 pixelDepth, const Rect* boundsRect,
                                     CTabHandle cTable, GDHandle aGDevice, UInt32 flags);
/* Releases the world and its pixel memory, locked or not; null, and a port that is not an
 * offscreen world, are ignored. If the world is current, the screen port and device become
 * current, so the current world is never a released one. */
LUMETRA_PLATFORM_API void DisposeGWorld(GWorldPtr offscreen);
/* Stores the current port and device; either pointer may be null. */
LUMETRA_PLATFORM_API void GetGWorld(CGrafPtr* port, GDHandle* gdh);
/* Makes port current. For an offscreen world its own device becomes current and gdh is not
 * used; for any other port gdh does, or the screen device when gdh is null. A null port
 * changes nothing. */
LUMETRA_PLATFORM_API void SetGWorld(CGrafPtr port, GDHandle gdh);
/* The pixel map of a world (or of any port); null for a null port or the screen port. */
LUMETRA_PLATFORM_API PixMapHandle GetGWorldPixMap(GWorldPtr offscreen);
/* Pixels here never move, so locking only answers true. */
LUMETRA_PLATFORM_API Boolean LockPixels(PixMapHandle pm);

/* Moves r by dh columns and dv rows, each field computed in 16 bits (it wraps). Null is
 * ignored. */
LUMETRA_PLATFORM_API void OffsetRect(Rect* r, SInt16 dh, SInt16 dv);
/* True exactly when all four coordinates are equal; false when either pointer is null. */
LUMETRA_PLATFORM_API Boolean EqualRect(const Rect* a, const Rect* b);
/* Fills r, cut to the current port's pixel map bounds, with the current foreground colour.
 * Only 32-bit ports are painted: the colour's top 8 bits of red, green and blue go to bits
 * 16-23, 8-15 and 0-7 of each pixel, the top byte is 0. */
LUMETRA_PLATFORM_API void PaintRect(const Rect* r);

/* The current port's foreground or background colour becomes the classic colour named by
 * the constant; a value that names none leaves the colour as it was. */
LUMETRA_PLATFORM_API void ForeColor(SInt32 color);
LUMETRA_PLATFORM_API void BackColor(SInt32 color);
/* The current port's foreground colour becomes *color; null is ignored. */
LUMETRA_PLATFORM_API void RGBForeColor(const RGBColor* color);

/* The port's bit map for CopyBits; null for a null port. */
LUMETRA_PLATFORM_API const BitMap* GetPortBitMapForCopyBits(CGrafPtr port);
/* Copies srcRect of srcBits onto dstRect of dstBits, pixel for pixel, both rectangles in their
 * own bit map's coordinates. What is copied:
 *   - mode srcCopy with no mask between two 32-bit bit maps. The copy is never colourised:
 *     pixels arrive exactly as they are (a black foreground and white background would leave
 *     them so anyway). Any other mode, a mask, or another depth on either side copies nothing.
 *   - rectangles of the same width and height; the copy does not scale, so a size mismatch
 *     (or an empty rectangle) copies nothing.
 *   - the pairs of pixels whose source lies inside srcBits and whose destination lies inside
 *     dstBits: the two rectangles are cut together, so nothing outside either bit map is read
 *     or written and every pixel that is copied lands where the uncut copy would put it.
 * Null arguments copy nothing. A copy within one bit map is made as if the source had been
 * read whole first. */
LUMETRA_PLATFORM_API void CopyBits(const BitMap* srcBits, const BitMap* dstBits, const Rect* srcRect,
                                   const Rect* dstRect, SInt16 mode, RgnHandle maskRgn);

/* Host-facing: a window port over 32-bit pixels the host owns. The pixel at (bounds->left,
 * bounds->top) lies at pixels and rows are rowBytes apart (any row bytes of at least 4 times
 * the width). The port rectangle and the pixel map bounds are *bounds, so the host
 * chooses the port's coordinates: bounds at (0, 0) make port coordinates pixel offsets;
 * bounds elsewhere make a destination rectangle land at those coordinates of the port. The
 * port's foreground starts black and its background white. Answers null for a null or empty
 * argument, row bytes too small for the width, pixels of 2^31 bytes or more, or when the
 * memory cannot be had (counted by LumetraFailNthAllocation). The pixels stay the host's and
 * must outlive the port. */
LUMETRA_PLATFORM_API CGrafPtr LumetraNewWindowPort(void* pixels, SInt32 rowBytes, const Rect* bounds);
/* Releases a window port (not its pixels); null, and a port that is not a window port, are
 * ignored. If it is current, the screen port and device become current. */
LUMETRA_PLATFORM_API void LumetraDisposeWindowPort(CGrafPtr port);

/* For tests. The port's foreground and background colours (either pointer may be null);
 * answers noErr, or paramErr for a null port. */
LUMETRA_PLATFORM_API OSErr LumetraGetPortColors(CGrafPtr port, RGBColor* foreground, RGBColor* background);
/* The n-th call of NewGWorld from now (1 = the next one) fails, and every one after it
 * succeeds again; 0 cancels a pending failure. Every call counts; the failing one answers
 * memFullErr, or paramErr if its arguments are unusable anyway. */
LUMETRA_PLATFORM_API void LumetraFailNthNewGWorld(long n);
/* Offscreen worlds made and not yet released, for leak checks. */
LUMETRA_PLATFORM_API long LumetraLiveGWorldCount(void);


/* ---- Toolkit: bundles, strings, interface files, windows, controls, events ----------- */

/*
 * What the settings window needs of the desktop toolkit, and the host-facing half that lets
 * a player draw the toolkit's windows and click their controls. Everything here runs on the
 * host's one thread; nothing takes a lock.
 *
 * Lifetimes: constant strings and windows live for the process (the plug-in keeps its
 * settings window). A bundle record lives until LumetraUnregisterAllBundles. An interface
 * file reference lives until DisposeNibReference, which frees everything it holds; windows
 * made from it are copies and outlive it. Every allocation goes through the fault-injection
 * schedule of LumetraFailNthAllocation and answers memFullErr (or null) when refused.
 */

typedef const struct LumetraString* CFStringRef;
typedef struct LumetraBundle* CFBundleRef;
typedef struct LumetraNib* IBNibRef;
typedef struct LumetraWindow* WindowRef;
typedef struct LumetraControl* ControlRef;
typedef struct LumetraEventTarget* EventTargetRef;
typedef struct LumetraEvent* EventRef;
typedef struct LumetraEventHandler* EventHandlerRef;
typedef struct LumetraEventHandlerCall* EventHandlerCallRef;
typedef OSType EventParamName;
typedef OSType EventParamType;

/* Toolkit statuses, besides paramErr (-50) for a null or unusable argument and memFullErr. */
enum {
  bundleInfoNotFoundErr = -4601,     /* <bundle>/Contents/Info is missing or unreadable */
  bundleInfoMalformedErr = -4602,    /* Contents/Info breaks its format (see below) */
  nibFileNotFoundErr = -4611,        /* Contents/Resources/<name>.nib is missing or unreadable */
  nibObjectNotFoundErr = -4612,      /* the interface file holds no window of that name */
  nibMalformedErr = -4613,           /* the interface file breaks its format (see below) */
  controlNotFoundErr = -4621,        /* the window has no control with that ID */
  eventNotHandledErr = -4631,        /* no handler took the event */
  eventParameterNotFoundErr = -4632, /* the event has no parameter of that name and type */
  eventParameterSizeErr = -4633      /* the buffer is not the size of the parameter */
};

/* -- Strings -- */

/* The string for cStr; the same text always gives the same object, which lives for the
 * process. Null for a null argument or when the memory cannot be had. */
LUMETRA_PLATFORM_API CFStringRef __CFStringMakeConstantString(const char* cStr);
#define CFSTR(cStr) __CFStringMakeConstantString("" cStr "")
/* Host-facing: the NUL-terminated text of a string; "" for null. */
LUMETRA_PLATFORM_API const char* LumetraStringText(CFStringRef string);

/* -- Bundles -- */

/* The bundle registered under the identifier, or null (also for a null argument). */
LUMETRA_PLATFORM_API CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef bundleID);

/*
 * Host-facing: registers the bundle folder at bundlePath under the identifier read from its
 * Contents/Info. Info is text, at most 4096 bytes, one "key = value" a line (spaces around
 * key and value are dropped; blank lines and lines starting with '#' are skipped). The keys
 * "identifier" and "executable" must be there, "version" may be; each at most once, each with
 * a non-empty value of at most 255 bytes; other keys are ignored. Registering an identifier
 * again points its record at the new folder (the latest load wins; bundle references handed
 * out stay valid). Returns noErr, paramErr (null, empty or over-long path), bundleInfoNotFoundErr,
 * bundleInfoMalformedErr or memFullErr; on an error nothing is registered or changed.
 */
LUMETRA_PLATFORM_API OSStatus LumetraRegisterBundle(const char* bundlePath);
/* Host-facing, for tests: forgets every bundle; references handed out become invalid. */
LUMETRA_PLATFORM_API void LumetraUnregisterAllBundles(void);
/* Host-facing: the folder a bundle was registered from; "" for null. */
LUMETRA_PLATFORM_API const char* LumetraBundlePath(CFBundleRef bundle);

/* -- Interface files -- */

/*
 * An interface file is <bundle>/Contents/Resources/<name>.nib, a small text format of ours:
 *
 *   nib 1                                          first statement: the format and its version
 *   window "PluginSettings"                        opens a window description, by name
 *     title "Settings"                             optional, at most once
 *     size 320 128                                 width and height, 1 to 4096, exactly once
 *     checkbox 'cbox' 3 "Colour mode" 20 20 40 300 kind, signature, number, title, frame
 *     button 'bttn' 5 "Done" 88 220 108 300
 *   end                                            closes the window description
 *
 * One statement a line; words, numbers, "strings" and 'four' character codes are separated
 * by spaces or tabs; '#' outside a string starts a comment. A frame is top left bottom right
 * in the window's coordinates, non-empty and inside the window's size. Numbers are decimal;
 * a control number is any 32-bit signed value. Names are 1 to 63 bytes, titles at most 127,
 * both without '"' or control characters; a signature is four printable ASCII characters.
 * Window names are unique in a file, control IDs (signature and number) in a window. Limits:
 * 65536 bytes a file, 512 a line, 16 windows a file, 32 controls a window. Anything else is
 * malformed: the call that reads the file answers nibMalformedErr and makes nothing.
 */

/* Reads and checks the file whole. The name must be a plain file name of 1 to 63 bytes (no '/',
 * not "." or ".."), else paramErr. Returns noErr, paramErr, nibFileNotFoundErr, nibMalformedErr or memFullErr; *outNibRef is
 * null on every error. */
LUMETRA_PLATFORM_API OSStatus CreateNibReferenceWithCFBundle(CFBundleRef inBundle, CFStringRef inNibName,
                                                              IBNibRef* outNibRef);
/* Makes a hidden window from the description named inName. Returns noErr, paramErr,
 * nibObjectNotFoundErr or memFullErr; *outWindow is null on every error. */
LUMETRA_PLATFORM_API OSStatus CreateWindowFromNib(IBNibRef inNibRef, CFStringRef inName, WindowRef* outWindow);
/* Frees the reference and all it holds; null is ignored. */
LUMETRA_PLATFORM_API void DisposeNibReference(IBNibRef inNibRef);

/* -- Windows -- */

/* Null is ignored by both. */
LUMETRA_PLATFORM_API void ShowWindow(WindowRef window);
LUMETRA_PLATFORM_API void HideWindow(WindowRef window);
/* Frees a window with its controls and handlers; null is ignored. */
LUMETRA_PLATFORM_API void DisposeWindow(WindowRef window);
/* The window's event target; null for null. */
LUMETRA_PLATFORM_API EventTargetRef GetWindowEventTarget(WindowRef window);

/* -- Events -- */

enum {
  kEventClassControl = LUMETRA_FOURCC('c', 'n', 't', 'l'),
  kEventControlHit = 1,
  kEventParamDirectObject = LUMETRA_FOURCC('-', '-', '-', '-'),
  typeControlRef = LUMETRA_FOURCC('c', 't', 'r', 'l')
};

typedef struct EventTypeSpec {
  UInt32 eventClass;
  UInt32 eventKind;
} EventTypeSpec;

typedef OSStatus (*EventHandlerProcPtr)(EventHandlerCallRef inHandlerCallRef, EventRef inEvent, void* inUserData);
/* A handler procedure as installed; wrapping costs nothing and needs no disposal. */
typedef EventHandlerProcPtr EventHandlerUPP;
LUMETRA_PLATFORM_API EventHandlerUPP NewEventHandlerUPP(EventHandlerProcPtr userRoutine);

/* Installs the handler on the target for the inNumTypes event types listed (1 to 64; they
 * are copied). Handlers live as long as their window. An event goes to the handlers installed
 * for its type, the latest first, until one answers something other than eventNotHandledErr.
 * outRef may be null. Returns noErr, paramErr or memFullErr. */
LUMETRA_PLATFORM_API OSStatus InstallEventHandler(EventTargetRef inTarget, EventHandlerUPP inHandler,
                                                  ItemCount inNumTypes, const EventTypeSpec* inList,
                                                  void* inUserData, EventHandlerRef* outRef);

/* The only parameter an event carries is its direct object: for a control hit, name
 * kEventParamDirectObject, type typeControlRef, the ControlRef that was hit. inBufferSize must
 * be sizeof(ControlRef): 4 on a 32-bit build as the plug-in was written for, 8 on LP64, where
 * the reference widens with every other address. outActualType and outActualSize may be null.
 * Returns noErr, paramErr (null event or buffer), eventParameterNotFoundErr or
 * eventParameterSizeErr; the buffer is written only on noErr. */
LUMETRA_PLATFORM_API OSStatus GetEventParameter(EventRef inEvent, EventParamName inName, EventParamType inDesiredType,
                                                EventParamType* outActualType, ByteCount inBufferSize,
                                                ByteCount* outActualSize, void* outData);

/* -- Controls -- */

typedef struct ControlID {
  OSType signature;
  SInt32 id;
} ControlID;

/* The control whose signature and number both match. Returns noErr, paramErr or
 * controlNotFoundErr (*outControl null). */
LUMETRA_PLATFORM_API OSStatus GetControlByID(WindowRef inWindow, const ControlID* inID, ControlRef* outControl);
/* Returns noErr or paramErr. */
LUMETRA_PLATFORM_API OSStatus GetControlID(ControlRef inControl, ControlID* outID);
/* A control stores whatever value it is given (a check box shows 0 as off and any other value
 * as on). Get answers 0 for null; Set ignores null. */
LUMETRA_PLATFORM_API SInt16 GetControlValue(ControlRef theControl);
LUMETRA_PLATFORM_API void SetControlValue(ControlRef theControl, SInt16 newValue);
/* The window holding the control; null for null. */
LUMETRA_PLATFORM_API WindowRef GetControlOwner(ControlRef inControl);

/* -- The alert sound -- */

/* Records the request; the host learns of it from LumetraBeepCount and LumetraLastBeep. */
LUMETRA_PLATFORM_API void SysBeep(short duration);
/* Host-facing: beeps asked for so far, and the argument of the latest (0 before any). */
LUMETRA_PLATFORM_API long LumetraBeepCount(void);
LUMETRA_PLATFORM_API short LumetraLastBeep(void);

/* -- Host-facing: drawing the windows and clicking their controls -- */

enum { kLumetraCheckBoxControl = 1, kLumetraButtonControl = 2 };

typedef struct LumetraWindowInfo {
  WindowRef window;
  const char* title;     /* lives as long as the window */
  SInt16 width;
  SInt16 height;
  ItemCount controlCount;
} LumetraWindowInfo;

typedef struct LumetraControlInfo {
  ControlRef control;
  UInt32 kind;           /* kLumetraCheckBoxControl or kLumetraButtonControl */
  ControlID id;
  const char* title;     /* lives as long as the window */
  Rect frame;            /* in the window's coordinates */
  SInt16 value;
} LumetraControlInfo;

/* Every window made and not disposed, shown or hidden. */
LUMETRA_PLATFORM_API ItemCount LumetraCountWindows(void);
/* The visible windows, in the order they were made. */
LUMETRA_PLATFORM_API ItemCount LumetraCountVisibleWindows(void);
/* Returns noErr or paramErr (null out, index out of range). */
LUMETRA_PLATFORM_API OSStatus LumetraGetVisibleWindow(ItemCount index, LumetraWindowInfo* out);
/* The window's controls in file order. Returns noErr or paramErr (unknown window, null out,
 * index out of range). */
LUMETRA_PLATFORM_API OSStatus LumetraGetWindowControl(WindowRef window, ItemCount index, LumetraControlInfo* out);
/* A click on a control of a visible window: a check box first flips its value (0 becomes 1,
 * anything else 0), then the control-hit event {kEventClassControl, kEventControlHit} goes
 * to the window's handlers with the control as its direct object. Returns the status of the
 * handler that took it, eventNotHandledErr if none did, or paramErr for a reference that is
 * not a control of a visible window (nothing changes then). */
LUMETRA_PLATFORM_API OSStatus LumetraClickControl(ControlRef control);

/* For leak checks: toolkit blocks not yet freed (strings, bundles, interface files,
 * windows, controls, handlers). */
LUMETRA_PLATFORM_API long LumetraLiveToolkitBlockCount(void);

#ifdef __cplusplus
}
#endif

#endif
