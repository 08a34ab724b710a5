// The toolkit: constant strings, bundles by identifier, interface files, windows, controls,
// control-hit events and the alert sound, with the host-facing half that lists windows and
// clicks controls.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "toolkit_p.h"

struct LumetraString {
  LumetraString* next;
  size_t length;
  char* text;  // the bytes just after the record
};

enum { kBundleValueMax = 255, kBundleInfoMax = 4096 };

struct LumetraBundle {
  LumetraBundle* next;
  char identifier[kBundleValueMax + 1];
  char path[kLumetraFileSpecPathMax];
};

struct LumetraEventHandler {
  LumetraEventHandler* next;  // installed earlier
  EventHandlerUPP proc;
  void* userData;
  ItemCount typeCount;
  EventTypeSpec* types;  // just after the record
};

struct LumetraEventTarget {
  LumetraWindow* window;
  LumetraEventHandler* handlers;  // the latest installed first
};

struct LumetraControl {
  LumetraWindow* owner;
  UInt32 kind;
  ControlID id;
  char title[kNibTitleMax + 1];
  Rect frame;
  SInt16 value;
};

struct LumetraWindow {
  LumetraWindow* next;  // made later
  LumetraEventTarget target;
  char title[kNibTitleMax + 1];
  SInt16 width;
  SInt16 height;
  bool visible;
  int dispatching;      // events being delivered to its handlers right now
  bool disposePending;  // DisposeWindow came during a delivery
  ItemCount controlCount;
  LumetraControl* controls;
};

// A control hit, on the stack of LumetraClickControl for the length of the delivery.
struct LumetraEvent {
  EventTypeSpec type;
  ControlRef directObject;
};

struct LumetraEventHandlerCall {
  LumetraEventHandler* handler;
};

namespace {

long gLiveBlocks = 0;
LumetraString* gStrings = nullptr;
LumetraBundle* gBundles = nullptr;
LumetraWindow* gWindows = nullptr;  // in the order they were made
long gBeepCount = 0;
short gLastBeep = 0;

enum ReadResult { kReadDone, kReadMissing, kReadTooLong, kReadNoMemory };

// Reads a whole regular file of at most maxBytes into a fresh toolkit block (NUL-terminated,
// for the caller to release).
ReadResult ReadSmallFile(const char* path, size_t maxBytes, char** outText, size_t* outLength) {
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return kReadMissing;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return kReadMissing;
  }
  auto* text = static_cast<char*>(ToolkitAllocate(maxBytes + 2));
  if (!text) {
    close(fd);
    return kReadNoMemory;
  }
  // Read one byte past the limit, so that a longer file is noticed whatever fstat said.
  size_t length = 0;
  while (length <= maxBytes) {
    ssize_t got = read(fd, text + length, maxBytes + 1 - length);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      close(fd);
      ToolkitRelease(text);
      return kReadMissing;
    }
    if (got == 0) break;
    length += static_cast<size_t>(got);
  }
  close(fd);
  if (length > maxBytes) {
    ToolkitRelease(text);
    return kReadTooLong;
  }
  *outText = text;
  *outLength = length;
  return kReadDone;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

struct InfoValues {
  char identifier[kBundleValueMax + 1];
  char executable[kBundleValueMax + 1];
  char version[kBundleValueMax + 1];
};

// Contents/Info: one "key = value" a line (see LumetraRegisterBundle in platform.h).
bool ParseInfo(const char* text, size_t length, InfoValues* values) {
  if (std::memchr(text, '\0', length)) return false;
  size_t start = 0;
  while (start < length) {
    const char* newline = static_cast<const char*>(std::memchr(text + start, '\n', length - start));
    size_t end = newline ? static_cast<size_t>(newline - text) : length;
    size_t first = start;
    size_t last = end;
    while (first < last && IsBlank(text[first])) ++first;
    while (last > first && IsBlank(text[last - 1])) --last;
    start = end + 1;
    if (first == last || text[first] == '#') continue;
    const char* equals = static_cast<const char*>(std::memchr(text + first, '=', last - first));
    if (!equals) return false;
    size_t keyEnd = static_cast<size_t>(equals - text);
    size_t valueStart = keyEnd + 1;
    while (keyEnd > first && IsBlank(text[keyEnd - 1])) --keyEnd;
    while (valueStart < last && IsBlank(text[valueStart])) ++valueStart;
    size_t keyLength = keyEnd - first;
    size_t valueLength = last - valueStart;
    if (keyLength == 0 || valueLength == 0 || valueLength > kBundleValueMax) return false;
    for (size_t i = valueStart; i < last; ++i) {
      if (static_cast<unsigned char>(text[i]) < 0x20 && text[i] != '\t') return false;
    }
    auto isKey = [&](const char* key) {
      return keyLength == std::strlen(key) && std::memcmp(text + first, key, keyLength) == 0;
    };
    char* slot = isKey("identifier")   ? values->identifier
                 : isKey("executable") ? values->executable
                 : isKey("version")    ? values->version
                                       : nullptr;
    if (!slot) continue;  // keys of later versions are ignored
    if (slot[0] != '\0') return false;
    std::memcpy(slot, text + valueStart, valueLength);
    slot[valueLength] = '\0';
  }
  // The executable is a file inside Contents/Linux, never a path leading elsewhere.
  return values->identifier[0] != '\0' && values->executable[0] != '\0' &&
         std::strchr(values->executable, '/') == nullptr;
}

LumetraBundle* FindBundle(const char* identifier) {
  for (LumetraBundle* b = gBundles; b; b = b->next) {
    if (std::strcmp(b->identifier, identifier) == 0) return b;
  }
  return nullptr;
}

LumetraWindow* FindWindow(const LumetraWindow* window) {
  for (LumetraWindow* w = gWindows; w; w = w->next) {
    if (w == window) return w;
  }
  return nullptr;
}

void FreeWindow(LumetraWindow* window) {
  for (LumetraEventHandler* h = window->target.handlers; h;) {
    LumetraEventHandler* next = h->next;
    ToolkitRelease(h);
    h = next;
  }
  ToolkitRelease(window->controls);
  ToolkitRelease(window);
}

bool HandlerTakes(const LumetraEventHandler* handler, const EventTypeSpec& type) {
  for (ItemCount k = 0; k < handler->typeCount; ++k) {
    if (handler->types[k].eventClass == type.eventClass && handler->types[k].eventKind == type.eventKind) return true;
  }
  return false;
}

// A plain file name: no separator, not "." or "..", no longer than a name in the format.
bool IsPlainName(const char* name) {
  size_t length = std::strlen(name);
  return length > 0 && length <= kNibNameMax && std::strchr(name, '/') == nullptr && std::strcmp(name, ".") != 0 &&
         std::strcmp(name, "..") != 0;
}

}  // namespace

void* ToolkitAllocate(size_t bytes) {
  if (!PlatformAllocationAllowed()) return nullptr;
  void* block = std::calloc(1, bytes > 0 ? bytes : 1);
  if (block) ++gLiveBlocks;
  return block;
}

void ToolkitRelease(void* block) {
  if (!block) return;
  --gLiveBlocks;
  std::free(block);
}

extern "C" {

// ---- Strings

CFStringRef __CFStringMakeConstantString(const char* cStr) {
  if (!cStr) return nullptr;
  size_t length = std::strlen(cStr);
  for (LumetraString* s = gStrings; s; s = s->next) {
    if (s->length == length && std::memcmp(s->text, cStr, length) == 0) return s;
  }
  if (length > SIZE_MAX - sizeof(LumetraString) - 1) return nullptr;
  auto* s = static_cast<LumetraString*>(ToolkitAllocate(sizeof(LumetraString) + length + 1));
  if (!s) return nullptr;
  s->text = reinterpret_cast<char*>(s + 1);
  std::memcpy(s->text, cStr, length + 1);
  s->length = length;
  s->next = gStrings;
  gStrings = s;
  return s;
}

const char* LumetraStringText(CFStringRef string) { return string ? string->text : ""; }

// ---- Bundles

CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef bundleID) {
  return bundleID ? FindBundle(bundleID->text) : nullptr;
}

OSStatus LumetraRegisterBundle(const char* bundlePath) {
  if (!bundlePath) return paramErr;
  size_t pathLength = std::strlen(bundlePath);
  if (pathLength == 0 || pathLength >= kLumetraFileSpecPathMax) return paramErr;
  char infoPath[kLumetraFileSpecPathMax + 32];
  std::snprintf(infoPath, sizeof infoPath, "%s/Contents/Info", bundlePath);

  char* text = nullptr;
  size_t length = 0;
  switch (ReadSmallFile(infoPath, kBundleInfoMax, &text, &length)) {
    case kReadDone: break;
    case kReadMissing: return bundleInfoNotFoundErr;
    case kReadTooLong: return bundleInfoMalformedErr;
    case kReadNoMemory: return memFullErr;
  }
  InfoValues values = {};
  bool wellFormed = ParseInfo(text, length, &values);
  ToolkitRelease(text);
  if (!wellFormed) return bundleInfoMalformedErr;

  LumetraBundle* bundle = FindBundle(values.identifier);
  if (!bundle) {
    bundle = static_cast<LumetraBundle*>(ToolkitAllocate(sizeof(LumetraBundle)));
    if (!bundle) return memFullErr;
    std::memcpy(bundle->identifier, values.identifier, sizeof values.identifier);
    bundle->next = gBundles;
    gBundles = bundle;
  }
  std::memcpy(bundle->path, bundlePath, pathLength + 1);
  return noErr;
}

void LumetraUnregisterAllBundles(void) {
  while (gBundles) {
    LumetraBundle* next = gBundles->next;
    ToolkitRelease(gBundles);
    gBundles = next;
  }
}

const char* LumetraBundlePath(CFBundleRef bundle) { return bundle ? bundle->path : ""; }

// ---- Interface files

OSStatus CreateNibReferenceWithCFBundle(CFBundleRef inBundle, CFStringRef inNibName, IBNibRef* outNibRef) {
  if (outNibRef) *outNibRef = nullptr;
  if (!inBundle || !inNibName || !outNibRef || !IsPlainName(inNibName->text)) return paramErr;
  char path[size_t{kLumetraFileSpecPathMax} + kNibNameMax + 32];
  std::snprintf(path, sizeof path, "%s/Contents/Resources/%s.nib", inBundle->path, inNibName->text);

  char* text = nullptr;
  size_t length = 0;
  switch (ReadSmallFile(path, kNibFileMax, &text, &length)) {
    case kReadDone: break;
    case kReadMissing: return nibFileNotFoundErr;
    case kReadTooLong: return nibMalformedErr;
    case kReadNoMemory: return memFullErr;
  }
  OSStatus status = ParseNib(text, length, outNibRef);
  ToolkitRelease(text);
  return status;
}

OSStatus CreateWindowFromNib(IBNibRef inNibRef, CFStringRef inName, WindowRef* outWindow) {
  if (outWindow) *outWindow = nullptr;
  if (!inNibRef || !inName || !outWindow) return paramErr;
  const NibWindow* description = inNibRef->windows;
  while (description && std::strcmp(description->name, inName->text) != 0) description = description->next;
  if (!description) return nibObjectNotFoundErr;

  auto* window = static_cast<LumetraWindow*>(ToolkitAllocate(sizeof(LumetraWindow)));
  if (!window) return memFullErr;
  if (description->controlCount > 0) {
    window->controls = static_cast<LumetraControl*>(ToolkitAllocate(description->controlCount * sizeof(LumetraControl)));
    if (!window->controls) {
      ToolkitRelease(window);
      return memFullErr;
    }
  }
  window->target.window = window;
  std::memcpy(window->title, description->title, sizeof window->title);
  window->width = description->width;
  window->height = description->height;
  window->controlCount = description->controlCount;
  for (ItemCount k = 0; k < description->controlCount; ++k) {
    const NibControl& from = description->controls[k];
    LumetraControl& to = window->controls[k];
    to.owner = window;
    to.kind = from.kind;
    to.id = from.id;
    std::memcpy(to.title, from.title, sizeof to.title);
    to.frame = from.frame;
  }
  LumetraWindow** tail = &gWindows;
  while (*tail) tail = &(*tail)->next;
  *tail = window;
  *outWindow = window;
  return noErr;
}

void DisposeNibReference(IBNibRef inNibRef) { FreeNib(inNibRef); }

// ---- Windows

void ShowWindow(WindowRef window) {
  if (window) window->visible = true;
}

void HideWindow(WindowRef window) {
  if (window) window->visible = false;
}

void DisposeWindow(WindowRef window) {
  if (!window) return;
  LumetraWindow** link = &gWindows;
  while (*link && *link != window) link = &(*link)->next;
  if (!*link) return;
  *link = window->next;
  // A handler may dispose its own window; the delivery in progress still needs it.
  if (window->dispatching > 0) {
    window->disposePending = true;
    return;
  }
  FreeWindow(window);
}

EventTargetRef GetWindowEventTarget(WindowRef window) { return window ? &window->target : nullptr; }

// ---- Events

EventHandlerUPP NewEventHandlerUPP(EventHandlerProcPtr userRoutine) { return userRoutine; }

OSStatus InstallEventHandler(EventTargetRef inTarget, EventHandlerUPP inHandler, ItemCount inNumTypes,
                             const EventTypeSpec* inList, void* inUserData, EventHandlerRef* outRef) {
  if (outRef) *outRef = nullptr;
  if (!inTarget || !inHandler || !inList || inNumTypes == 0 || inNumTypes > 64) return paramErr;
  auto* handler = static_cast<LumetraEventHandler*>(
      ToolkitAllocate(sizeof(LumetraEventHandler) + inNumTypes * sizeof(EventTypeSpec)));
  if (!handler) return memFullErr;
  handler->proc = inHandler;
  handler->userData = inUserData;
  handler->typeCount = inNumTypes;
  handler->types = reinterpret_cast<EventTypeSpec*>(handler + 1);
  std::memcpy(handler->types, inList, inNumTypes * sizeof(EventTypeSpec));
  handler->next = inTarget->handlers;
  inTarget->handlers = handler;
  if (outRef) *outRef = handler;
  return noErr;
}

OSStatus GetEventParameter(EventRef inEvent, EventParamName inName, EventParamType inDesiredType,
                           EventParamType* outActualType, ByteCount inBufferSize, ByteCount* outActualSize,
                           void* outData) {
  if (!inEvent || !outData) return paramErr;
  if (inName != kEventParamDirectObject || inDesiredType != typeControlRef) return eventParameterNotFoundErr;
  if (inBufferSize != sizeof(ControlRef)) return eventParameterSizeErr;
  std::memcpy(outData, &inEvent->directObject, sizeof(ControlRef));
  if (outActualType) *outActualType = typeControlRef;
  if (outActualSize) *outActualSize = sizeof(ControlRef);
  return noErr;
}

// ---- Controls

OSStatus GetControlByID(WindowRef inWindow, const ControlID* inID, ControlRef* outControl) {
  if (outControl) *outControl = nullptr;
  if (!inWindow || !inID || !outControl) return paramErr;
  for (ItemCount k = 0; k < inWindow->controlCount; ++k) {
    LumetraControl& control = inWindow->controls[k];
    if (control.id.signature == inID->signature && control.id.id == inID->id) {
      *outControl = &control;
      return noErr;
    }
  }
  return controlNotFoundErr;
}

OSStatus GetControlID(ControlRef inControl, ControlID* outID) {
  if (!inControl || !outID) return paramErr;
  *outID = inControl->id;
  return noErr;
}

SInt16 GetControlValue(ControlRef theControl) { return theControl ? theControl->value : 0; }

void SetControlValue(ControlRef theControl, SInt16 newValue) {
  if (theControl) theControl->value = newValue;
}

WindowRef GetControlOwner(ControlRef inControl) { return inControl ? inControl->owner : nullptr; }

// ---- The alert sound

void SysBeep(short duration) {
  ++gBeepCount;
  gLastBeep = duration;
}

long LumetraBeepCount(void) { return gBeepCount; }

short LumetraLastBeep(void) { return gLastBeep; }

// ---- Host-facing: windows and clicks

ItemCount LumetraCountWindows(void) {
  ItemCount count = 0;
  for (const LumetraWindow* w = gWindows; w; w = w->next) ++count;
  return count;
}

ItemCount LumetraCountVisibleWindows(void) {
  ItemCount count = 0;
  for (const LumetraWindow* w = gWindows; w; w = w->next) count += w->visible ? 1 : 0;
  return count;
}

OSStatus LumetraGetVisibleWindow(ItemCount index, LumetraWindowInfo* out) {
  if (!out) return paramErr;
  for (LumetraWindow* w = gWindows; w; w = w->next) {
    if (!w->visible) continue;
    if (index-- == 0) {
      *out = {w, w->title, w->width, w->height, w->controlCount};
      return noErr;
    }
  }
  return paramErr;
}

OSStatus LumetraGetWindowControl(WindowRef window, ItemCount index, LumetraControlInfo* out) {
  LumetraWindow* w = FindWindow(window);
  if (!w || !out || index >= w->controlCount) return paramErr;
  LumetraControl& c = w->controls[index];
  *out = {&c, c.kind, c.id, c.title, c.frame, c.value};
  return noErr;
}

OSStatus LumetraClickControl(ControlRef control) {
  // The reference comes from the host: it is looked up, never read, until it is known to be a
  // control of a window we made.
  LumetraWindow* window = nullptr;
  for (LumetraWindow* w = gWindows; w && !window; w = w->next) {
    for (ItemCount k = 0; k < w->controlCount; ++k) {
      if (&w->controls[k] == control) window = w;
    }
  }
  if (!window || !window->visible) return paramErr;

  if (control->kind == kLumetraCheckBoxControl) control->value = control->value == 0 ? 1 : 0;
  LumetraEvent event = {{kEventClassControl, kEventControlHit}, control};
  OSStatus status = eventNotHandledErr;
  ++window->dispatching;
  for (LumetraEventHandler* h = window->target.handlers; h && status == eventNotHandledErr; h = h->next) {
    if (!HandlerTakes(h, event.type)) continue;
    LumetraEventHandlerCall call = {h};
    status = h->proc(&call, &event, h->userData);
  }
  if (--window->dispatching == 0 && window->disposePending) FreeWindow(window);
  return status;
}

long LumetraLiveToolkitBlockCount(void) { return gLiveBlocks; }

}  // extern "C"
