// The message handler through the real bundle (dlopened by the test host, as the player loads
// it) and the real platform library.
//
// An input is a host session: two window ports over guarded memory (any size up to 96 x 64,
// bounds anywhere, padded rows), then up to 96 steps read from the input's bytes front to back
// (so that seeds can be written by hand). A step is a message to the handler (mostly a code
// the handler knows, sometimes a random or a near-miss code), with a block made for it:
// 'show' and 'swin' with either port or none and a rectangle that is inside the port, empty,
// inverted, huge or far out; 'vrnd' with a random or null snapshot; 'vply' and 'ctrk' with
// random or null records; 'vevt' with key events of every kind; sometimes a null block or a
// null reference value; up to three instances at a time. Other steps click a control of a
// visible window (the settings window after 'cnfg'), make the host answer a selector with an
// error, or make the n-th allocation or world creation fail.
//
// After every step:
//   - the status is one the handler documents for that message and input;
//   - the current graphics world is the one that was current before;
//   - an instance holds a world exactly while it holds a port, of the rectangle's size;
//   - nothing in a port changed outside the rectangle the addressed instance draws into
//     (pixels, row padding, and the guard pages around it);
//   - the live worlds are those the instances hold.
// At the end every instance gets 'hide' and 'clr ', and no record or world is left over.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "guarded.h"
#include "finding.h"
#include "render.h"
#include "testhost.h"

namespace {

using lumetra::fuzz::Finding;
using lumetra::test::fourCC;
using lumetra::test::GuardedBuffer;
using lumetra::test::TestHost;

// The input's bytes, front to back; zeros once they run out.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
  bool empty() const { return p_ == end_; }
  uint8_t byte() { return p_ == end_ ? 0 : *p_++; }
  uint16_t u16() { return static_cast<uint16_t>(byte() | byte() << 8); }
  int16_t s16() { return static_cast<int16_t>(u16()); }
  uint32_t u32() { return static_cast<uint32_t>(u16()) | static_cast<uint32_t>(u16()) << 16; }
  // 0 .. n-1
  unsigned pick(unsigned n) { return byte() % n; }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

// A window port over guarded pixels the host owns.
struct Port {
  Rect bounds{};
  SInt32 rowBytes = 0;
  std::unique_ptr<GuardedBuffer> pixels;
  CGrafPtr port = nullptr;

  int width() const { return bounds.right - bounds.left; }
  int height() const { return bounds.bottom - bounds.top; }
  std::vector<uint8_t> bytes() const { return std::vector<uint8_t>(pixels->data(), pixels->data() + pixels->size()); }

  // Bytes that differ from before outside rect (in port coordinates; null: anywhere).
  bool changedOutside(const std::vector<uint8_t>& before, const Rect* rect) const {
    const uint8_t* now = pixels->data();
    for (size_t i = 0; i < before.size(); ++i) {
      if (now[i] == before[i]) continue;
      const long row = static_cast<long>(i / rowBytes), column = static_cast<long>(i % rowBytes) / 4;
      const bool isPixel = static_cast<long>(i % rowBytes) < 4L * width();
      const long h = bounds.left + column, v = bounds.top + row;
      if (!rect || !isPixel || h < rect->left || h >= rect->right || v < rect->top || v >= rect->bottom) return true;
    }
    return !pixels->slackUntouched();
  }
};

Port MakePort(Reader& in) {
  Port p;
  const int width = 1 + in.pick(96), height = 1 + in.pick(64);
  switch (in.pick(4)) {
    case 0: p.bounds.left = 0, p.bounds.top = 0; break;
    case 1: p.bounds.left = static_cast<SInt16>(in.s16() % 300), p.bounds.top = static_cast<SInt16>(in.s16() % 300); break;
    case 2: p.bounds.left = static_cast<SInt16>(32767 - width), p.bounds.top = static_cast<SInt16>(32767 - height); break;
    default: p.bounds.left = -32768, p.bounds.top = -32768; break;
  }
  p.bounds.right = static_cast<SInt16>(p.bounds.left + width);
  p.bounds.bottom = static_cast<SInt16>(p.bounds.top + height);
  p.rowBytes = 4 * width + 4 * in.pick(3) + (in.pick(4) == 0 ? 2 : 0);
  p.pixels = std::make_unique<GuardedBuffer>(static_cast<size_t>(p.rowBytes) * (height - 1) + 4 * width, 0x3C);
  p.port = LumetraNewWindowPort(p.pixels->data(), p.rowBytes, &p.bounds);
  if (!p.port) Finding("LumetraNewWindowPort refused a usable port");
  return p;
}

// A rectangle for 'show' or 'swin'. Worlds that would take 2^31 bytes or more are refused by
// the platform, so huge rectangles are cheap; the others stay below 256 x 256 pixels so that
// an input runs fast.
Rect MakeRect(Reader& in, const Port& port, const Rect& held) {
  Rect r{};
  switch (in.pick(8)) {
    case 0: return held;  // equal to the one held: the world and its image are kept
    case 1: {             // inside the port
      r.left = static_cast<SInt16>(port.bounds.left + in.pick(static_cast<unsigned>(port.width())));
      r.top = static_cast<SInt16>(port.bounds.top + in.pick(static_cast<unsigned>(port.height())));
      r.right = static_cast<SInt16>(r.left + 1 + in.pick(static_cast<unsigned>(port.bounds.right - r.left)));
      r.bottom = static_cast<SInt16>(r.top + 1 + in.pick(static_cast<unsigned>(port.bounds.bottom - r.top)));
      return r;
    }
    case 2: return port.bounds;  // the whole port
    case 3: {                    // overlapping the port's edges
      r.left = static_cast<SInt16>(port.bounds.left - 8 + in.pick(16));
      r.top = static_cast<SInt16>(port.bounds.top - 8 + in.pick(16));
      r.right = static_cast<SInt16>(port.bounds.right - 8 + in.pick(24));
      r.bottom = static_cast<SInt16>(port.bounds.bottom - 8 + in.pick(24));
      return r;
    }
    case 4: {  // empty or inverted
      r.left = in.s16(), r.top = in.s16();
      r.right = static_cast<SInt16>(r.left - in.pick(3));
      r.bottom = in.pick(2) ? static_cast<SInt16>(r.top + in.pick(40)) : static_cast<SInt16>(r.top - in.pick(40));
      return r;
    }
    case 5: {  // huge: the whole coordinate range, or enough to exceed 2^31 bytes
      static const Rect kHuge[] = {{-32768, -32768, 32767, 32767}, {0, 0, 32767, 32767}, {-23200, -23200, 0, 0},
                                   {-32768, 0, 32767, 8193}};
      return kHuge[in.pick(4)];
    }
    case 6: {  // far out, small
      r.left = static_cast<SInt16>(in.pick(2) ? 32767 - 1 - in.pick(200) : -32768 + in.pick(200));
      r.top = static_cast<SInt16>(in.pick(2) ? 32767 - 1 - in.pick(200) : -32768 + in.pick(200));
      r.right = static_cast<SInt16>(r.left + 1 + in.pick(static_cast<unsigned>(32767 - r.left)));
      r.bottom = static_cast<SInt16>(r.top + 1 + in.pick(static_cast<unsigned>(32767 - r.top)));
      return r;
    }
    default: {  // anything; kept small unless the platform would refuse it anyway
      r = Rect{in.s16(), in.s16(), in.s16(), in.s16()};
      const long long w = static_cast<long long>(r.right) - r.left, h = static_cast<long long>(r.bottom) - r.top;
      if (w > 0 && h > 0 && w * h * 4 < (1LL << 31) && w * h > 256 * 256) {
        r.right = static_cast<SInt16>(r.left + (w > 256 ? 256 : w));
        r.bottom = static_cast<SInt16>(r.top + (h > 256 ? 256 : h));
      }
      return r;
    }
  }
}

void FillSnapshot(Reader& in, RenderData& data) {
  switch (in.pick(4)) {
    case 0: std::memset(&data, 0, sizeof data); break;
    case 1: std::memset(&data, 0xFF, sizeof data); break;
    default: {
      uint32_t x = in.u32() | 1;
      auto* bytes = reinterpret_cast<uint8_t*>(&data);
      for (size_t i = 0; i < sizeof data; ++i) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        bytes[i] = static_cast<uint8_t>(x);
      }
      break;
    }
  }
}

const OSType kMessages[] = {
    kPluginInitMessage,          kPluginCleanupMessage,        kVisualPluginPlayMessage,
    kVisualPluginChangeTrackMessage, kVisualPluginStopMessage,  kVisualPluginPauseMessage,
    kVisualPluginUnpauseMessage, kVisualPluginEnableMessage,   kVisualPluginDisableMessage,
    kVisualPluginSetPositionMessage, kVisualPluginShowWindowMessage, kVisualPluginSetWindowMessage,
    kVisualPluginHideWindowMessage, kVisualPluginRenderMessage, kVisualPluginUpdateMessage,
    kVisualPluginIdleMessage,    kVisualPluginConfigureMessage, kVisualPluginEventMessage,
};
constexpr unsigned kMessageCount = sizeof kMessages / sizeof kMessages[0];

bool Known(OSType code) {
  for (OSType m : kMessages)
    if (m == code) return true;
  return false;
}

// Messages that read their block, and those that need the instance.
bool ReadsBlock(OSType m) {
  return m == kPluginInitMessage || m == kVisualPluginShowWindowMessage || m == kVisualPluginSetWindowMessage ||
         m == kVisualPluginRenderMessage || m == kVisualPluginPlayMessage || m == kVisualPluginChangeTrackMessage ||
         m == kVisualPluginEventMessage;
}
bool NeedsInstance(OSType m) {
  return m != kPluginInitMessage && m != kPluginCleanupMessage && m != kVisualPluginEnableMessage &&
         m != kVisualPluginDisableMessage && m != kVisualPluginSetPositionMessage &&
         m != kVisualPluginConfigureMessage && m != kVisualPluginEventMessage;
}

TestHost& Host() {
  static TestHost* host = [] {
    auto* h = new TestHost();
    if (h->registerPlugin() != noErr) Finding("the bundle did not register");
    return h;
  }();
  return *host;
}

struct Session {
  Reader in;
  std::vector<Port> ports;
  std::vector<VisualPluginState*> instances;
  size_t current = 0;
  int step = 0;
  // Records the handler may read during a step; they outlive it.
  RenderData snapshot{};
  TrackInfoBlock track{};
  StreamInfoBlock stream{};
  EventRecord event{};

  Session(const uint8_t* data, size_t size) : in(data, size) {}

  [[noreturn]] void fail(OSType message, const std::string& what) const {
    Finding("step " + std::to_string(step) + ", message " + fourCC(message) + ": " + what);
  }

  long worldsHeld() const {
    long n = 0;
    for (const VisualPluginState* s : instances) n += s->offscreenWorld != nullptr;
    return n;
  }

  void checkInstance(OSType message, const VisualPluginState* s) const {
    if (s->offscreenWorld && !s->destPort) fail(message, "a world is held without a port");
    if (s->destPort && !s->offscreenWorld) fail(message, "a port is held without a world");
    if (s->offscreenWorld) {
      PixMapHandle pm = GetGWorldPixMap(s->offscreenWorld);
      const Rect& b = (*pm)->bounds;
      if (b.top != 0 || b.left != 0 || b.bottom != s->destRect.bottom - s->destRect.top ||
          b.right != s->destRect.right - s->destRect.left)
        fail(message, "the world is not the rectangle moved to the origin");
      if ((*pm)->pixelSize != 32) fail(message, "the world is not 32 bits deep");
    }
  }

  OSStatus send(OSType message, VisualMessageBlock* block, void* refCon) {
    return Host().sendWithRefCon(message, block, refCon);
  }

  void initInstance(OSType message, bool nullBlock, OSStatus pspcStatus, bool allocationMayFail) {
    VisualMessageBlock block{};
    block.u.initMessage.appCookie = Host().cookie();
    block.u.initMessage.appProc = Host().hostProc();
    const OSStatus status = send(message, nullBlock ? nullptr : &block, Host().handlerRefCon());
    auto* state = static_cast<VisualPluginState*>(block.u.initMessage.refCon);
    if (nullBlock) {
      if (status != paramErr) fail(message, "with a null block answered " + std::to_string(status));
      return;
    }
    // No memory for the record: nothing is written (a 'pspc' answer of -108 comes with a record).
    if (status == memFullErr && allocationMayFail && !state) return;
    if (status != pspcStatus) fail(message, "answered " + std::to_string(status) + " for a 'pspc' status of " +
                                               std::to_string(pspcStatus));
    if (!state) fail(message, "wrote no record's address");
    if (state->destPort || state->offscreenWorld || state->playing) fail(message, "made a record that is not clear");
    instances.push_back(state);
    current = instances.size() - 1;
  }

  void message(OSType code, bool nullBlock, bool nullRefCon, bool faultsPending) {
    VisualPluginState* state = instances.empty() || nullRefCon ? nullptr : instances[current];
    VisualMessageBlock block{};
    Port* port = nullptr;
    switch (code) {
      case kVisualPluginShowWindowMessage:
      case kVisualPluginSetWindowMessage: {
        const unsigned which = in.pick(5);
        port = which < 4 ? &ports[which % 2] : nullptr;
        block.u.showWindowMessage.port = port ? port->port : nullptr;
        block.u.showWindowMessage.drawRect = MakeRect(in, ports[which % 2], state ? state->destRect : Rect{});
        block.u.showWindowMessage.options = in.u32();
        break;
      }
      case kVisualPluginRenderMessage:
        FillSnapshot(in, snapshot);
        block.u.renderMessage.renderData = in.pick(6) ? &snapshot : nullptr;
        block.u.renderMessage.timeStampID = in.u32();
        break;
      case kVisualPluginPlayMessage:
      case kVisualPluginChangeTrackMessage:
        std::memset(&track, in.byte(), sizeof track);
        std::memset(&stream, in.byte(), sizeof stream);
        block.u.playMessage.trackInfo = in.pick(3) ? &track : nullptr;
        block.u.playMessage.streamInfo = in.pick(3) ? &stream : nullptr;
        break;
      case kVisualPluginEventMessage: {
        static const UInt16 kKinds[] = {keyDown, autoKey, keyUp, 0, 1, 2, 6, 0xFFFF};
        static const char kKeys[] = "CcFfAx \0";
        event.what = kKinds[in.pick(8)];
        event.message = in.pick(4) ? static_cast<UInt32>(static_cast<uint8_t>(kKeys[in.pick(8)])) | (in.u16() << 8)
                                   : in.u32();
        event.modifiers = in.u16();
        block.u.eventMessage.event = in.pick(8) ? &event : nullptr;
        break;
      }
      default:
        break;
    }

    // The ports before the message: afterwards only the rectangle of the port the addressed
    // instance then holds may differ.
    std::vector<std::vector<uint8_t>> before;
    for (const Port& p : ports) before.push_back(p.bytes());
    CGrafPtr portBefore = nullptr;
    GDHandle deviceBefore = nullptr;
    GetGWorld(&portBefore, &deviceBefore);

    const OSStatus status = send(code, nullBlock ? nullptr : &block, state);

    CGrafPtr portAfter = nullptr;
    GDHandle deviceAfter = nullptr;
    GetGWorld(&portAfter, &deviceAfter);
    if (portAfter != portBefore || deviceAfter != deviceBefore) fail(code, "left another graphics world current");

    // The documented answers.
    const bool refused = (nullBlock && ReadsBlock(code)) || (!state && NeedsInstance(code));
    if (!Known(code)) {
      if (status != unimpErr) fail(code, "an unknown code answered " + std::to_string(status));
    } else if (refused) {
      if (status != paramErr) fail(code, "without its block or instance answered " + std::to_string(status));
    } else if (code == kVisualPluginShowWindowMessage || code == kVisualPluginSetWindowMessage) {
      const Rect& r = block.u.showWindowMessage.drawRect;
      const long long w = static_cast<long long>(r.right) - r.left, h = static_cast<long long>(r.bottom) - r.top;
      // A world's bounds are 16-bit: a rectangle wider or higher than 32767 has none.
      const bool usable = w > 0 && h > 0 && w <= 32767 && h <= 32767 && w * h * 4 < (1LL << 31);
      if (status != noErr && status != paramErr && status != memFullErr)
        fail(code, "answered " + std::to_string(status));
      const std::string rect = " (top " + std::to_string(r.top) + ", left " + std::to_string(r.left) + ", bottom " +
                               std::to_string(r.bottom) + ", right " + std::to_string(r.right) + ")";
      if (port && !usable && status == noErr) fail(code, "made a world for an unusable rectangle" + rect);
      if (port && usable && status != noErr && !faultsPending)
        fail(code, "refused a usable rectangle" + rect + " with " + std::to_string(status));
      if (status != noErr && (state->destPort || state->offscreenWorld))
        fail(code, "failed but still holds a port or a world");
      if (std::memcmp(&state->destRect, &r, sizeof r) != 0) fail(code, "did not keep the rectangle");
    } else if (code == kVisualPluginEventMessage) {
      if (status != noErr && status != unimpErr) fail(code, "answered " + std::to_string(status));
      const bool toggles = event.what == keyDown || event.what == autoKey;
      const char key = static_cast<char>(event.message & charCodeMask);
      const bool letter = key == 'C' || key == 'c' || key == 'F' || key == 'f';
      if ((status == noErr) != (block.u.eventMessage.event && toggles && letter))
        fail(code, "answered " + std::to_string(status) + " for a key event of kind " + std::to_string(event.what));
    } else if (code != kPluginCleanupMessage && status != noErr) {
      fail(code, "answered " + std::to_string(status));
    }

    if (code == kPluginCleanupMessage && state) {  // 'clr ' reads no block: the record is gone
      instances.erase(instances.begin() + static_cast<long>(current));
      current = 0;
    }
    for (const VisualPluginState* s : instances) checkInstance(code, s);
    if (LumetraLiveGWorldCount() != worldsHeld()) fail(code, "the live worlds are not those the instances hold");

    // Only the addressed instance's rectangle in the port it holds may have changed.
    for (size_t i = 0; i < ports.size(); ++i) {
      const bool drawsHere = state && code != kPluginCleanupMessage && state->destPort == ports[i].port;
      if (ports[i].changedOutside(before[i], drawsHere ? &state->destRect : nullptr))
        fail(code, "changed port " + std::to_string(i) + " outside the rectangle it draws into");
    }
  }

  void clickControl() {
    const ItemCount windows = LumetraCountVisibleWindows();
    if (windows == 0) return;
    LumetraWindowInfo info{};
    if (LumetraGetVisibleWindow(in.pick(static_cast<unsigned>(windows)), &info) != noErr) Finding("a visible window cannot be listed");
    if (info.controlCount == 0) return;
    LumetraControlInfo control{};
    if (LumetraGetWindowControl(info.window, in.pick(static_cast<unsigned>(info.controlCount)), &control) != noErr)
      Finding("a control cannot be listed");
    // The settings handler takes every control hit.
    const OSStatus status = LumetraClickControl(control.control);
    if (status != noErr && status != eventNotHandledErr) Finding("a click answered " + std::to_string(status));
  }

  void run() {
    ports.push_back(MakePort(in));
    ports.push_back(MakePort(in));
    bool faultsPending = false;
    OSStatus pspcStatus = noErr;
    for (step = 0; step < 96 && !in.empty(); ++step) {
      const uint8_t op = in.byte();
      const bool nullBlock = in.pick(32) == 0;
      const bool nullRefCon = in.pick(32) == 0;
      if (op < 200) {
        const OSType code = kMessages[op % kMessageCount];
        if (code == kPluginInitMessage && instances.size() < 3)
          initInstance(code, nullBlock, pspcStatus, faultsPending);
        else if (code != kPluginInitMessage)
          message(code, nullBlock, nullRefCon, faultsPending);
      } else if (op < 215) {
        // Another instance becomes the one addressed.
        if (!instances.empty()) current = in.pick(static_cast<unsigned>(instances.size()));
      } else if (op < 230) {
        clickControl();
      } else if (op < 240) {
        // A code the handler does not know, or a known one with one character changed.
        OSType code = in.u32();
        if (in.pick(2)) code = kMessages[in.pick(kMessageCount)] ^ (static_cast<OSType>(1 + in.pick(255)) << (8 * in.pick(4)));
        if (!Known(code)) message(code, nullBlock, nullRefCon, faultsPending);
      } else if (op < 248) {
        static const OSStatus kStatuses[] = {noErr, -1, unimpErr, paramErr, memFullErr, -4601, 12345};
        pspcStatus = kStatuses[in.pick(7)];
        Host().setStatus(kPlayerGetPluginFileSpecMessage, pspcStatus);
      } else {
        // The n-th allocation or world creation from now fails.
        faultsPending = true;
        if (in.pick(2))
          LumetraFailNthAllocation(1 + in.pick(4));
        else
          LumetraFailNthNewGWorld(1 + in.pick(4));
      }
    }
    LumetraFailNthAllocation(0);
    LumetraFailNthNewGWorld(0);
    Host().setStatus(kPlayerGetPluginFileSpecMessage, noErr);
    for (VisualPluginState* s : instances) {
      if (send(kVisualPluginHideWindowMessage, nullptr, s) != noErr) Finding("'hide' at the end failed");
      if (s->offscreenWorld || s->destPort) Finding("'hide' left a world or a port");
      if (send(kPluginCleanupMessage, nullptr, s) != noErr) Finding("'clr ' at the end failed");
    }
    instances.clear();
    for (Port& p : ports) LumetraDisposeWindowPort(p.port);
    Host().clearCalls();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Host();  // loaded and registered before the first count
  const long records = LumetraLivePtrCount();
  Session(data, size).run();
  if (LumetraLivePtrCount() != records) Finding("instance records were left over after 'clr '");
  if (LumetraLiveGWorldCount() != 0) Finding("offscreen worlds were left over after 'hide' and 'clr '");
  return 0;
}
